"""A benchmark problem from real data: a reduced-set kernel density estimate
over the 1,797 points of scikit-learn's handwritten digits (8x8 images, 64
dimensions), as a new user would set it up. Q is the Gaussian kernel of the
points, b its row means (the full-sample estimate the weights should
reproduce), so that every weight is positive at b's own answer x = 1/n
and Q is badly conditioned: the case where pair steps crawl.

Usage: digits_problem.py DIR
Writes DIR/problems/digits-narrow-1797.Q/.b and digits-wide-1797.Q/.b (raw
doubles, Q column-major, as bench/side_by_side.cpp reads them): kernel
widths of a half and of one median distance between points.
Needs Debian's python3-sklearn and python3-numpy (group benchmark-data).
"""
import os
import sys

import numpy
from sklearn.datasets import load_digits


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    problems = os.path.join(sys.argv[1], "problems")
    os.makedirs(problems, exist_ok=True)
    points = load_digits().data.astype(numpy.float64)
    n = points.shape[0]
    squares = (points * points).sum(axis=1)
    distances = numpy.maximum(squares[:, None] + squares[None, :] - 2.0 * points @ points.T, 0.0)
    numpy.fill_diagonal(distances, 0.0)
    median = numpy.sqrt(numpy.median(distances[numpy.triu_indices(n, 1)]))
    for name, width in (("digits-narrow", 0.5 * median), ("digits-wide", median)):
        Q = numpy.exp(-distances / (2.0 * width * width))
        Q = 0.5 * (Q + Q.T)  # symmetric to the last bit
        b = Q.mean(axis=1)
        stem = os.path.join(problems, "%s-%d" % (name, n))
        numpy.asfortranarray(Q).ravel(order="F").astype("<f8").tofile(stem + ".Q")
        b.astype("<f8").tofile(stem + ".b")
        print("digits_problem.py: %s, n = %d, width %.3g (median distance %.3g)" % (name, n, width, median))


if __name__ == "__main__":
    main()
