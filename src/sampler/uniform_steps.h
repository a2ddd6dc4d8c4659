// The parameter file's own steps: one fitted parameter chosen at random
// (varpar 0) or every parameter (varpar 1) moves by a uniform step of the
// parameter's step kind; a value that leaves its limits is mirrored back.
//
// Step kinds: "n", "a", "al" add d; "p" multiplies by 1 + d; "l" by 10^d; any
// other kind leaves the value as it is. The mirror is taken in the scale in which
// the kind steps: v → 2·max − v (then 2·min − v) for the additive and
// proportional kinds, ln v → 2 ln max − ln v, i.e. v → max²/v (then min²/v), for
// kind "l". A step symmetric in log v thus stays symmetric at the limits and the
// chain keeps the prior uniform in log v that the kind states (a linear mirror
// maps a step up of log-length d to a step down of another log-length, and the
// chain then under-samples the decade next to the limit). A step longer than the
// whole range may leave the value outside after the two mirrors: a warning is
// written and the value is scored as it is.
#pragma once

#include "sampler/proposal.h"

namespace zorvik {

// varpar 0: d = 2·move·(rnums[3] − 0.5) for the parameter parfit(k),
// k = ⌊rnums[2]·nfit + 1⌋; the first equality group holding it follows it.
class OneParameterStep final : public Proposal {
 public:
  double propose(const RunSettings& settings, FitParameters& params, ChainState& chain, StepDraw& draw,
                 Console& con) override;
};

// varpar 1: d = (rnums[i+1] − 0.5)·move for every parameter i; then the
// masters of the equality groups win.
class AllParametersStep final : public Proposal {
 public:
  double propose(const RunSettings& settings, FitParameters& params, ChainState& chain, StepDraw& draw,
                 Console& con) override;
};

}  // namespace zorvik
