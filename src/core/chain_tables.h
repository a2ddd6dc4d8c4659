// The statistics of a whole chain (or of pooled chains) as the analysis computes
// them and the writers put them into chainstat.dat, the console and the report.
#pragma once

#include <string>
#include <vector>

namespace zorvik {

struct DrawSummary {
  double mean = 0.0, sd = 0.0;  // sd with the n − 1 denominator
  double q025 = 0.0, q16 = 0.0, q50 = 0.0, q84 = 0.0, q975 = 0.0;
};

struct ChainStatRow {
  int index = 0;     // parameter number; 0 the chi-square
  std::string name;  // blanks replaced by "_"
  DrawSummary draws;
  double tau = 0.0, ess = 0.0, rhat = 0.0;
};

struct ChainStatTable {
  int chains = 1;
  long long retained_steps = 0, burn_in = 0, thinning = 1;
  // Pooled chains: the steps after the burn-in dropped from the longer chains
  // to bring them to the length of the shortest (0: none).
  long long shortened = 0;
  std::vector<ChainStatRow> rows;  // free parameters in the order of parfit, then chisq
};

}  // namespace zorvik
