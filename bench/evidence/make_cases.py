#!/usr/bin/env python3
"""Data of the evidence tests (tests/e2e/evidence), Python standard library only,
fixed seeds; run once in that folder, the output is committed.

line.dat:    y = 2 + 0.5 x at x = 1 ... 40 with Gaussian noise of sigma 1 (third column).
peaks3.dat:  three Gaussian lines on a flat background at x = 0.5 ... 100 (200
             points), sigma = sqrt(expected counts), Gaussian noise of that sigma; the
             third line is weak, so that the evidence has to weigh it.
peaks2.dat:  the same without the third line (its own noise).
"""
import math
import random

LINE = (2.0, 0.5)
BG = (60.0, 0.0, 0.0)  # a flat background: one-parameter steps mix well
LINES3 = [(400.0, 30.0, 2.5), (250.0, 55.0, 4.0), (90.0, 75.0, 3.0)]  # area, centre, standard deviation
LINES2 = LINES3[:2]


def peaks(x, lines):
    y = BG[0] + BG[1] * x + BG[2] * x * x
    for a, c, s in lines:
        y += a / (s * math.sqrt(2 * math.pi)) * math.exp(-(x - c) ** 2 / (2 * s * s))
    return y


random.seed(17)
with open("line.dat", "w") as out:
    out.write("x y sigma\n")
    for k in range(1, 41):
        x = float(k)
        out.write(f"{x:.1f} {LINE[0] + LINE[1] * x + random.gauss(0.0, 1.0):.6f} 1.0\n")

for name, lines, seed in (("peaks3.dat", LINES3, 3), ("peaks2.dat", LINES2, 2)):
    random.seed(seed)
    with open(name, "w") as out:
        out.write("x counts sigma\n")
        for k in range(1, 201):
            x = 0.5 * k
            y = peaks(x, lines)
            s = math.sqrt(y)
            out.write(f"{x:.2f} {y + random.gauss(0.0, s):.6f} {s:.6f}\n")
