#!/usr/bin/env python3
"""Writes the expected results of the floating-point routines, to the bit.

An independent model of the same steps as numeric/real_math.cpp, written
straight from their definitions: Python floats are IEEE doubles rounded after
every operation, which is exactly the arithmetic the routines are defined in.
The slow one-k-at-a-time exponent search is kept here on purpose, as the
reference that the fast search in C++ must agree with.

    scripts/make-numeric-table.py > tests/unit/data/real_math_cases.inc
"""
import math
import random
import struct

LN2 = 0.6931471805599453
SQRT2 = 1.4142135623730951
INF = float("inf")


def div(a, b):
    """a / b with IEEE results for a zero divisor instead of an exception."""
    if b == 0:
        if a == 0 or a != a:
            return float("nan")
        return math.copysign(INF, a) * math.copysign(1.0, b)
    return a / b


def real_floor(x):
    t = int(x)  # truncation toward zero
    if x < 0 and x < float(t):
        return t - 1
    return t


def real_abs(x):
    return x * -1.0 if x < 0 else x


def real_int_power(x, n):
    m = int(real_abs(float(n)))
    acc = 1.0
    while m != 0:
        if m % 2 == 1:
            acc = acc * x
        x = x * x
        m = m // 2
    return acc if n >= 0 else div(1.0, acc)


def real_scale(x, n):
    if n >= 0:
        b = 2.0
    else:
        b = 0.5
        n = -n
    while n != 0:
        if n & 1:
            x = x * b
        b = b * b
        n >>= 1
    return x


def real_decompose(v):
    if v == 0:
        return 0.0, 0
    k = 0
    upward = real_abs(v) >= 1
    while True:
        q = div(v, real_int_power(2.0, k))
        if 0.5 <= real_abs(q) < 1:
            return q, k
        k = k + 1 if upward else k - 1


def real_log(x):
    if x <= 0:
        return 0.0
    _, k = real_decompose(div(x, SQRT2))
    m = div(x, real_scale(1.0, k))
    u = m - 1
    t = 0.0
    for i in range(9, 0, -1):
        t = div(u * i, 2 + div(u * i, (2 * i + 1) + t))
    return (k * LN2) + div(u, 1 + t)


def real_exp(x):
    w = div(x, LN2)
    k = real_floor(w + 0.5) if x >= 0 else real_floor(w - 0.5)
    r = x - (k * LN2)
    z = r * r
    g = div(z, 22)
    for i in (18, 14, 10, 6):
        g = div(z, i + g)
    n = (g + 2) + r
    d = (g + 2) - r
    return real_scale(div(n, d), k)


def real_power(x, y):
    if -2147483647 <= y <= 2147483647 and y == float(real_floor(y)):
        return real_int_power(x, int(y))
    if x > 0:
        return real_exp(y * real_log(x))
    return 0.0


def bits(x):
    return struct.unpack("<Q", struct.pack("<d", x))[0]


def int_bits(n):
    return n & 0xFFFFFFFFFFFFFFFF


def magnitudes(rng, count, low_exp, high_exp, negative=True):
    """Random doubles spread evenly over binary exponents."""
    out = []
    for _ in range(count):
        m = rng.uniform(1.0, 2.0)
        v = math.ldexp(m, rng.randint(low_exp, high_exp))
        if negative and rng.random() < 0.5:
            v = -v
        out.append(v)
    return out


def main():
    rng = random.Random(20261208)
    cases = []  # (routine, a bits, b bits, expected bits, expected k)

    def add(name, a, b, expected, k=0):
        cases.append((name, a, b, expected, k))

    # Floor over the 32-bit range: fractions, integers, halves.
    floors = magnitudes(rng, 250, -10, 30) + [float(rng.randint(-2**31, 2**31 - 1)) for _ in range(50)]
    floors += [n + 0.5 for n in range(-5, 5)] + [-2147483648.0, 2147483647.0, -2147483647.5, 2147483647.99]
    for x in floors:
        add("Floor", bits(x), 0, int_bits(real_floor(x)))

    for x in magnitudes(rng, 40, -1074, 1023) + [0.0, -0.0]:
        add("Abs", bits(x), 0, bits(real_abs(x)))

    # Integer powers: bases near 1, small and large, negative; exponents of every size.
    bases = magnitudes(rng, 150, -20, 20) + [1.0 + rng.uniform(-1e-6, 1e-6) for _ in range(50)]
    for x in bases:
        n = rng.choice([rng.randint(-20, 20), rng.randint(-2000, 2000), rng.randint(-2**31, 2**31 - 1)])
        add("IntPower", bits(x), int_bits(n), bits(real_int_power(x, n)))
    for x, n in [(2.0, -2**31), (-1.0, -2**31), (0.5, 1074), (2.0, 1023), (2.0, -1022), (10.0, 308), (10.0, -323)]:
        add("IntPower", bits(x), int_bits(n), bits(real_int_power(x, n)))

    # Scaling: into overflow, through the subnormals, down to zero.
    for x in magnitudes(rng, 300, -1074, 1023):
        n = rng.choice([rng.randint(-60, 60), rng.randint(-2200, 2200), rng.randint(-2**31 + 1, 2**31 - 1)])
        add("Scale", bits(x), int_bits(n), bits(real_scale(x, n)))

    # Splitting: the whole range where a power of two exists, subnormals included.
    for v in magnitudes(rng, 300, -1024, 1022) + [1.0, 0.5, -3.0, 0.1, 0.0, math.ldexp(1.0, -1024), math.ldexp(1.9, 1022)]:
        q, k = real_decompose(v)
        add("Decompose", bits(v), 0, bits(q), k)

    # Logarithm: tiny to huge, near 1, and the refused x <= 0.
    logs = magnitudes(rng, 350, -1023, 1022, negative=False)
    logs += [1.0 + rng.uniform(-0.01, 0.01) for _ in range(50)] + [0.0, -5.0, math.ldexp(1.4, 1023)]
    for x in logs:
        add("Log", bits(x), 0, bits(real_log(x)))

    # Exponential: every k from deep underflow to overflow, and far beyond.
    exps = [rng.uniform(-800.0, 720.0) for _ in range(250)] + [rng.uniform(-1.0, 1.0) for _ in range(100)]
    exps += [rng.uniform(-1.4e9, 1.4e9) for _ in range(20)] + [709.4, 709.5, -744.0, -745.2]
    for x in exps:
        add("Exp", bits(x), 0, bits(real_exp(x)))

    # Powers: real exponents of positive bases, integer exponents of any base,
    # refused bases, and exponents outside the integer path.
    for _ in range(300):
        x = magnitudes(rng, 1, -30, 30, negative=False)[0]
        y = rng.choice([rng.uniform(-10, 10), rng.uniform(-300, 300), float(rng.randint(-50, 50)), rng.uniform(-1e-3, 1e-3)])
        add("Power", bits(x), bits(y), bits(real_power(x, y)))
    for _ in range(60):
        x = magnitudes(rng, 1, -10, 10)[0]
        y = rng.choice([float(rng.randint(-40, 40)), rng.uniform(-3, 3), 2147483648.0, -2147483648.0])
        add("Power", bits(x), bits(y), bits(real_power(x, y)))

    print("// Generated by scripts/make-numeric-table.py: do not edit.")
    print(f"// {len(cases)} cases: routine, argument bits, second argument (bits or integer), expected bits, expected k.")
    for name, a, b, expected, k in cases:
        print(f"{{Routine::{name}, 0x{a:016x}ull, 0x{b:016x}ull, 0x{expected:016x}ull, {k}}},")


if __name__ == "__main__":
    main()
