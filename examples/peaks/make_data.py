#!/usr/bin/env python3
"""Synthetic spectrum of the peaks example: three Gaussian lines on a quadratic
background, measured as counts with Poisson (counting) noise, approximated by a
normal deviate of width sqrt(counts). Columns: x, counts, sigma = sqrt(counts).
The values the data were made with are the start values of peaks.par, perturbed.
Run once; the output is committed."""
import math
import random

random.seed(20261206)
bg = (40.0, 0.3, -0.002)                      # p1 + p2*x + p3*x^2
lines = [(400.0, 30.0, 2.5), (250.0, 55.0, 4.0), (600.0, 75.0, 3.0)]  # area, centre, sigma

with open("peaks.dat", "w") as out:
    out.write("x counts sigma\n")
    for k in range(1, 401):
        x = 0.25 * k
        y = bg[0] + bg[1] * x + bg[2] * x * x
        for a, c, s in lines:
            y += a / (s * math.sqrt(2 * math.pi)) * math.exp(-(x - c) ** 2 / (2 * s * s))
        counts = max(0.0, round(y + random.gauss(0.0, math.sqrt(y))))
        sigma = math.sqrt(max(counts, 1.0))
        out.write(f"{x:.2f} {counts:.0f} {sigma:.4f}\n")
