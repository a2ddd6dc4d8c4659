// The end of a run: distributions, the best state found, the final parameter
// file, the evidence summary and the result listings.
#pragma once

#include "core/console.h"
#include "core/run_tables.h"
#include "models/workspace.h"
#include "sampler/chain_recorder.h"

namespace zorvik {

// Reads every table; writes chain (the means of the accepted values, the
// chi-squares at the best state), params (par set to the best state, the contour
// steps), dist (the distributions and estimates). Settings, data and histograms
// are only read.
void end_of_run(Run& run, ModelWorkspace& ws, Console& con);

// After a run that an interrupt or a termination signal stopped
// (core/interrupt.h): writes chainstat.dat for the chain recorded so far and
// prints its console block (chain.dat has its states already), and ends the
// program with FatalError of status 128 + the signal's number, naming the
// signal, the step and the files. Nothing when no signal came.
void stop_if_signalled(const Run& run, const ChainRecorder& chain, Console& con);

}  // namespace zorvik
