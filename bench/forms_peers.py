"""The peers of bench/forms_bench.cpp on the same data, and the tables of
both (bench/forms.sh runs it), for Debian's /usr/bin/python3 with
python3-numpy, python3-sklearn, python3-scipy and python3-cvxopt.

Usage:
  forms_peers.py test-images DIR K
      the first K Fashion-MNIST test images, scaled to [0, 1], as
      DIR/problems/fashion-mnist-test.P (a point per row, column-major)
  forms_peers.py one-class DIR ROWS N NU RECORD
      scikit-learn's OneClassSVM(kernel='rbf', gamma='scale', nu=NU) on the
      first N of the ROWS points of DIR/problems/fashion-mnist-ROWS.P; its
      weights over all N points, divided by nu N so that they sum to 1, to
      DIR/answers/one-class-N-NU.sklearn.x (forms_bench evaluate measures
      them on our kernel)
  forms_peers.py hull DIR ROWS N OURS_X K CVXOPT_K RECORD
      one product C'(Cx - d) by numpy at the hull's n, and CVXOPT's qp on the
      first CVXOPT_K of the K images (none at 0); the objectives 1/2|Cx - d|^2
      of both on those images, ours from OURS_X (n by K)
  forms_peers.py unmix DIR RECORD
      the FCLS route, scipy.optimize.nnls on [C; delta 1'] x ~ [d; delta],
      on each column of DIR/D.raw (C.raw and X.raw as forms_bench wrote them)
  forms_peers.py table DIR
      the three tables from the records in DIR
Times are CPU seconds of the solve call alone (fit, qp, nnls; the matrix
products for the product's time), BLAS on one thread (forms.sh sets it),
peak RSS the process's own, its data included.
"""
import csv
import os
import resource
import sys
import time

import numpy

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from fashion_mnist_points import DEFAULT_SOURCE, read_idx  # noqa: E402

D = 784


def peak_megabytes():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0


def points(path, rows, n, transposed=False):
    """The first n points of a rows-by-784 file as an n-by-784 array (784 by
    n transposed, a point a column), read a coordinate at a time: only the n
    points are ever in memory."""
    if os.path.getsize(path) != rows * D * 8:
        raise SystemExit("forms_peers.py: %s holds %d bytes, not %d doubles" % (path, os.path.getsize(path), rows * D))
    out = numpy.empty((D, n) if transposed else (n, D))
    with open(path, "rb") as f:
        for t in range(D):
            f.seek(8 * rows * t)
            coordinate = numpy.fromfile(f, dtype="<f8", count=n)
            if transposed:
                out[t, :] = coordinate
            else:
                out[:, t] = coordinate
    return out


def record(path, fields, values):
    fresh = not os.path.exists(path)
    with open(path, "a", newline="") as f:
        out = csv.writer(f)
        if fresh:
            out.writerow(fields)
        out.writerow(values)
    print(",".join(fields))
    print(",".join(str(v) for v in values))


def test_images(directory, k):
    images = read_idx(os.path.join(DEFAULT_SOURCE, "t10k-images-idx3-ubyte.gz"), 2051, 3)
    chosen = images[:k].reshape(k, -1).astype(numpy.float64) / 255.0
    os.makedirs(os.path.join(directory, "problems"), exist_ok=True)
    chosen.ravel(order="F").astype("<f8").tofile(os.path.join(directory, "problems", "fashion-mnist-test.P"))


def one_class(directory, rows, n, nu_text, path):
    nu = float(nu_text)
    from sklearn.svm import OneClassSVM

    X = points(os.path.join(directory, "problems", "fashion-mnist-%d.P" % rows), rows, n)
    # libsvm stops on the gradient of its own alpha, which sums to nu n: 1e-6
    # there is 1e-6 / (nu n) in the weights that sum to 1.
    model = OneClassSVM(kernel="rbf", gamma="scale", nu=nu, tol=1e-6, cache_size=256)
    start = time.process_time()
    model.fit(X)
    seconds = time.process_time() - start
    alpha = numpy.zeros(n)
    alpha[model.support_] = model.dual_coef_.ravel() / (nu * n)
    os.makedirs(os.path.join(directory, "answers"), exist_ok=True)
    alpha.astype("<f8").tofile(os.path.join(directory, "answers", "one-class-%d-%s.sklearn.x" % (n, nu_text)))
    record(path, ["n", "nu", "seconds", "support", "dual_sum", "rss_mb"],
           [n, repr(nu), "%.6f" % seconds, len(model.support_), "%.17g" % model.dual_coef_.sum(),
            "%.1f" % peak_megabytes()])


def residual_objective(C, x, d):
    r = C @ x - d
    return 0.5 * float(r @ r)


def hull(directory, rows, n, ours, k, cvxopt_k, path):
    C = points(os.path.join(directory, "problems", "fashion-mnist-%d.P" % rows), rows, n, transposed=True)
    images = numpy.fromfile(os.path.join(directory, "problems", "fashion-mnist-test.P"), dtype="<f8")
    images = images.reshape(D, images.size // D)
    X = numpy.fromfile(ours, dtype="<f8").reshape(k, n).T
    x = numpy.full(n, 1.0 / n)
    product = None
    for _ in range(5):
        start = time.process_time()
        g = C.T @ (C @ x - images[:, 0])
        seconds = time.process_time() - start
        product = seconds if product is None else min(product, seconds)
    del g
    ours_objectives = [residual_objective(C, X[:, j], images[:, j]) for j in range(k)]
    cvx_seconds, cvx_objectives, cvx_sum_error, cvx_status = float("nan"), [], float("nan"), "not run"
    if cvxopt_k > 0:
        import cvxopt
        from cvxopt import solvers

        solvers.options["show_progress"] = False
        P = cvxopt.matrix(C.T @ C)
        G = cvxopt.spmatrix(-1.0, range(n), range(n))
        h = cvxopt.matrix(0.0, (n, 1))
        A = cvxopt.matrix(1.0, (1, n))
        b = cvxopt.matrix(1.0)
        total, worst, statuses = 0.0, 0.0, set()
        for j in range(cvxopt_k):
            q = cvxopt.matrix(-(C.T @ images[:, j]))
            start = time.process_time()
            answer = solvers.qp(P, q, G, h, A, b)
            total += time.process_time() - start
            statuses.add(answer["status"])
            y = numpy.array(answer["x"]).ravel()
            worst = max(worst, abs(y.sum() - 1.0))
            cvx_objectives.append(residual_objective(C, y, images[:, j]))
        cvx_seconds, cvx_sum_error, cvx_status = total / cvxopt_k, worst, "/".join(sorted(statuses))
    same = ours_objectives[:len(cvx_objectives)]
    difference = max((c - o for c, o in zip(cvx_objectives, same)), default=float("nan"))
    record(path, ["n", "product_seconds", "cvxopt_images", "cvxopt_seconds_per_image", "cvxopt_status",
                  "cvxopt_mean_objective", "ours_mean_objective_same", "largest_objective_difference",
                  "cvxopt_sum_error", "rss_mb"],
           [n, "%.6g" % product, len(cvx_objectives), "%.6f" % cvx_seconds, cvx_status,
            "%.17g" % (numpy.mean(cvx_objectives) if cvx_objectives else float("nan")),
            "%.17g" % (numpy.mean(same) if same else float("nan")), "%.3e" % difference,
            "%.3e" % cvx_sum_error, "%.1f" % peak_megabytes()])


def unmix(directory, path):
    from scipy.optimize import nnls

    C = numpy.fromfile(os.path.join(directory, "C.raw"), dtype="<f8").reshape(20, 200).T
    Dm = numpy.fromfile(os.path.join(directory, "D.raw"), dtype="<f8")
    p = Dm.size // 200
    Dm = Dm.reshape(p, 200).T
    X = numpy.fromfile(os.path.join(directory, "X.raw"), dtype="<f8").reshape(p, 20).T
    delta = 1e3 * numpy.abs(C).max()
    augmented = numpy.vstack([C, numpy.full((1, 20), delta)])
    answers = numpy.empty((20, p))
    start = time.process_time()
    for j in range(p):
        answers[:, j] = nnls(augmented, numpy.append(Dm[:, j], delta))[0]
    seconds = time.process_time() - start
    sum_error = numpy.abs(answers.sum(axis=0) - 1.0).max()
    ours_sum_error = numpy.abs(X.sum(axis=0) - 1.0).max()
    differences = [residual_objective(C, answers[:, j], Dm[:, j]) - residual_objective(C, X[:, j], Dm[:, j])
                   for j in range(p)]
    record(path, ["p", "seconds", "us_per_problem", "sum_error", "ours_sum_error", "largest_objective_excess",
                  "least_objective_excess", "rss_mb"],
           [p, "%.6f" % seconds, "%.3f" % (1e6 * seconds / p), "%.3e" % sum_error, "%.3e" % ours_sum_error,
            "%.3e" % max(differences), "%.3e" % min(differences), "%.1f" % peak_megabytes()])


def rows_of(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def ratio(a, b):
    return "%.1f" % (float(a) / float(b)) if float(b) > 0 else "-"


def print_table(title, header, lines):
    print("\n" + title + "\n")
    print("| " + " | ".join(header) + " |")
    print("|" + "|".join("---:" for _ in header) + "|")
    for line in lines:
        print("| " + " | ".join(str(v) for v in line) + " |")


def nu_text(nu, n):
    return "1/n" if float(nu) * int(n) <= 1.0 + 1e-9 else "%g" % float(nu)


def table(directory):
    ours = {(r["n"], nu_text(r["nu"], r["n"])): r for r in rows_of(os.path.join(directory, "one-class-ours.csv"))}
    peer = {(r["n"], nu_text(r["nu"], r["n"])): r for r in rows_of(os.path.join(directory, "one-class-sklearn.csv"))}
    evaluated = {(r["n"], nu_text(r["nu"], r["n"])): r
                 for r in rows_of(os.path.join(directory, "one-class-evaluated.csv"))}
    lines = []
    for key, o in ours.items():
        s, e = peer.get(key), evaluated.get(key)
        lines.append([key[0], key[1], "%.2f" % float(o["seconds"]), "%.2f" % float(s["seconds"]) if s else "-",
                      ratio(s["seconds"], o["seconds"]) if s else "-", "%.12f" % float(o["objective"]),
                      "%.12f" % float(e["objective"]) if e else "-",
                      "%.1e" % (float(e["objective"]) - float(o["objective"])) if e else "-",
                      "%s / %s" % (o["gap"], "yes" if o["converged"] == "1" else "no"),
                      e["gap"] if e else "-", o["support"] + " / " + (s["support"] if s else "-"),
                      o["rss_mb"] + " / " + (s["rss_mb"] if s else "-")])
    print_table("One-class SVM, Fashion-MNIST, Gaussian kernel at gamma = 'scale' (CPU seconds)",
                ["n", "nu", "ours s", "sklearn s", "sklearn/ours", "our f", "sklearn's f", "f difference",
                 "our gap / converged", "sklearn's gap", "support ours / sklearn", "peak RSS MB ours / sklearn"],
                lines)

    ours = {r["n"]: r for r in rows_of(os.path.join(directory, "hull-ours.csv"))}
    lines = []
    for r in rows_of(os.path.join(directory, "hull-peers.csv")):
        o = ours[r["n"]]
        cvx = r["cvxopt_images"] != "0"
        lines.append([r["n"], o["images"], "%.4f" % float(o["seconds_per_image"]), "%.2e" % float(r["product_seconds"]),
                      ratio(o["seconds_per_image"], r["product_seconds"]),
                      "%.3f" % float(r["cvxopt_seconds_per_image"]) if cvx else "-",
                      ratio(r["cvxopt_seconds_per_image"], o["seconds_per_image"]) if cvx else "-",
                      "%s / %s" % (o["largest_gap"], o["converged"]), "%.6f" % float(o["mean_objective"]),
                      r["largest_objective_difference"] if cvx else "-",
                      (r["cvxopt_status"] + ", max abs(sum x - 1) " + r["cvxopt_sum_error"]) if cvx else "-",
                      o["rss_mb"] + " / " + r["rss_mb"]])
    print_table("Projection of test images onto the convex hull of n training images (m = 784; CPU seconds)",
                ["n", "images", "ours s/image", "one Cᵀ(Cx−d), numpy s", "ours/product", "CVXOPT s/image",
                 "CVXOPT/ours", "our largest gap / converged", "our mean ½‖Cx−d‖²",
                 "CVXOPT f - ours f (largest)", "CVXOPT status", "peak RSS MB ours / peers"], lines)

    o = rows_of(os.path.join(directory, "unmix-ours.csv"))[-1]
    f = rows_of(os.path.join(directory, "unmix-fcls.csv"))[-1]
    print_table("Unmixing, m = 200 bands, n = 20 endmembers (CPU microseconds per problem)",
                ["problems ours", "ours us", "problems FCLS", "FCLS us", "FCLS/ours", "our converged",
                 "our largest gap", "our max abs(sum x - 1)", "FCLS max abs(sum x - 1)",
                 "FCLS f - ours f (largest, least)", "peak RSS MB ours / FCLS"],
                [[o["p"], o["us_per_problem"], f["p"], f["us_per_problem"],
                  ratio(f["us_per_problem"], o["us_per_problem"]), o["converged"], o["largest_gap"], o["sum_error"],
                  f["sum_error"], f["largest_objective_excess"] + ", " + f["least_objective_excess"],
                  o["rss_mb"] + " / " + f["rss_mb"]]])


def main():
    command, arguments = (sys.argv[1], sys.argv[2:]) if len(sys.argv) > 1 else ("", [])
    if command == "test-images" and len(arguments) == 2:
        test_images(arguments[0], int(arguments[1]))
    elif command == "one-class" and len(arguments) == 5:
        one_class(arguments[0], int(arguments[1]), int(arguments[2]), arguments[3], arguments[4])
    elif command == "hull" and len(arguments) == 7:
        hull(arguments[0], int(arguments[1]), int(arguments[2]), arguments[3], int(arguments[4]),
             int(arguments[5]), arguments[6])
    elif command == "unmix" and len(arguments) == 2:
        unmix(arguments[0], arguments[1])
    elif command == "table" and len(arguments) == 1:
        table(arguments[0])
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main()
