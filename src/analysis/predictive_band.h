// The posterior-predictive band of each fitted data set: the model curve (the
// convolved one where the data set is convolved, evaluated exactly as the chain
// evaluates it) at states drawn evenly from the retained chain, and its 2.5,
// 16, 50, 84 and 97.5 % points at every x of the data. The band is that of the
// model curve, the uncertainty of the fit itself; the noise of a new measurement
// (σ of each point) is not added. With the best-state curve and the residuals
// it is what the figure of a data set shows (output/report_figures.h).
#pragma once

#include "core/run_tables.h"
#include "models/workspace.h"
#include "output/report_figures.h"
#include "sampler/chain_recorder.h"

namespace zorvik {

// At most this many states make a band: the 2.5 % point of 250 draws is known
// to about ±1 % in probability, finer than a figure shows, and a band costs 250
// evaluations of each data set.
inline constexpr int kBandStates = 250;

// The retained states of the recorder: those after the first burn_in steps.
long long first_retained_state(const ChainRecorder& chain, long long burn_in);

// The best state of a run: run.chain.parchimin (its χ² at index 0) when the
// chain knows a minimum, otherwise (the evidence ladder keeps none) the recorded
// state of the lowest χ², or the run's parameters when none is recorded.
ParameterCopy best_state(const Run& run, const ChainRecorder& chain);

// The figure of every fitted data set, its band from at most `max_states`
// states of the recorder after `burn_in` steps (none drawn when it has no state
// there: the band is then the best curve), its best curve at `best` (par
// indexed 1 … npar). The models are evaluated through `ws` and left as at the
// run's parameters.
std::vector<FigureSet> predictive_bands(const Run& run, ModelWorkspace& ws, const ChainRecorder& chain,
                                        const ParameterCopy& best, long long burn_in, int max_states = kBandStates);

// The recorder's states as one chain of the figures (χ², then the free parameters).
FigureChain figure_chain(const ChainRecorder& chain);

}  // namespace zorvik
