"""The side-by-side benchmark's peers: LIBSVM's one-class SVM and CVXOPT's qp
on the problems side_by_side wrote, for Debian's /usr/bin/python3 with its
python3-libsvm and python3-cvxopt (bench/side_by_side.sh runs it).

Usage: peers.py DIR SIZES FAMILIES [REPEATS [CVXOPT_LARGEST_N]]
Reads DIR/problems/FAMILY-N.Q/.b (raw doubles, Q column-major) and, for a
bounded family, .u (each weight's upper bound), writes each
answer to DIR/answers/FAMILY-N.SOLVER.x (raw doubles) and one record a run
to DIR/runs-peers.csv (family,n,solver,seconds,status,note).
Times are CPU seconds of the solve call alone (svm_train, qp), the best of
up to REPEATS runs (1 once a run takes over a second). CVXOPT is not run
above CVXOPT_LARGEST_N (the table says so), to keep a run at large n short.
"""
import array
import ctypes
import os
import sys
import time

# A solver is not run at larger n once a run took over GIVE_UP_AFTER
# seconds, nor at an n where its time at the last n, grown as n³ (an
# interior-point iteration factors a dense n-by-n matrix), predicts over
# PREDICTED_LIMIT: it would not finish within a minute there either.
GIVE_UP_AFTER = 60.0
PREDICTED_LIMIT = 120.0


def read_doubles(path, count):
    values = array.array("d")
    with open(path, "rb") as f:
        values.frombytes(f.read())
    if len(values) != count:
        raise SystemExit("peers.py: %s holds %d doubles, not %d" % (path, len(values), count))
    return values


def write_doubles(path, values):
    with open(path, "wb") as f:
        array.array("d", values).tofile(f)


def best_time(repeats, solve):
    """The answer of the last run and the least CPU time of the runs."""
    best, answer = None, None
    for _ in range(repeats):
        answer, seconds = solve()
        best = seconds if best is None else min(best, seconds)
        if seconds > 1.0:
            break
    return answer, best


class Libsvm:
    """One-class SVM on the kernel matrix held in memory (-t 4), at ν = 1/n,
    or 1/(un) for a bound u on every weight. Its dual is min ½αᵀQα over
    0 ≤ α ≤ 1, Σα = νn: the simplex problem with constant b, whose bᵀx is
    then the same at every feasible point, and x = α / (νn) ≤ 1/(νn)."""

    def __init__(self, Q, n, nu):
        import svm
        self.svm = svm
        # One row per point, in LIBSVM's precomputed form: node 0 holds the
        # point's serial number, nodes 1..n the row of Q, then index -1.
        # Filled through strided views of one buffer, no Python loop per entry.
        width = n + 2
        self.buffer = bytearray(ctypes.sizeof(svm.svm_node) * n * width)
        if ctypes.sizeof(svm.svm_node) != 16:
            raise SystemExit("peers.py: unexpected svm_node layout")
        values = memoryview(self.buffer).cast("d")
        indices = memoryview(self.buffer).cast("i")
        row_indices = memoryview(array.array("i", list(range(n + 1)) + [-1]))
        rows = memoryview(Q)
        for i in range(n):
            first = i * width
            indices[4 * first:4 * (first + width):4] = row_indices
            values[2 * first + 1] = i + 1
            values[2 * first + 3:2 * (first + n + 1):2] = rows[i::n]  # Q(i, k), k = 0..n-1
        nodes = (svm.svm_node * (n * width)).from_buffer(self.buffer)
        self.problem = svm.svm_problem.__new__(svm.svm_problem)
        self.problem.l = n
        self.y = (ctypes.c_double * n)(*([1.0] * n))
        self.problem.y = self.y
        self.rows = (ctypes.POINTER(svm.svm_node) * n)()
        base = ctypes.addressof(nodes)
        for i in range(n):
            self.rows[i] = ctypes.cast(base + i * width * 16, ctypes.POINTER(svm.svm_node))
        self.problem.x = self.rows
        self.nodes = nodes
        self.n = n
        self.nu = nu

    def solve(self, epsilon):
        n = self.n
        cache_mb = 4 * n * n // 2 ** 20 + 100  # the whole kernel in LIBSVM's float cache
        parameter = self.svm.svm_parameter("-s 2 -t 4 -n %r -e %g -m %d -q" % (self.nu, epsilon, cache_mb))
        started = time.process_time()
        pointer = self.svm.libsvm.svm_train(self.problem, parameter)
        seconds = time.process_time() - started
        model = self.svm.toPyModel(pointer)
        x = [0.0] * n
        coefficients = model.get_sv_coef()
        for index, coefficient in zip(model.get_sv_indices(), coefficients):
            x[index - 1] = coefficient[0]
        total = sum(x)  # νn, 1 up to rounding
        return [value / total for value in x], seconds


class Cvxopt:
    """CVXOPT's qp (interior point): min ½xᵀQx - bᵀx, -x ≤ 0, Σx = 1, and
    x ≤ u where u is given and finite."""

    def __init__(self, Q, b, n, upper=None):
        import cvxopt
        from cvxopt import solvers
        self.solvers = solvers
        self.P = cvxopt.matrix(Q, (n, n))
        self.q = cvxopt.matrix(b, (n, 1)) * -1.0
        capped = [i for i in range(n) if upper is not None and upper[i] < float("inf")]
        rows = list(range(n + len(capped)))
        self.G = cvxopt.spmatrix([-1.0] * n + [1.0] * len(capped), rows, list(range(n)) + capped)
        self.h = cvxopt.matrix([0.0] * n + [upper[i] for i in capped], (n + len(capped), 1))
        self.A = cvxopt.matrix(1.0, (1, n))
        self.b = cvxopt.matrix(1.0)

    def solve(self, options):
        started = time.process_time()
        result = self.solvers.qp(self.P, self.q, self.G, self.h, self.A, self.b,
                                 options=dict(options, show_progress=False))
        seconds = time.process_time() - started
        self.status = "%s after %d iterations" % (result["status"], result["iterations"])
        self.optimal = result["status"] == "optimal"
        return list(result["x"]), seconds


SETTINGS = {
    "LIBSVM-e1e-3": 1e-3,  # LIBSVM's default -e
    "LIBSVM-e1e-6": 1e-6,
    "CVXOPT-default": {},
    "CVXOPT-tight": {"abstol": 1e-10, "reltol": 1e-10, "feastol": 1e-10},
}


def main():
    if len(sys.argv) < 4:
        raise SystemExit(__doc__)
    directory, sizes, families = sys.argv[1], [int(s) for s in sys.argv[2].split(",")], sys.argv[3].split(",")
    repeats = int(sys.argv[4]) if len(sys.argv) > 4 else 3
    cvxopt_largest = int(sys.argv[5]) if len(sys.argv) > 5 else None
    out = open(os.path.join(directory, "runs-peers.csv"), "w")
    out.write("family,n,solver,seconds,status,note\n")

    def record(family, n, solver, seconds, status, note=""):
        out.write("%s,%d,%s,%.9f,%s,%s\n" % (family, n, solver, seconds, status, note.replace(",", ";")))
        out.flush()

    for family in families:
        too_slow = {}  # solver -> why larger n are skipped
        last = {}  # solver -> (n, seconds) of its last run
        for n in sizes:
            stem = os.path.join(directory, "problems", "%s-%d" % (family, n))
            Q, b = read_doubles(stem + ".Q", n * n), read_doubles(stem + ".b", n)
            upper = read_doubles(stem + ".u", n) if os.path.exists(stem + ".u") else None
            solvers = []
            # LIBSVM solves this problem only when b is constant (a one-class
            # problem), and the bound, if any, the same for every weight.
            if family.startswith(("one-class", "digits-nu", "breast-cancer-nu")) and min(b) == max(b) and (
                    upper is None or min(upper) == max(upper)):
                libsvm = Libsvm(Q, n, 1.0 / n if upper is None else min(1.0, 1.0 / (upper[0] * n)))
                solvers += [(name, lambda e=SETTINGS[name]: libsvm.solve(e), lambda: "")
                            for name in ("LIBSVM-e1e-3", "LIBSVM-e1e-6")]
            cvxopt = Cvxopt(Q, b, n, upper)
            solvers += [(name, lambda o=SETTINGS[name]: cvxopt.solve(o), lambda: cvxopt.status)
                        for name in ("CVXOPT-default", "CVXOPT-tight")]
            for name, solve, status in solvers:
                if name in last and name.startswith("CVXOPT"):
                    predicted = last[name][1] * (n / last[name][0]) ** 3
                    if predicted > PREDICTED_LIMIT:
                        too_slow[name] = "%.0f s predicted from %.1f s at n = %d" % (predicted, last[name][1],
                                                                                    last[name][0])
                if cvxopt_largest is not None and name.startswith("CVXOPT") and n > cvxopt_largest:
                    too_slow[name] = "not run above n = %d in this run" % cvxopt_largest
                if name in too_slow:
                    record(family, n, name, -1.0, "skipped", too_slow[name])
                    continue
                try:
                    x, seconds = best_time(repeats, solve)
                except (ArithmeticError, ValueError, MemoryError) as error:
                    record(family, n, name, -1.0, "failed", "%s: %s" % (type(error).__name__, error))
                    print("peers.py: %s on %s n = %d failed: %s" % (name, family, n, error), file=sys.stderr)
                    continue
                write_doubles(os.path.join(directory, "answers", "%s-%d.%s.x" % (family, n, name)), x)
                stopped = name.startswith("CVXOPT") and not cvxopt.optimal
                record(family, n, name, seconds, "stopped" if stopped else "solved", status())
                last[name] = (n, seconds)
                if seconds > GIVE_UP_AFTER:
                    too_slow[name] = "over %.0f s at n = %d" % (GIVE_UP_AFTER, n)
                print("peers.py: %s on %s n = %d: %.3f s" % (name, family, n, seconds), file=sys.stderr)
            del solvers
    out.close()


if __name__ == "__main__":
    main()
