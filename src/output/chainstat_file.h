// chainstat.dat, the whole-chain statistics (analysis/whole_chain.h computes
// them): one header line (the columns, the steps retained, the burn-in, the
// thinning, and for pooled chains the chains and the steps cut to a common
// length), then per free parameter and last for the chi-square (index 0, name
// "chisq") the row
//   i name mean sd q025 q16 q50 q84 q975 tau ess          (one chain)
//   i name mean sd q025 q16 q50 q84 q975 tau ess rhat     (pooled chains)
// with eight significant digits.
#pragma once

#include <string>

#include "core/chain_tables.h"

namespace zorvik {

// Writes the table to `path` (with the rhat column for pooled chains).
void write_chainstat(const std::string& path, const ChainStatTable& table);

}  // namespace zorvik
