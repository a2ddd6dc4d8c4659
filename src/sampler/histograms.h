// The histograms of the chain, filled in the chain step: every accepted
// one-parameter move adds the moved parameter's value to that parameter's
// histogram and the total chi-square to the chi-square histogram. The
// distribution calculation (analysis/distributions.h) turns them into
// probability tables afterwards.
#pragma once

#include "core/run_tables.h"

namespace zorvik {

// Adds the current state to histogram i of `h`: i = 1 … 100 the value
// par(i), binned with width incgg(i) from parmin(i) (bin j = trunc((par −
// parmin)/incgg) + 1; the sample is always counted in ngpar(i), binned only
// when 1 ≤ j ≤ 10000); i = 0 the total chi-square chisq(0), binned with width
// incgchi (bin j = trunc(chisq(0)/incgchi) + 1, kept only when 2 ≤ j ≤ 9999).
// The chi-square sum of bin j of parameter i grows by chisq(0). Called in the
// chain step: no allocation, no I/O.
// Reads the settings (incgchi), the parameters and the chain's chisq(0);
// writes only the histograms.
void gparameter(int i, const RunSettings& s, const FitParameters& p, const ChainState& ch, HistogramStore& h);

// A new chain: the chain's acceptance counters and best state and every
// histogram start from empty.
void clear_accumulators(ChainState& ch, HistogramStore& h);

}  // namespace zorvik
