// Autocovariance of a series by the fast Fourier transform, and the integrated
// autocorrelation time with Sokal's automatic window.
//
//   c(t)   = (1/n) Σ_{i=0}^{n−1−t} (x_i − x̄)(x_{i+t} − x̄)      t = 0 … n−1
//   ρ(t)   = c(t)/c(0)
//   τ(M)   = 1 + 2 Σ_{t=1}^{M} ρ(t)
//   τ_int  = τ(M*), M* the smallest M with M ≥ c·τ(M)   (c = 5)
//
// A. D. Sokal, "Monte Carlo methods in statistical mechanics: foundations and new
// algorithms", in Functional Integration (Cargèse 1996), Plenum 1997, sec. 3;
// the same estimator as J. Goodman and J. Weare, "Ensemble samplers with affine
// invariance", Commun. Appl. Math. Comput. Sci. 5, 65 (2010), and D.
// Foreman-Mackey, D. W. Hogg, D. Lang and J. Goodman, "emcee: The MCMC Hammer",
// PASP 125, 306 (2013). The window balances the bias of a truncated sum against
// the variance of a long one; the estimate is trustworthy when the series is
// longer than about 50 τ. The tests hold it to an independent estimate.
#pragma once

#include <span>
#include <vector>

namespace zorvik {

// c(0) … c(n−1) (the biased estimator: divided by n at every lag), computed with
// a radix-2 transform of length 2·2^⌈log2 n⌉, which makes the circular
// correlation a linear one.
std::vector<double> autocovariance(std::span<const double> x);

// τ_int of the series in units of its own index, with window constant c.
// Not a number for fewer than two values or a constant series.
double integrated_time(std::span<const double> x, double c = 5.0);

// τ_int of `walkers` series of one ensemble stored interleaved (value t of
// series w at x[t·walkers + w]), in units of t: Sokal's window on the mean of
// the series' normalised autocorrelation functions, as emcee's estimator takes
// it (Foreman-Mackey et al. 2013, above). Constant series are left out.
double integrated_time(std::span<const double> x, int walkers, double c = 5.0);

}  // namespace zorvik
