#include "sampler/ensemble.h"

#include <algorithm>
#include <cmath>

#include "models/catalogue.h"
#include "sampler/changepar.h"

namespace zorvik {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr size_t kChisqSlots = static_cast<size_t>(kMaxFunc) + 1;

}  // namespace

// A walker other than k from a uniform number r in (0, 1), all equally likely.
int other_walker(int k, int walkers, float r) {
  const int j = std::min(static_cast<int>(static_cast<double>(r) * (walkers - 1)), walkers - 2);
  return j >= k ? j + 1 : j;
}

// A walker other than k and a (a ≠ k), all equally likely.
int third_walker(int k, int a, int walkers, float r) {
  int j = std::min(static_cast<int>(static_cast<double>(r) * (walkers - 2)), walkers - 3);
  const int lo = std::min(k, a), hi = std::max(k, a);
  if (j >= lo) ++j;
  if (j >= hi) ++j;
  return j;
}

void EnsembleMove::find_blocks(const Run& run) {
  blocks_.clear();
  std::vector<int> readers(static_cast<size_t>(c_.d), 0), owner(static_cast<size_t>(c_.d), 0);
  for (int i = 1; i <= run.settings.nfunc; ++i) {
    if (!is_fitted(run.data.opfit(i))) continue;
    const ParamSet reads = model_reads(run.data.opfit(i), i);
    for (int c = 0; c < c_.d; ++c)
      if (reads.test(static_cast<size_t>(c_.index[static_cast<size_t>(c)]))) ++readers[static_cast<size_t>(c)], owner[static_cast<size_t>(c)] = i;
  }
  for (int i = 1; i <= run.settings.nfunc; ++i) {
    std::vector<int> b;
    for (int c = 0; c < c_.d; ++c)
      if (readers[static_cast<size_t>(c)] == 1 && owner[static_cast<size_t>(c)] == i) b.push_back(c);
    if (!b.empty() && static_cast<int>(b.size()) < c_.d) blocks_.push_back(b);
  }
  block_share_ = blocks_.empty() ? 0.0 : kBlockShare;
}

double EnsembleMove::evolve_block(FitParameters& p, StepDraw& draw) {
  const int k = current_;
  const StepUniforms g = draw.more();  // g[1] the block, g[2], g[3] the walkers
  const size_t nb = blocks_.size();
  const std::vector<int>& b = blocks_[std::min(static_cast<size_t>(static_cast<double>(g[1]) * static_cast<double>(nb)), nb - 1)];
  const int a = other_walker(k, walkers_, g[2]);
  const int w = third_walker(k, a, walkers_, g[3]);
  const double gamma = kDifferentialScale / std::sqrt(2.0 * static_cast<double>(b.size()));
  const double* uk = u_of(k);
  const double* ua = u_of(a);
  const double* ub = u_of(w);
  // Only the block's values are written: the others keep their bits, so that
  // only its data set is evaluated again.
  double log_h = 0.0;
  for (const int c : b) {
    const size_t cc = static_cast<size_t>(c);
    const double u = uk[c] + gamma * (ua[c] - ub[c]);
    if (c_.hastings[cc]) log_h += u - uk[c];
    if (!place_one(p, c, u)) return -HUGE_VAL;
  }
  groups_master_wins(p);
  return log_h;
}

void EnsembleMove::start(const Run& run) {
  c_.set(run.params);
  find_blocks(run);
  npar_ = run.settings.npar;
  walkers_ = std::max(kMinWalkers, 2 * c_.d + (c_.d % 2));
  const size_t np = static_cast<size_t>(npar_) + 1, d = static_cast<size_t>(c_.d), w = static_cast<size_t>(walkers_);
  par_.assign(w * np, 0.0);
  chisq_.assign(w * kChisqSlots, 0.0);
  u_.assign(w * d, 0.0);
  unew_.assign(d, 0.0);
  z_.assign(d + 1, 0.0);
  // Every walker starts as the run's state; walker w > 0 is moved off it in
  // step w of the warm-up.
  const double* par = run.params.par.base();
  const double* chisq = run.chain.chisq.base();
  for (size_t k = 0; k < w; ++k) {
    std::copy(par, par + np, par_.data() + k * np);
    std::copy(chisq, chisq + kChisqSlots, chisq_.data() + k * kChisqSlots);
    for (int c = 0; c < c_.d; ++c) u_[k * d + static_cast<size_t>(c)] = c_.coordinate(c, par[c_.index[static_cast<size_t>(c)]]);
  }
  current_ = 0;
  started_ = c_.d > 0 ? 1 : walkers_;
}

bool EnsembleMove::begin_step(FitParameters& params, ChainState& chain) {
  if (c_.d == 0) return false;
  current_ = current_ + 1 == walkers_ ? 0 : current_ + 1;
  const size_t np = static_cast<size_t>(npar_) + 1;
  std::copy(par_.data() + static_cast<size_t>(current_) * np, par_.data() + (static_cast<size_t>(current_) + 1) * np,
            params.par.base());
  const double* c = chisq_.data() + static_cast<size_t>(current_) * kChisqSlots;
  std::copy(c, c + kChisqSlots, chain.chisq.base());
  return true;
}

bool EnsembleMove::place(FitParameters& p, const double* unew) {
  for (int c = 0; c < c_.d; ++c)
    if (!place_one(p, c, unew[c])) return false;
  groups_master_wins(p);
  return true;
}

bool EnsembleMove::place_one(FitParameters& p, int c, double unew) {
  double* par = p.par.base();
  const int i = c_.index[static_cast<size_t>(c)];
  const double v = c_.value(c, unew, par[i]);
  if (v == 0.0 && c_.logscale[static_cast<size_t>(c)]) return false;
  if (!Coordinates::inside(p, i, v)) return false;
  par[i] = v;
  return true;
}

double EnsembleMove::stretch(FitParameters& p, StepDraw& draw) {
  const int k = current_;
  const StepUniforms g = draw.more();  // g[1] the walker, g[2] the stretch
  const int j = other_walker(k, walkers_, g[1]);
  // z = ((a − 1)·r + 1)²/a has the density ∝ 1/√z on [1/a, a].
  const double r = static_cast<double>(g[2]);
  const double z = ((kStretch - 1.0) * r + 1.0) * ((kStretch - 1.0) * r + 1.0) / kStretch;
  const double* uk = u_of(k);
  const double* uj = u_of(j);
  double log_h = (c_.d - 1) * std::log(z);
  for (int c = 0; c < c_.d; ++c) {
    unew_[static_cast<size_t>(c)] = uj[c] + z * (uk[c] - uj[c]);
    if (c_.hastings[static_cast<size_t>(c)]) log_h += unew_[static_cast<size_t>(c)] - uk[c];
  }
  return place(p, unew_.data()) ? log_h : -HUGE_VAL;
}

double EnsembleMove::evolve(FitParameters& p, StepDraw& draw) {
  const int k = current_;
  const StepUniforms pick = draw.more();  // pick[1], pick[2] the walkers
  const int a = other_walker(k, walkers_, pick[1]);
  const int b = third_walker(k, a, walkers_, pick[2]);
  const StepUniforms g = draw.more();  // g[1 … d+1] the noise, g[d+2] the choice of γ
  const double gamma = static_cast<double>(g[c_.d + 2]) < kJumpShare
                           ? 1.0
                           : kDifferentialScale / std::sqrt(2.0 * static_cast<double>(c_.d));
  for (int c = 0; c < c_.d; c += 2) {
    const double rad = std::sqrt(-2.0 * std::log(static_cast<double>(g[c + 1])));
    z_[static_cast<size_t>(c)] = rad * std::cos(kTwoPi * static_cast<double>(g[c + 2]));
    z_[static_cast<size_t>(c) + 1] = rad * std::sin(kTwoPi * static_cast<double>(g[c + 2]));
  }
  const double* uk = u_of(k);
  const double* ua = u_of(a);
  const double* ub = u_of(b);
  double log_h = 0.0;
  for (int c = 0; c < c_.d; ++c) {
    const size_t cc = static_cast<size_t>(c);
    unew_[cc] = uk[c] + gamma * (ua[c] - ub[c]) + kNoise * c_.width[cc] * z_[cc];
    if (c_.hastings[cc]) log_h += unew_[cc] - uk[c];
  }
  return place(p, unew_.data()) ? log_h : -HUGE_VAL;
}

double EnsembleMove::propose(const RunSettings&, FitParameters& p, ChainState& chain, StepDraw& draw, Console&) {
  chain.ipchanged = 0;
  if (c_.d == 0) return 0.0;
  if (started_ < walkers_ && current_ != 0) {
    // Warm-up: walker `current_` leaves the start by a Gaussian step of the
    // start steps, drawn again (at most 100 times) while outside the limits.
    const double* u0 = u_of(0);
    for (int attempt = 0; attempt < 100; ++attempt) {
      const StepUniforms g = draw.more();
      for (int c = 0; c < c_.d; c += 2) {
        const double rad = std::sqrt(-2.0 * std::log(static_cast<double>(g[c + 1])));
        z_[static_cast<size_t>(c)] = rad * std::cos(kTwoPi * static_cast<double>(g[c + 2]));
        z_[static_cast<size_t>(c) + 1] = rad * std::sin(kTwoPi * static_cast<double>(g[c + 2]));
      }
      for (int c = 0; c < c_.d; ++c)
        unew_[static_cast<size_t>(c)] = u0[c] + c_.sd0[static_cast<size_t>(c)] * z_[static_cast<size_t>(c)];
      if (place(p, unew_.data())) return HUGE_VAL;  // taken whenever its chi-square is finite
    }
    return -HUGE_VAL;
  }
  const double r = static_cast<double>(draw.rnums[2]);
  if (r < block_share_) return evolve_block(p, draw);
  const double rr = (r - block_share_) / (1.0 - block_share_);
  return rr < kStretchShare ? stretch(p, draw) : evolve(p, draw);
}

void EnsembleMove::observe(const FitParameters& params, const ChainState& chain, double) {
  if (c_.d == 0) return;
  const int k = current_;
  const size_t np = static_cast<size_t>(npar_) + 1;
  const double* par = params.par.base();
  std::copy(par, par + np, par_.data() + static_cast<size_t>(k) * np);
  std::copy(chain.chisq.base(), chain.chisq.base() + kChisqSlots, chisq_.data() + static_cast<size_t>(k) * kChisqSlots);
  double* u = u_of(k);
  for (int c = 0; c < c_.d; ++c) u[c] = c_.coordinate(c, par[c_.index[static_cast<size_t>(c)]]);
  if (started_ < walkers_ && k != 0) ++started_;
}

}  // namespace zorvik

namespace zorvik {

void EnsembleMove::save(StateWriter& out) const {
  c_.save_coordinates(out);
  out.put<std::uint64_t>(blocks_.size());
  for (const std::vector<int>& b : blocks_) out.put_vector(b);
  out.put(block_share_);
  for (const int v : {npar_, walkers_, current_}) out.put(v);
  out.put(started_);
  for (const auto* v : {&par_, &chisq_, &u_, &unew_, &z_}) out.put_vector(*v);
}

void EnsembleMove::restore(StateReader& in) {
  c_.restore_coordinates(in);
  blocks_.resize(in.count(sizeof(std::uint64_t)));
  for (std::vector<int>& b : blocks_) in.get_vector(b);
  in.get(block_share_);
  for (int* v : {&npar_, &walkers_, &current_}) in.get(*v);
  in.get(started_);
  for (auto* v : {&par_, &chisq_, &u_, &unew_, &z_}) in.get_vector(*v);
}

}  // namespace zorvik
