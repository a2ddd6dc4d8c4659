#!/usr/bin/python3
"""Reference values for the whole-chain statistics, computed independently of the
program with numpy, scipy and emcee, and written with the chains they belong to
into chain_stats_reference.txt (read by tests/analysis/chain_stats_test.cpp).

  rhat      max of the rank-normalised split-R-hat of the draws and of the folded
            draws |x - median|, and
  ess_bulk  the bulk effective sample size (rank-normalised split chains, Geyer's
            initial monotone sequence), both as published in
            Vehtari, Gelman, Simpson, Carpenter and Buerkner, "Rank-normalization,
            folding, and localization: an improved R-hat for assessing convergence
            of MCMC", Bayesian Analysis 16, 667 (2021), eqs. (1)-(4), (10) and
            section 3;
  tau       emcee.autocorr.integrated_time (Sokal's window, c = 5) of chain 1.

Run:  /usr/bin/python3 tests/data/chain_stats_reference.py > tests/data/chain_stats_reference.txt
"""
import numpy as np
import scipy.stats
import emcee


def split(chains):
    n = chains.shape[1] // 2
    return np.concatenate([chains[:, :n], chains[:, -n:]])


def rank_normalise(s):
    r = scipy.stats.rankdata(s, method="average").reshape(s.shape)
    return scipy.stats.norm.ppf((r - 3.0 / 8.0) / (s.size + 1.0 / 4.0))


def rhat_of(z):
    n = z.shape[1]
    w = z.var(axis=1, ddof=1).mean()
    b_over_n = z.mean(axis=1).var(ddof=1)
    var_plus = (n - 1) / n * w + b_over_n
    return np.sqrt(var_plus / w)


def ess_of(z):
    m, n = z.shape
    s2 = z.var(axis=1, ddof=1)
    w = s2.mean()
    var_plus = (n - 1) / n * w + z.mean(axis=1).var(ddof=1)
    rho_chain = np.array([emcee.autocorr.function_1d(c) for c in z])  # biased autocorrelation
    rho = 1.0 - (w - (s2[:, None] * rho_chain).mean(axis=0)) / var_plus
    total, previous = 0.0, np.inf
    for t in range(0, n - 1, 2):
        p = rho[t] + rho[t + 1]
        if not p > 0:
            break
        p = min(p, previous)
        previous = p
        total += p
    return m * n / (-1.0 + 2.0 * total)


def convergence(chains):
    s = split(chains)
    folded = np.abs(s - np.median(s))
    return max(rhat_of(rank_normalise(s)), rhat_of(rank_normalise(folded))), ess_of(rank_normalise(s))


def ar1(rng, m, n, phi, shift=None, scale=None):
    x = np.empty((m, n))
    for k in range(m):
        e = rng.standard_normal(n)
        x[k, 0] = e[0] / np.sqrt(1 - phi * phi)
        for i in range(1, n):
            x[k, i] = phi * x[k, i - 1] + e[i]
    if shift is not None:
        x += np.asarray(shift)[:, None]
    if scale is not None:
        x *= np.asarray(scale)[:, None]
    return x


def metropolis(rng, m, n, step):
    """A random walk on N(0, 1) that repeats its state on rejection (ties)."""
    x = np.empty((m, n))
    for k in range(m):
        cur = rng.standard_normal()
        for i in range(n):
            prop = cur + step * (2 * rng.random() - 1)
            if np.log(rng.random()) < 0.5 * (cur * cur - prop * prop):
                cur = prop
            x[k, i] = cur
    return x


def main():
    rng = np.random.default_rng(20210101)
    cases = [
        ("mixed_ar1", ar1(rng, 4, 1000, 0.9)),
        ("shifted_chain", ar1(rng, 4, 800, 0.5, shift=[0, 0, 0, 0.6])),
        ("wider_chain", ar1(rng, 4, 800, 0.3, scale=[1, 1, 1, 2.5])),
        ("sticky_odd_length", metropolis(rng, 3, 1001, 2.5)),
        ("long_tau", ar1(rng, 2, 4000, 0.99)),
    ]
    print("# case name chains draws; then rhat ess_bulk tau_chain1; then one line of draws per chain")
    for name, x in cases:
        rhat, ess = convergence(x)
        tau = emcee.autocorr.integrated_time(x[0], c=5, quiet=True)[0]
        print("case", name, x.shape[0], x.shape[1])
        print(repr(float(rhat)), repr(float(ess)), repr(float(tau)))
        for c in x:
            print(" ".join(repr(float(v)) for v in c))


if __name__ == "__main__":
    main()
