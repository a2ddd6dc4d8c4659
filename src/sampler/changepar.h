// One Metropolis step: keep the state, let a proposal move it, apply the order
// relations, score with compara and accept or restore. The one driver of every
// kind of step (proposal.h).
#pragma once

#include "core/console.h"
#include "core/run_tables.h"
#include "models/workspace.h"
#include "sampler/proposal.h"

namespace zorvik {

// One step with the given proposal: keep the state, propose, apply the order
// relations, evaluate the data sets that moved, accept with probability
// min(1, exp(−Δχ²/(2T))·h) or restore, and count the outcome: chidown when the
// chi-square went down, nochange when it stayed or the step was rejected, chiup
// when it went up and was accepted. A proposal whose chi-square is not a finite
// number is rejected. On entry chain.chisq holds the chi-square of params.par.
// Writes params.par and, of the chain, chisq, parold, chisqold, stepresult and
// the step counters (and ipchanged through the proposal); settings and data are
// only read. `prop` nullptr is the mode that moves nothing.
void changepar(const RunSettings& settings, const FitFunctions& data, FitParameters& params, ChainState& chain,
               ModelWorkspace& ws, Proposal* prop, StepDraw& draw, Console& con);

// The step of the parameter file's own modes, which need no state and no more
// numbers than their block rnums[1 … npar+2] (rnums[1] acceptance, rnums[2] the
// parameter, rnums[3] the step in one-parameter mode; rnums[i+1] the step of
// parameter i when all parameters move): varpar 0 one parameter, 1 all
// parameters, any other value nothing.
void changepar(const RunSettings& settings, const FitFunctions& data, FitParameters& params, ChainState& chain,
               ModelWorkspace& ws, StepUniforms rnums, Console& con);

// Equality groups, the master's value wins (the modes that move every parameter).
void groups_master_wins(FitParameters& p);

// Order relations par(a) >= par(b), once each and in order: a value of a below
// that of b is mirrored about it (every step, after its proposal).
void order_relations(FitParameters& p);

}  // namespace zorvik
