#include "sampler/chain_recorder.h"

#include <algorithm>
#include <cstring>

#include <unistd.h>

#include "core/errors.h"

namespace zorvik {

void ChainRecorder::reset() {
  ++halvings_;  // every position changes: a checkpoint's side file starts anew
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
  ++halvings_;
  until_next_ = thin_ - steps_ % thin_;
  if (until_next_ == 0) until_next_ = thin_;
}

}  // namespace zorvik

namespace zorvik {

void ChainRecorder::save(StateWriter& out, RecorderSpill& spill, SideAppend& side) const {
  out.put_vector(index_);
  for (const int v : {width_, walkers_}) out.put(v);
  for (const long long v : {capacity_, kept_, steps_, thin_, until_next_, halvings_}) out.put(v);
  spill.save(out, *this, side);
}

void ChainRecorder::restore(StateReader& in, RecorderSpill& spill) {
  in.get_vector(index_);
  for (int* v : {&width_, &walkers_}) in.get(*v);
  for (long long* v : {&capacity_, &kept_, &steps_, &thin_, &until_next_, &halvings_}) in.get(*v);
  if (width_ != static_cast<int>(index_.size()) || kept_ < 0 || kept_ > capacity_ || capacity_ > kMaxKept)
    in.refuse("its recorded chain is inconsistent");
  values_.assign(static_cast<size_t>(capacity_) * static_cast<size_t>(width_), 0.0);
  spill.restore(in, *this);
}

namespace {

std::string_view bytes_of(const double* v, size_t n) {
  return {reinterpret_cast<const char*>(v), n * sizeof(double)};
}

}  // namespace

void RecorderSpill::save(StateWriter& out, const ChainRecorder& chain, SideAppend& side) {
  const unsigned long long n = static_cast<unsigned long long>(chain.kept_) * static_cast<unsigned long long>(chain.width_);
  const bool anew = chain.halvings_ != halvings_ || n < values_;
  if (anew) {
    which_ = 1 - which_;
    values_ = 0;
    crc_ = 0;
    halvings_ = chain.halvings_;
  }
  const std::string path = side_path(which_);
  const std::string_view more = bytes_of(chain.values_.data() + values_, static_cast<size_t>(n - values_));
  side.path = path;
  side.bytes.assign(more);
  side.anew = anew;
  crc_ = crc32(more, crc_);
  values_ = n;
  rewritten_ = anew;
  out.put(which_);
  out.put(values_);
  out.put(crc_);
  out.need_prefix(path, static_cast<std::int64_t>(n * sizeof(double)), crc_);
}

void RecorderSpill::restore(StateReader& in, ChainRecorder& chain) {
  in.get(which_);
  in.get(values_);
  in.get(crc_);
  halvings_ = chain.halvings_;
  const unsigned long long n = static_cast<unsigned long long>(chain.kept_) * static_cast<unsigned long long>(chain.width_);
  if ((which_ != 0 && which_ != 1) || values_ != n) in.refuse("its recorded chain is inconsistent");
  const std::string path = side_path(which_);
  const size_t bytes = static_cast<size_t>(n) * sizeof(double);
  if (!read_side_file(path, reinterpret_cast<char*>(chain.values_.data()), bytes)) in.refuse("the side file " + path + " of its recorded chain is missing or too short");
  if (crc32(bytes_of(chain.values_.data(), static_cast<size_t>(n))) != crc_)
    in.refuse("the side file " + path + " of its recorded chain does not match it (the file is damaged)");
  if (::truncate(path.c_str(), static_cast<off_t>(bytes)) != 0)
    in.refuse("the side file " + path + " cannot be cut back to the checkpoint");
}

}  // namespace zorvik
