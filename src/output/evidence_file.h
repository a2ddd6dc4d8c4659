// The evidence of the thermodynamic-integration ladder: "evidence.dat", one row
// per rung and the estimate as its last line, and the same estimate on the
// console.
#pragma once

#include <string>

#include "core/console.h"
#include "sampler/thermodynamic.h"

namespace zorvik {

// "log(evidence) by thermodynamic integration: <value> +- <error>".
std::string evidence_line(const EvidenceEstimate& e);

// Prints the note on the likelihood's constants, the stepping-stone estimate
// and the evidence line, then replaces `path` atomically (header lines starting
// with "#", then per rung β, ⟨ln L⟩, its standard error, steps, accepted
// fraction; the stepping-stone and Monte-Carlo figures as comments; the
// evidence line last): a file that cannot be written leaves the previous one
// whole, and the result is on the console already.
void write_evidence(const std::string& path, const EvidenceEstimate& e, Console& con);

}  // namespace zorvik
