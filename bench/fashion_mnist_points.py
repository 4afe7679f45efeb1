"""Points from real data for the benchmark of Q described by points: the
Fashion-MNIST images (28x28 grey levels, 784 dimensions), scaled to [0, 1],
as the rows of an n-by-784 matrix; their Gaussian kernel is what no dense Q
of the training set's size (28.8 GB) could hold.

Usage: fashion_mnist_points.py DIR [N [SOURCE]]
Reads SOURCE/train-images-idx3-ubyte.gz and train-labels-idx1-ubyte.gz
(default /usr/share/datasets/fashion-mnist, Debian's dataset-fashion-mnist)
and writes the first N images (default all 60,000) as
DIR/problems/fashion-mnist-N.P (raw little-endian doubles, column-major,
a point per row, as bench/raw_doubles.h reads them) and their classes 0-9
as DIR/problems/fashion-mnist-N.labels (N doubles).
Needs Debian's python3-numpy (group benchmark-data). Python reads the gzip
files with its own library, as bench/digits_problem.py prepares its data,
so that the C++ benchmark needs no decompressor.
"""
import gzip
import os
import struct
import sys

import numpy

DEFAULT_SOURCE = "/usr/share/datasets/fashion-mnist"


def read_idx(path, magic, dimensions):
    """The unsigned bytes of an IDX file, shaped by its header; fails on a
    file whose magic number, dimension count or length is not as expected."""
    try:
        with gzip.open(path, "rb") as f:
            data = f.read()
    except OSError as error:
        raise SystemExit("cannot read %s: %s (Debian's dataset-fashion-mnist installs it)" % (path, error))
    header = 4 + 4 * dimensions
    if len(data) < header:
        raise SystemExit("%s: %d bytes, shorter than its header" % (path, len(data)))
    found, = struct.unpack(">i", data[:4])
    if found != magic:
        raise SystemExit("%s: magic number %d, expected %d" % (path, found, magic))
    shape = struct.unpack(">%di" % dimensions, data[4:header])
    expected = header + int(numpy.prod(shape))
    if len(data) != expected:
        raise SystemExit("%s: %d bytes, expected %d for shape %s" % (path, len(data), expected, shape))
    return numpy.frombuffer(data, dtype=numpy.uint8, offset=header).reshape(shape)


def main():
    if not 2 <= len(sys.argv) <= 4:
        raise SystemExit(__doc__)
    source = sys.argv[3] if len(sys.argv) == 4 else DEFAULT_SOURCE
    images = read_idx(os.path.join(source, "train-images-idx3-ubyte.gz"), 2051, 3)
    labels = read_idx(os.path.join(source, "train-labels-idx1-ubyte.gz"), 2049, 1)
    if labels.shape[0] != images.shape[0]:
        raise SystemExit("%d images but %d labels" % (images.shape[0], labels.shape[0]))
    n = images.shape[0]
    if len(sys.argv) >= 3:
        n = int(sys.argv[2]) if sys.argv[2].isdigit() else -1
    if not 1 <= n <= images.shape[0]:
        raise SystemExit("N: expected a count of 1 to %d images, given %s" % (images.shape[0], sys.argv[2]))
    points = images[:n].reshape(n, -1).astype(numpy.float64) / 255.0
    problems = os.path.join(sys.argv[1], "problems")
    os.makedirs(problems, exist_ok=True)
    stem = os.path.join(problems, "fashion-mnist-%d" % n)
    points.ravel(order="F").astype("<f8").tofile(stem + ".P")
    labels[:n].astype("<f8").tofile(stem + ".labels")
    print("fashion_mnist_points.py: %d points of %d dimensions into %s.P" % (n, points.shape[1], stem))


if __name__ == "__main__":
    main()
