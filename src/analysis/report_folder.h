// The report folder of a run, of pooled chains and of an evidence ladder: the
// summary of the run (RunReport), the figures' data and the page.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/whole_chain.h"
#include "core/console.h"
#include "core/run_report.h"
#include "core/run_tables.h"
#include "models/workspace.h"
#include "output/report_figures.h"
#include "sampler/chain_recorder.h"
#include "sampler/thermodynamic.h"

namespace zorvik {

// The report of a run (kind "run", or "evidence" for the β = 1 rung of a
// ladder) into the run's report folder: with `figures`, the figures of the
// states `chain` retained after `burn_in` steps and index.html; then, always,
// results.json, which names the figures.
void write_report(RunReport report, const Run& run, ModelWorkspace& ws, const ChainRecorder& chain,
                  long long burn_in, bool figures, Console& con);

// The prompt's "report": the report of the chain so far, figures included.
void write_current_report(const Run& run, ModelWorkspace& ws, const ChainRecorder& chain, Console& con);

// A sink for the evidence ladder that keeps the states of the rung running
// last (in the end the β = 1 rung) in `chain`, for the figures of the report.
LadderSink last_rung_recorder(ChainRecorder& chain);
// The ladder's rungs and ln Z for the report.
ReportEvidence report_evidence(const EvidenceEstimate& e);

// The report of pooled chains (--combine), in ./report: with `figures`, the
// traces and the corner plot of the pooled states and index.html; results.json always.
void write_pooled_report(RunReport report, const std::vector<FigureChain>& chains, bool figures, Console& con);

}  // namespace zorvik
