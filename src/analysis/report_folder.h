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

// The report of a run at its end (kind "run"), or of the β = 1 rung of an
// evidence ladder (kind "evidence", with the ladder), into the run's report
// folder; `table` is the recorder's whole-chain statistics (computed here when
// not given).
void write_run_report(const Run& run, ModelWorkspace& ws, const ChainRecorder& chain, Console& con,
                      const std::optional<ReportEvidence>& evidence = std::nullopt,
                      const ChainStatTable* table = nullptr);

// A sink for the evidence ladder that keeps the states of the rung running
// last (in the end the β = 1 rung) in `chain`, for the figures of the report.
LadderSink last_rung_recorder(ChainRecorder& chain);
// The ladder's rungs and ln Z for the report.
ReportEvidence report_evidence(const EvidenceEstimate& e);

// The report of pooled chains (--combine), in ./report.
void write_pooled_report(const ChainStatTable& table, const std::vector<FigureChain>& chains, Console& con);

}  // namespace zorvik
