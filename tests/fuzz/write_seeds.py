#!/usr/bin/env python3
"""Writes the fuzz target's seed inputs into seeds/ (layout: gateway_fuzzer.cpp)."""
import math
import os
import struct

DOUBLE, SINGLE, LOGICAL, CHAR, STRUCT = 0, 1, 2, 3, 13
FIELDS = {"Tolerance": 0, "MaxIterations": 1, "Display": 2, "InitialPoint": 3, "UpperBound": 4, "CacheSize": 5,
          "Points": 6, "Kernel": 7, "Width": 8, "TolFun": 9}
GAUSSIAN, LINEAR = bytes([0]), bytes([1])  # Kernel's lead byte: its text
COMPLEX, SPARSE = 1, 2


def value(v):
    """One double: on the grid of eighths when it lies there, else raw bits."""
    tag = v * 8 + 100
    on_grid = 0 <= tag < 200 and tag == int(tag)  # False for NaN and infinities
    if on_grid and math.copysign(1, v) > 0 or on_grid and v != 0:  # -0.0 needs its raw bits
        return bytes([int(tag)])
    return bytes([200]) + struct.pack(">d", v)


def dimension(d):
    # Past 24 the byte picks one of the fuzzer's large sizes: simplexQP's and
    # simplexQPopt's start at 65537, simplexLSQ's at 2^31 (the same bytes).
    return bytes([{65537: 250, 70000: 251, 100000: 252, 2**31: 250, 2**31 + 1: 251}.get(d, d)])


def array(rows, cols, values=(), cls=DOUBLE, flags=0, capacity=0):
    out = bytes([cls, flags]) + dimension(rows) + dimension(cols)
    if rows > 24 or cols > 24:
        return out  # hollow: nothing stored
    if flags & SPARSE:
        out += bytes([capacity])
    return out + b"".join(value(v) for v in values)


def options(**fields):
    """An options struct for opt_gateway_fuzzer: field name, then value."""
    out = bytes([STRUCT, 0]) + dimension(1) + dimension(1) + bytes([len(fields)])
    return out + b"".join(bytes([FIELDS[name]]) + value for name, value in fields.items())


def call(*arguments, nlhs=1):
    return bytes([nlhs, len(arguments)]) + b"".join(arguments)


Q3 = [4, 1, 1, 1, 3, 0, 1, 0, 2]
B3 = [1, 2, 3]
Q6 = [6 if r == c else 1.0 / (1 + abs(r - c)) for c in range(6) for r in range(6)]
B6 = [1, 0.5, 2, 0.25, 1, 3]
C43 = [1, 0, 0.25, 1, 0, 1, 0.125, 1, 0.5, 0.5, 1, 0]
P52 = [0, 0.25, 1, 0.5, 0.125, 1, 0.5, 0, 0.75, 0.25]
B5 = [1, 0.5, 0.25, 0, 2]
D42 = [0.25, 0.625, 0.5, 0.875, 1, 0, 0.25, 1]
# Indefinite, 1e6 against entries near 1: SMO's passes converge linearly at
# a rate within 1e-6 of 1, 15.8 and 4.6 million of them, each lowering f by
# more than the tolerance. The fuzzer must scale such problems down
# (gateway_fuzzer.cpp, keepSolvableInPractice) to keep their runs short.
SLOW_Q6 = [6.0, 0.5, 0.5, 11.875, 0.25, 0.5, 0.5, 6.0, 6.0, -4.625, 0.3333333333333333, 6.0,
           0.5, 6.0, 0.5, 1e6, 0.5, 0.5, 11.875, -4.625, 1e6, 0.5, 6.0, 0.3333333333333397,
           0.25, 0.3333333333333333, 0.5, 6.0, 0.5, -4.625, 0.5, 6.0, 0.5, 0.3333333333333397, -4.625, 1e6]
SLOW_Q6_MUTATED = [6.0, -1.875, -12.5, -1.875, 1e6, 6.625, -1.875, 6.75, 3.375, 0.2, -1.875, 6.75,
                   -12.5, 3.375, 1e6, 0.25, 6.625, 0.25, -1.875, 0.2, 0.25, -1.875, 6.75, -4.625,
                   1e6, -1.875, 6.625, 6.75, 0.375, 1e6, 6.625, 6.75, 0.25, -4.625, 1e6, 6.0]

SEEDS = {
    "smo": call(array(3, 3, Q3), array(3, 1, B3)),
    "mult_update": call(array(3, 3, Q3), array(1, 3, B3), array(1, 1, [3])),
    "six_by_six_smo": call(array(6, 6, Q6), array(6, 1, B6), array(1, 1, [2.5])),
    "six_by_six_mult_update": call(array(6, 6, Q6), array(6, 1, B6), array(1, 1, [3])),
    "slow_smo_indefinite": call(array(6, 6, SLOW_Q6), array(6, 1, B6), array(1, 1, [2.5])),
    "slow_smo_indefinite_mutated": call(array(6, 6, SLOW_Q6_MUTATED), array(6, 1, B6), array(1, 1, [2.5])),
    "mult_update_cycle": call(array(2, 2, [8, -2, -2, 5]), array(2, 1, [1, 1]), array(1, 1, [3])),
    "empty": call(array(0, 0), array(0, 0), array(1, 1, [3])),
    "method_one": call(array(3, 3, Q3), array(3, 1, B3), array(1, 1, [1])),
    "method_zero": call(array(3, 3, Q3), array(3, 1, B3), array(1, 1, [0])),
    "single_q": call(array(3, 3, [1] * 9, cls=SINGLE), array(3, 1, B3)),
    "sparse_q": call(array(3, 3, [1, 2], flags=SPARSE, capacity=2), array(3, 1, B3)),
    "complex_b": call(array(3, 3, Q3), array(3, 1, B3 + B3, flags=COMPLEX)),
    "short_b": call(array(3, 3, Q3), array(2, 1, [1, 2])),
    "logical_method": call(array(3, 3, Q3), array(3, 1, B3), array(1, 1, [1], cls=LOGICAL)),
    "huge_q": call(array(65537, 65537), array(3, 1, B3)),
    "nan_in_q": call(array(3, 3, Q3[:4] + [math.nan] + Q3[5:]), array(3, 1, B3)),
    "zero_sum_b": call(array(3, 3, Q3), array(3, 1, [1, -1, 0])),
    "large_entries": call(array(3, 3, [1e308] * 9), array(3, 1, [1e300, -1e300, 1]), array(1, 1, [2])),
    "too_few_arguments": call(array(3, 3, Q3)),
    "no_result": call(array(3, 3, Q3), array(3, 1, B3), nlhs=0),
    # simplexQPopt(K, b, ...) with Q described by points (P: 5 points in 2
    # dimensions).
    "opt_kernel_gaussian": call(options(Points=array(5, 2, P52), Kernel=GAUSSIAN, Width=array(1, 1, [0.5])),
                                array(5, 1, [0] * 5), nlhs=2),
    "opt_kernel_linear_bounded_cache": call(options(Points=array(5, 2, P52), Kernel=LINEAR), array(5, 1, B5),
                                            options(UpperBound=array(1, 1, [0.25]), CacheSize=array(1, 1, [0.125])),
                                            nlhs=2),
    "opt_kernel_no_width": call(options(Points=array(5, 2, P52), Kernel=GAUSSIAN), array(5, 1, B5)),
    "opt_kernel_nan_point": call(options(Points=array(5, 2, P52[:3] + [math.nan] + P52[4:]), Kernel=LINEAR),
                                 array(5, 1, B5)),
    "opt_bounded": call(array(6, 6, Q6), array(6, 1, B6), options(UpperBound=array(1, 1, [0.25])), nlhs=2),
    "opt_bound_vector_start": call(array(3, 3, Q3), array(3, 1, B3),
                                   options(UpperBound=array(1, 3, [0.5, math.inf, 0.125]),
                                           InitialPoint=array(3, 1, [0.5, 0.375, 0.125])), nlhs=2),
    "opt_bounds_sum_to_one": call(array(3, 3, Q3), array(3, 1, B3),
                                  options(UpperBound=array(3, 1, [0.5, 0.25, 0.25]), Tolerance=array(1, 1, [0])),
                                  nlhs=2),
    # simplexLSQ(C, D, ...) in lsq_gateway_fuzzer (C 4-by-3, D 4-by-2).
    "lsq_mixture": call(array(4, 3, C43), array(4, 2, D42), nlhs=2),
    "lsq_shared_start_bounded": call(array(4, 3, C43), array(4, 2, D42),
                                     options(InitialPoint=array(3, 1, [0.5, 0.25, 0.25]),
                                             UpperBound=array(1, 1, [0.5])), nlhs=2),
    "lsq_start_per_column": call(array(4, 3, C43), array(4, 2, D42),
                                 options(InitialPoint=array(3, 2, [1, 0, 0, 0, 0.5, 0.5]),
                                         Display=array(1, 4, [ord(c) for c in "iter"], cls=CHAR)), nlhs=1),
    "lsq_rows_mismatch": call(array(4, 3, C43), array(3, 2, D42[:6])),
    "lsq_no_columns": call(array(4, 3, C43), array(4, 0), nlhs=2),
    "lsq_no_weights": call(array(4, 0), array(4, 2, D42), array(1, 1, [0])),
    "lsq_nan_in_d": call(array(4, 3, C43), array(4, 2, D42[:5] + [math.nan] + D42[6:])),
    "lsq_huge_c": call(array(2**31, 1), array(2**31, 1)),
}

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "seeds")
os.makedirs(here, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
