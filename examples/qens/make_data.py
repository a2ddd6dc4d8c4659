#!/usr/bin/env python3
"""Synthetic quasi-elastic spectra of a molecule diffusing by Fick's law, at five
momentum transfers q. At each q the scattering law is one Lorentzian of half
width D*q^2 (energy transfer x in meV, q in 1/Angstrom, D in meV*Angstrom^2) on
a flat background, broadened by a Gaussian instrument resolution and measured
as counts with Poisson noise. Writes data1.dat ... data5.dat (first line
"zvalues 2 T q": temperature and momentum transfer; then x, counts,
sigma = sqrt(counts)) and the resolution res.dat (x, unit-area Gaussian on the
same x step as the data). The truth is listed below; qens.par starts near it.
Run once; the output is committed."""
import math
import random

random.seed(20261206)

D = 0.10                         # diffusion coefficient, meV*A^2 (the value the fit must recover)
QS = (0.3, 0.6, 0.9, 1.2, 1.5)   # momentum transfers, 1/A
TEMPERATURE = 300.0              # K, carried in the zvalues line only
BACKGROUND = 10.0                # counts per channel
SIGMA_RES = 0.025                # resolution standard deviation, meV (FWHM 0.059 meV)
STEP = 0.01                      # x step of data and resolution, meV
NX = 120                         # data from -NX*STEP to NX*STEP


def area(q):
    """Line area in counts*meV, lowered at high q by a Debye-Waller factor."""
    return 100.0 * math.exp(-0.1 * q * q)


def gauss(u):
    return math.exp(-u * u / (2 * SIGMA_RES ** 2)) / (SIGMA_RES * math.sqrt(2 * math.pi))


def voigt(x, hwhm):
    """Unit-area Lorentzian of half width hwhm convolved with the resolution,
    by Simpson's rule over +-8 resolution widths (fine enough for the narrowest
    line, whose half width is several sub-steps)."""
    n = 640
    h = 16 * SIGMA_RES / n
    total = 0.0
    for k in range(n + 1):
        u = -8 * SIGMA_RES + k * h
        w = 1 if k in (0, n) else (4 if k % 2 else 2)
        total += w * gauss(u) * hwhm / math.pi / ((x - u) ** 2 + hwhm ** 2)
    return total * h / 3


def poisson(mean):
    """Poisson deviate: multiplication method for small means, normal
    approximation (rounded, never negative) for large ones."""
    if mean < 30:
        limit, k, prod = math.exp(-mean), 0, random.random()
        while prod > limit:
            k += 1
            prod *= random.random()
        return k
    return max(0, round(random.gauss(mean, math.sqrt(mean))))


with open("res.dat", "w") as out:
    out.write("x resolution (unit-area Gaussian)\n")
    for k in range(-30, 31):
        out.write(f"{k * STEP:.3f} {gauss(k * STEP):.10e}\n")

for n, q in enumerate(QS, start=1):
    with open(f"data{n}.dat", "w") as out:
        out.write(f"zvalues 2 {TEMPERATURE:.1f} {q:.1f}\n")
        for k in range(-NX, NX + 1):
            x = k * STEP
            y = BACKGROUND + area(q) * voigt(x, D * q * q)
            counts = poisson(y)
            sigma = math.sqrt(max(counts, 1))
            out.write(f"{x:.3f} {counts} {sigma:.4f}\n")
