#include "sampler/chain_recorder.h"

#include <algorithm>

namespace zorvik {

void ChainRecorder::reset() {
  kept_ = 0;
  steps_ = 0;
  thin_ = 1;
  until_next_ = 1;
}

void ChainRecorder::begin_run(const FitParameters& params, long long ncycles) {
  std::vector<int> index{0};
  for (int j = 1; j <= params.nfit; ++j) index.push_back(params.parfit(j));
  if (index != index_) reset();
  if (steps_ == 0) {
    index_ = std::move(index);
    width_ = static_cast<int>(index_.size());
  }
  const long long limit = std::max<long long>(2, std::min(kMaxKept, kMaxKeptValues / width_) & ~1LL);
  // Room for the states this run adds, so that a short run allocates little.
  const long long wanted = std::min(limit, kept_ + std::max<long long>(ncycles, 0) / thin_ + 1);
  if (wanted > capacity_) {
    capacity_ = wanted + (wanted & 1);
    values_.resize(static_cast<size_t>(capacity_) * static_cast<size_t>(width_));
  }
}

// Keeps the states after steps 2m, 4m, … (the odd positions) and doubles m.
void ChainRecorder::halve() {
  const size_t w = static_cast<size_t>(width_);
  for (long long k = 1; k < kept_; k += 2)
    std::copy_n(values_.begin() + static_cast<long>(static_cast<size_t>(k) * w), w,
                values_.begin() + static_cast<long>(static_cast<size_t>(k / 2) * w));
  kept_ /= 2;
  thin_ *= 2;
  until_next_ = thin_ - steps_ % thin_;
  if (until_next_ == 0) until_next_ = thin_;
}

}  // namespace zorvik

namespace zorvik {

void ChainRecorder::save(StateWriter& out) const {
  out.put_vector(index_);
  for (const int v : {width_, walkers_}) out.put(v);
  for (const long long v : {capacity_, kept_, steps_, thin_, until_next_}) out.put(v);
  out.put_array(values_.data(), static_cast<size_t>(kept_) * static_cast<size_t>(width_));
}

void ChainRecorder::restore(StateReader& in) {
  in.get_vector(index_);
  for (int* v : {&width_, &walkers_}) in.get(*v);
  for (long long* v : {&capacity_, &kept_, &steps_, &thin_, &until_next_}) in.get(*v);
  if (width_ != static_cast<int>(index_.size()) || kept_ < 0 || kept_ > capacity_ || capacity_ > kMaxKept)
    in.refuse("its recorded chain is inconsistent");
  values_.assign(static_cast<size_t>(capacity_) * static_cast<size_t>(width_), 0.0);
  in.get_array(values_.data(), static_cast<size_t>(kept_) * static_cast<size_t>(width_));
}

}  // namespace zorvik
