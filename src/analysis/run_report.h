// The summary of a run for the report folder (core/run_report.h), filled from
// what the run leaves: the settings, the whole-chain statistics, the best state
// and its chi-squares, the polished optimum, the evidence ladder, and a verdict
// on convergence in words.
//
// The information criteria are those of Gaussian errors, up to a constant that
// is the same for every model of the same data: with χ² = −2 ln L_max + const,
//   AIC = χ² + 2k        (H. Akaike, IEEE Trans. Autom. Control 19 (1974) 716),
//   BIC = χ² + k ln n    (G. Schwarz, Ann. Statist. 6 (1978) 461),
// k the free parameters that move, n the points that enter the chi-square.
#pragma once

#include <string>
#include <vector>

#include "analysis/whole_chain.h"
#include "core/run_report.h"
#include "core/run_tables.h"
#include "models/workspace.h"
#include "sampler/thermodynamic.h"

namespace zorvik {

// An ordinary run after its end (the parameters at the best state, the chain's
// chi-squares those of that state): the table of the whole chain and the best
// state polished (ws is the scratch of its evaluations).
RunReport make_run_report(const Run& run, ModelWorkspace& ws, const ChainStatTable& table);

// --combine: the pooled table, the parameter file named by the chains and the
// lowest state among them (chi-square, then the parameters in table order).
RunReport make_combined_report(const ChainStatTable& table, const std::string& parameter_file,
                               const std::vector<double>& lowest);

// --evidence: the ladder, and the data sets' chi-squares at the state where
// the ladder ended (the last of the β = 1 rung), polished as the run's best.
// `rung` is the whole-chain table of the β = 1 rung (its parameters' rows).
RunReport make_evidence_report(const Run& run, ModelWorkspace& ws, const EvidenceEstimate& e,
                               const ChainStatTable& rung);

// The verdict on convergence in one line of words: every parameter's chain
// longer than kMinTausPerChain τ (one chain), every R̂ at most kRhatLimit
// (pooled chains); otherwise "run longer" and the parameters that fail.
std::string convergence_verdict(const ChainStatTable& table);

}  // namespace zorvik
