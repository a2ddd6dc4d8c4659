// Statistics of the states of one or several Markov chains: mean, standard
// deviation and quantiles of the draws, and for several chains the
// rank-normalised split-R̂ and the bulk effective sample size of
//
//   A. Vehtari, A. Gelman, D. Simpson, B. Carpenter and P.-C. Bürkner,
//   "Rank-normalization, folding, and localization: an improved R̂ for
//   assessing convergence of MCMC", Bayesian Analysis 16, 667 (2021).
//
// The tests hold it to an independent implementation of the published formulas.
#pragma once

#include <span>
#include <vector>

#include "core/chain_tables.h"

namespace zorvik {

// The quantile p of the sorted draws, interpolated linearly between order
// statistics: position h = (n − 1)·p, x[⌊h⌋] + (h − ⌊h⌋)(x[⌊h⌋+1] − x[⌊h⌋]).
double sorted_quantile(std::span<const double> sorted, double p);

// Mean, sd and the quantiles 2.5, 16, 50, 84, 97.5 % of the draws (at least one).
DrawSummary summarise_draws(std::span<const double> draws);

// Φ⁻¹(p), the standard normal quantile, for 0 < p < 1: P. J. Acklam's rational
// approximation (relative error 1.2e-9) refined by one Halley step on
// Φ(z) = erfc(−z/√2)/2, which brings it to a few units in the last place.
double normal_quantile(double p);

struct ConvergenceValues {
  double rhat = 0.0;      // max(bulk, tail) rank-normalised split-R̂
  double ess_bulk = 0.0;  // bulk effective sample size of all draws
};

// For M ≥ 1 chains of the same length n ≥ 4 (draws of one quantity):
//   split: every chain becomes its two halves of ⌊n/2⌋ draws (the middle draw
//     of an odd chain is dropped), 2M chains of N draws;
//   rank-normalise: z = Φ⁻¹((r − 3/8)/(S + 1/4)), r the rank of a draw among
//     all S = 2MN draws (ties: the average rank);
//   R̂(z) = √(var⁺/W), W the mean of the chains' variances, var⁺ = (N−1)/N·W + B/N,
//     B/N the variance of the chain means (denominator 2M − 1);
//   rhat = max(R̂(z of the draws), R̂(z of the folded draws |θ − median θ|));
//   bulk ESS = S/τ̂ on the z of the draws, τ̂ = −1 + 2 Σ_{k=0}^{K} P̂_k with
//     P̂_k = ρ̂_{2k} + ρ̂_{2k+1}, ρ̂_t = 1 − (W − mean_m s_m² ρ̂_{t,m})/var⁺,
//     summed while P̂_k > 0 and made non-increasing (Geyer's initial monotone
//     sequence; Geyer, Stat. Sci. 7, 473, 1992).
// Not a number when the draws do not vary within the chains.
ConvergenceValues rank_normalised_convergence(const std::vector<std::span<const double>>& chains);

}  // namespace zorvik
