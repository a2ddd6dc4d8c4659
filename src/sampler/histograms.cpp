#include "sampler/histograms.h"

namespace zorvik {

void gparameter(int i, const RunSettings& s, const FitParameters& p, const ChainState& ch, HistogramStore& h) {
  const double chi = ch.chisq.base()[0];
  if (i == 0) {
    // Bin j = trunc(q) + 1 is kept for 2 ≤ j ≤ kMaxBins − 1, that is
    // 1 ≤ q < kMaxBins − 1: the first and last bins stay empty. A NaN fails
    // both comparisons.
    const double q = chi / s.incgchi;
    if (q >= 1.0 && q < kMaxBins - 1) {
      const int j = static_cast<int>(q) + 1;
      h.gchi.base()[j] += 1;
      if (j > h.maxigchi) h.maxigchi = j;
    }
    return;
  }
  check_index("gpar", 1, 1, kMaxPar, i);
  h.ngpar.base()[i] += 1;
  // Truncation toward zero: trunc(q) + 1 lies in 1 … kMaxBins for −1 < q < kMaxBins,
  // so a value less than one bin below parmin still lands in bin 1.
  const double q = (p.par.base()[i] - p.parmin.base()[i]) / p.incgg.base()[i];
  if (q > -1.0 && q < kMaxBins) {
    const int j = static_cast<int>(q) + 1;
    int& hi = h.maxigpar.base()[i];
    int& lo = h.minigpar.base()[i];
    if (j > hi) hi = j;
    if (j < lo) lo = j;
    h.gpar.row(i)[j] += 1;
    h.chipar.row(i)[j] += chi;
  }
}

void clear_accumulators(ChainState& ch, HistogramStore& h) {
  ch.npardown.fill(0);
  ch.paracc.fill(0.0);
  ch.stepcount.fill(0);
  ch.forget_minimum();
  h.ngpar.fill(0);
  h.maxigpar.fill(0);
  h.minigpar.fill(kNoFilledBin);
  h.gpar.fill(0);
  h.chipar.fill(0.0);
  h.gchi.fill(0);
  h.maxigchi = 0;
}

}  // namespace zorvik
