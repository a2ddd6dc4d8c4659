// The files of the distribution calculation (analysis/distributions.h computes
// their rows): a Gp file per free parameter, Glk.dat for the chi-square,
// parstat.dat with the estimates, and the summary appended to the run's output
// file at the end.
#pragma once

#include <string>
#include <vector>

#include "core/distribution_tables.h"
#include "core/run_tables.h"

namespace zorvik {

// A Gp file: the header "#par  prob  chi  chimin", then per bin x, prob, the
// mean chi-square and the chi-square profile (4es15.5).
void write_distribution(const std::string& path, const std::vector<DistributionRow>& rows);

// Glk.dat: the column names (5a15), then per bin holding samples chisq, prob,
// loglike, redchisq, integral (5es16.6).
void write_likelihood_distribution(const std::string& path, const std::vector<ChisqRow>& rows);

// parstat.dat: the number of data sets, the averaged and last chi-square, the
// last chi-square of each data set, then per parameter its name, the samples in
// its histogram, the minimum-chi-square value, the estimates of res and the
// difference of mean and most probable value, absolute and in percent.
void write_parstat(const std::string& path, const Run& run, const DistributionResults& res);

// Appends to the run's output file `path`: the chi-squares of data sets 1 and 2
// and the total, the parameters at the minimum, the evidence figures and the
// table of means and most probable values.
void append_evidence_summary(const std::string& path, const Run& run, const DistributionResults& res,
                             const EvidenceValues& evidence);

}  // namespace zorvik
