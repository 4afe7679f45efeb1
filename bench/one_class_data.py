"""One-class SVM problems from the real data scikit-learn ships: its
handwritten digits (1,797 images of 8x8 pixels) and breast cancer (569
cases, 30 measurements, each standardised), at several ν. Q is the Gaussian
kernel exp(-γ|p - q|²) with scikit-learn's default γ = 1 / (d · var), b = 1,
and every weight bounded by 1/(νn): the one-class SVM's dual, scaled so that
the weights sum to 1, as bench/peers.py hands it to LIBSVM (-s 2 -n ν).

Usage: one_class_data.py DIR [NUS]
Writes DIR/problems/digits-nuV-1797.Q/.b/.u and breast-cancer-nuV-569.*
(raw doubles, Q column-major, as bench/side_by_side.cpp reads them with
--from-files yes) for each ν in NUS (default 0.05,0.1,0.2,0.5).
Needs Debian's python3-sklearn and python3-numpy (group benchmark-data).
"""
import os
import sys

import numpy
from sklearn.datasets import load_breast_cancer, load_digits


def kernel(points):
    points = points.astype(numpy.float64)
    gamma = 1.0 / (points.shape[1] * points.var())
    squares = (points * points).sum(axis=1)
    distances = numpy.maximum(squares[:, None] + squares[None, :] - 2.0 * points @ points.T, 0.0)
    numpy.fill_diagonal(distances, 0.0)
    Q = numpy.exp(-gamma * distances)
    return 0.5 * (Q + Q.T)  # symmetric to the last bit


def main():
    if len(sys.argv) not in (2, 3):
        raise SystemExit(__doc__)
    problems = os.path.join(sys.argv[1], "problems")
    os.makedirs(problems, exist_ok=True)
    nus = [float(v) for v in (sys.argv[2] if len(sys.argv) == 3 else "0.05,0.1,0.2,0.5").split(",")]
    cancer = load_breast_cancer().data
    cancer = (cancer - cancer.mean(axis=0)) / cancer.std(axis=0)
    for name, points in (("digits", load_digits().data), ("breast-cancer", cancer)):
        Q = kernel(points)
        n = Q.shape[0]
        for nu in nus:
            stem = os.path.join(problems, "%s-nu%g-%d" % (name, nu, n))
            numpy.asfortranarray(Q).ravel(order="F").astype("<f8").tofile(stem + ".Q")
            numpy.ones(n).astype("<f8").tofile(stem + ".b")
            numpy.full(n, 1.0 / (nu * n)).astype("<f8").tofile(stem + ".u")
            print("one_class_data.py: %s, n = %d, nu = %g" % (name, n, nu))


if __name__ == "__main__":
    main()
