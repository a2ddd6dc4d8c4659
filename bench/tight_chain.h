// The one-parameter Metropolis chain of the straightforward baselines, shared by
// the benchmark programs: a randomly chosen free parameter moves by a uniform
// step of half-width move, is mirrored back at the limits, and the new state is
// taken with probability min(1, exp(−Δχ²/2T)). A Problem provides par, move, lo,
// hi, temp and free_pars (1-based, entry 0 unused); Chisq(pb, p) is the
// baseline's own full chi-square.
#pragma once

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

template <class Problem, class Chisq>
struct TightChain {
  const Problem& pb;
  Chisq chisq_of;
  std::vector<double> p;
  double chi;
  long accepted = 0;

  explicit TightChain(const Problem& problem, Chisq c = Chisq{})
      : pb(problem), chisq_of(std::move(c)), p(problem.par) {
    chi = chisq_of(pb, p.data());
  }

  void step(const float* r) {
    const int nfit = static_cast<int>(pb.free_pars.size()) - 1;
    const int ip = pb.free_pars[static_cast<int>(static_cast<double>(r[2]) * nfit + 1.0)];
    const double old = p[ip];
    double v = old + 2.0 * pb.move[ip] * (static_cast<double>(r[3]) - 0.5);
    if (v > pb.hi[ip]) v = 2.0 * pb.hi[ip] - v;
    if (v < pb.lo[ip]) v = 2.0 * pb.lo[ip] - v;
    p[ip] = v;
    const double chi_new = chisq_of(pb, p.data());
    benchmark::DoNotOptimize(chi_new);
    bool accept;
    if (!std::isfinite(chi_new))
      accept = false;
    else if (chi_new <= chi)
      accept = true;
    else
      accept = static_cast<double>(r[1]) < std::exp(-(chi_new - chi) / (2.0 * pb.temp));
    if (accept) {
      chi = chi_new;
      ++accepted;
    } else {
      p[ip] = old;
    }
  }
};
