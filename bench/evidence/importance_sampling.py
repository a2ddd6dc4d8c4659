#!/usr/bin/env python3
"""Independent evidence of the peaks cases of tests/e2e/evidence by importance
sampling (numpy and scipy; run in that folder with `python3 importance_sampling.py`;
its printed numbers are committed in reference.txt, the script is not run by the tests).

Z = ∫ L(θ) π(θ) dθ with ln L = −½ χ² (no constants, as the program), π uniform in the
box of the parameter limits. Proposal q: a multivariate Student t (ν = 6) centred at
the least-squares minimum with 1.5² times the Gauss–Newton covariance (JᵀJ)⁻¹; then
Z = mean of L π / q over N draws of q, and its standard error from the spread of the
weights (Geweke 1989, Econometrica 57:1317). Also the line case's analytic evidence
ln L_max + (k/2) ln 2π + ½ ln det Σ − ln V, for comparison.
"""
import math
import numpy as np
from scipy import optimize, special

import os
RNG = np.random.default_rng(int(os.environ.get("IS_SEED", "20261206")))
SCALE = float(os.environ.get("IS_SCALE", "1.5"))
SQ2PI = math.sqrt(2 * math.pi)

# Limits as in the parameter files: bg0 bg1 bg2, then (area, centre, sdev) per line.
BG_LIM = [(0.0, 100.0), (-1.0, 1.0), (-0.01, 0.01)]
LINE_LIM = [[(10.0, 2000.0), (25.0, 35.0), (0.5, 8.0)],
            [(10.0, 2000.0), (50.0, 60.0), (0.5, 8.0)],
            [(10.0, 2000.0), (70.0, 80.0), (0.5, 8.0)]]
START = [60.0, 0.0, 0.0, 400.0, 30.0, 2.5, 250.0, 55.0, 4.0, 90.0, 75.0, 3.0]
# Free parameters of the test cases: bg0 and the lines (bg1 = bg2 = 0 are fixed).
# The shipped peaks example (examples/peaks/lines.dat) frees all three background terms.


def load(name):
    d = np.loadtxt(name, skiprows=1)
    return d[:, 0], d[:, 1], d[:, 2]


def model(theta, x, nlines):
    """theta: (n, 3 + 3·nlines); returns (n, len(x))."""
    t = np.atleast_2d(theta)
    y = t[:, [0]] + t[:, [1]] * x + t[:, [2]] * x * x
    for k in range(nlines):
        a, c, s = t[:, [3 + 3 * k]], t[:, [4 + 3 * k]], t[:, [5 + 3 * k]]
        y = y + a / (s * SQ2PI) * np.exp(-(x - c) ** 2 / (2 * s * s))
    return y


def evidence(data, nlines, free_bg, start, n=600000, batch=20000):
    """free_bg background terms are free (1: bg0 only, bg1 = start[1], bg2 = start[2])."""
    x, y, s = load(data)
    free = list(range(free_bg)) + list(range(3, 3 + 3 * nlines))
    lim = np.array(BG_LIM + sum(LINE_LIM[:nlines], []))[free]
    full0 = np.array(start[:3 + 3 * nlines])

    def full(tf):
        tf = np.atleast_2d(tf)
        t = np.tile(full0, (tf.shape[0], 1))
        t[:, free] = tf
        return t

    fit = optimize.least_squares(lambda t: (y - model(full(t), x, nlines)[0]) / s, full0[free], x_scale='jac')
    jac = fit.jac
    cov = np.linalg.inv(jac.T @ jac)
    chimin = 2 * fit.cost
    k = len(free)
    nu = 6.0
    scale = SCALE ** 2 * cov
    chol = np.linalg.cholesky(scale)
    inv = np.linalg.inv(scale)
    logdet = np.linalg.slogdet(scale)[1]
    lnv = np.sum(np.log(lim[:, 1] - lim[:, 0]))
    # ln of the multivariate t density
    c0 = special.gammaln((nu + k) / 2) - special.gammaln(nu / 2) - 0.5 * k * math.log(nu * math.pi) - 0.5 * logdet
    logw = []
    for _ in range(n // batch):
        z = RNG.standard_normal((batch, k))
        g = RNG.chisquare(nu, batch)
        th = fit.x + (z @ chol.T) * np.sqrt(nu / g)[:, None]
        d = th - fit.x
        q = c0 - 0.5 * (nu + k) * np.log1p(np.einsum('ij,jk,ik->i', d, inv, d) / nu)
        inside = np.all((th > lim[:, 0]) & (th < lim[:, 1]), axis=1)
        lnl = np.full(batch, -np.inf)
        r = (y - model(full(th[inside]), x, nlines)) / s
        lnl[inside] = -0.5 * np.sum(r * r, axis=1)
        logw.append(lnl - lnv - q)
    w = np.concatenate(logw)
    m = w.max()
    e = np.exp(w - m)
    lnz = m + math.log(e.mean())
    se = e.std() / (e.mean() * math.sqrt(len(e)))
    ess = e.sum() ** 2 / np.sum(e * e)
    laplace = -0.5 * chimin + 0.5 * k * math.log(2 * math.pi) + 0.5 * np.linalg.slogdet(cov)[1] - lnv
    return lnz, se, ess, -0.5 * chimin, laplace


def line_analytic():
    x, y, s = load("line.dat")
    a = np.vstack([np.ones_like(x), x]).T / s[:, None]
    b = y / s
    cov = np.linalg.inv(a.T @ a)
    th = cov @ a.T @ b
    chimin = np.sum((b - a @ th) ** 2)
    return -0.5 * chimin + math.log(2 * math.pi) + 0.5 * np.linalg.slogdet(cov)[1] - math.log(100.0 * 10.0)


if __name__ == "__main__":
    import sys
    print(f"# line analytic {line_analytic():.4f}")
    if len(sys.argv) > 1:  # the shipped peaks example: python3 importance_sampling.py lines.dat
        lnz, se, ess, lnlmax, laplace = evidence(sys.argv[1], 3, 3, [40.0, 0.3, -0.002] + START[3:])
        print(f"{sys.argv[1]} 3 {lnz:.4f} {se:.4f}  # ESS {ess:.0f}, ln Lmax {lnlmax:.4f}, Laplace {laplace:.4f}")
        sys.exit(0)
    for data, nlines in (("peaks3.dat", 3), ("peaks3.dat", 2), ("peaks2.dat", 2)):
        lnz, se, ess, lnlmax, laplace = evidence(data, nlines, 1, START)
        print(f"{data} {nlines} {lnz:.4f} {se:.4f}  # ESS {ess:.0f}, ln Lmax {lnlmax:.4f}, Laplace {laplace:.4f}")
