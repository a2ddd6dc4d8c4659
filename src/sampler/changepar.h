// One Metropolis step: propose, reflect at the limits, apply equality groups and
// order relations, score with compara and accept or restore.
#pragma once

#include "core/console.h"
#include "core/run_tables.h"
#include "models/workspace.h"

namespace zorvik {

struct AdaptiveMetropolis;

// The uniform numbers of one step, numbered from 1 as the step's formulas number
// them: rnums[k] is the k-th number of the block that starts at `first`.
class StepUniforms {
 public:
  explicit StepUniforms(const float* first) : first_(first) {}
  float operator[](int k) const { return first_[k - 1]; }

 private:
  const float* first_;
};

// rnums[1 … npar+2] are the step's uniform numbers (rnums[1] acceptance,
// rnums[2] the parameter, rnums[3] the step in one-parameter mode; rnums[i+1]
// the step of parameter i when all parameters move). On entry chain.chisq
// holds the chi-square of the current parameters.
// Writes params.par (the state moved to, or restored) and, of the chain, chisq,
// parold and chisqold, stepresult, ipchanged (one-parameter mode) and the step
// counters; settings and data are only read.
// With varpar 3 the adaptive proposal `am` moves every free parameter
// (adaptive.h); without one, varpar 3 moves nothing.
void changepar(const RunSettings& settings, const FitFunctions& data, FitParameters& params, ChainState& chain,
               ModelWorkspace& ws, StepUniforms rnums, Console& con, AdaptiveMetropolis* am = nullptr);

}  // namespace zorvik
