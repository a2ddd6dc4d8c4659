#!/usr/bin/env python3
"""Synthetic dielectric loss spectrum of a glass former: a structural (alpha)
relaxation of Havriliak-Negami shape and two secondary relaxations of Cole-Cole
shape, the model 53 of the catalogue,

  eps''(f) = dHN*HN(f; tHN, aHN, bHN) + dCC1*CC(f; tCC1, aCC1) + dCC2*CC(f; tCC2, aCC2),

with omega = 2*pi*f, u = (omega*tau)^(1-a), s = sin(a*pi/2), c = cos(a*pi/2),
  CC = c*u / (1 + 2*u*s + u^2),
  HN = sin(b*phi) / (1 + 2*u*s + u^2)^(b/2),  phi = atan(c*u / (1 + s*u)),
and relaxation times given as decimal logarithms (tau = 10^lt seconds).
Ten points per decade from 1e-2 to 1e7 Hz, each loss multiplied by
(1 + 0.015*N(0,1)), a 1.5 % relative error, which is also the sigma column
(1.5 % of the measured loss). Writes dielectric.dat (header line, then f, eps'',
sigma). The truth is listed below; dielectric.par starts near it.
Run once; the output is committed."""
import math
import random

random.seed(20260311)

LT_HN, LT_CC1, LT_CC2 = -1.0, -4.0, -6.5   # log10 of the relaxation times, s
D_HN, D_CC1, D_CC2 = 4.0, 1.0, 0.4         # relaxation strengths
A_HN, B_HN = 0.10, 0.60                    # HN width and asymmetry exponents
A_CC1, A_CC2 = 0.35, 0.40                  # CC width exponents
NOISE = 0.015                              # relative error of the loss


def shape(f, lt, a):
    u = (2 * math.pi * f * 10 ** lt) ** (1 - a)
    return u, math.sin(a * math.pi / 2), math.cos(a * math.pi / 2)


def cc(f, lt, a):
    u, s, c = shape(f, lt, a)
    return c * u / (1 + 2 * u * s + u * u)


def hn(f, lt, a, b):
    u, s, c = shape(f, lt, a)
    phi = math.atan(c * u / (1 + s * u))
    return math.sin(b * phi) / (1 + 2 * u * s + u * u) ** (b / 2)


with open("dielectric.dat", "w") as out:
    out.write("f(Hz) eps'' sigma\n")
    for k in range(-20, 71):
        f = 10 ** (k / 10)
        y = D_HN * hn(f, LT_HN, A_HN, B_HN) + D_CC1 * cc(f, LT_CC1, A_CC1) + D_CC2 * cc(f, LT_CC2, A_CC2)
        y *= 1 + NOISE * random.gauss(0.0, 1.0)
        out.write(f"{f:.6e} {y:.6e} {NOISE * y:.4e}\n")
