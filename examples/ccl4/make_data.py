#!/usr/bin/env python3
"""Synthetic neutron-diffraction data of carbon tetrachloride: the molecular
structure factor S(q) and the radial distribution function g(r) of a rigid
regular tetrahedron, CCl4, with Gaussian spreads of its two distances.

The molecule has four C-Cl pairs at the bond length d and six Cl-Cl pairs at
d*sqrt(8/3). Each pair type k enters with the weight w_k = m_k*b_i*b_j (number
of equivalent pairs times the coherent scattering lengths, 1e-12 cm:
b_C = 0.6646, b_Cl = 0.9577); W is the sum of the weights. With a scale A:
  g(r) = A/sqrt(2 pi)/W * sum_k w_k exp(-(r - r_k)^2/(2 s_k^2))/s_k + Bg(r)
  S(q) = A*(sum_k w_k sin(q r_k)/(q r_k) exp(-(q s_k)^2/2)/W - Bs(q))
with the small smooth backgrounds Bg(r) = G0 + G1*r and Bs(q) = S0.

Writes sq.dat (q in 1/A, S(q), sigma) and gr.dat (r in A, g(r), sigma), each
with a one-line text header, Gaussian noise of the stated sigma on every
point. The truth is listed below; ccl4.par starts near it. Run once; the
output is committed."""
import math
import random

random.seed(20261207)

D_CCL = 1.767          # C-Cl bond length, A (gas-phase electron diffraction value; the fit must recover it)
SIG_CCL = 0.050        # root-mean-square spread of the C-Cl distance, A
SIG_CLCL = 0.070       # root-mean-square spread of the Cl-Cl distance, A
SCALE = 0.95           # overall scale A of the molecular term
G0, G1 = 0.040, 0.010  # g(r) background Bg(r) = G0 + G1*r
S0 = 0.015             # S(q) background Bs(q) = S0

B_C, B_CL = 0.6646, 0.9577
PAIRS = (  # (distance, width, weight)
    (D_CCL, SIG_CCL, 4 * B_C * B_CL),
    (D_CCL * math.sqrt(8.0 / 3.0), SIG_CLCL, 6 * B_CL * B_CL),
)
W = sum(w for _, _, w in PAIRS)


def sq(q):
    total = sum(w * math.sin(q * r) / (q * r) * math.exp(-(q * s) ** 2 / 2) for r, s, w in PAIRS)
    return SCALE * (total / W - S0)


def gr(r):
    total = sum(w * math.exp(-(r - rk) ** 2 / (2 * s * s)) / s for rk, s, w in PAIRS)
    return SCALE / math.sqrt(2 * math.pi) / W * total + G0 + G1 * r


with open("sq.dat", "w") as out:
    out.write("q S(q) sigma\n")
    for k in range(6, 401):          # q = 0.30 ... 20.00 in steps of 0.05
        q = 0.05 * k
        sigma = 0.004 * (1.0 + q / 20.0)  # counting statistics worsen towards high q
        out.write(f"{q:.2f} {sq(q) + random.gauss(0.0, sigma):.6f} {sigma:.6f}\n")

with open("gr.dat", "w") as out:
    out.write("r g(r) sigma\n")
    for k in range(25, 301):         # r = 0.50 ... 6.00 in steps of 0.02
        r = 0.02 * k
        sigma = 0.02
        out.write(f"{r:.2f} {gr(r) + random.gauss(0.0, sigma):.6f} {sigma:.6f}\n")
