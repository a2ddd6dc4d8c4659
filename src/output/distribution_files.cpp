#include "output/distribution_files.h"

#include <fstream>
#include <ostream>

#include "core/errors.h"
#include "core/files.h"
#include "core/free_format.h"
#include "core/record_format.h"

namespace zorvik {

void write_distribution(const std::string& path, const std::vector<DistributionRow>& rows) {
  AtomicFile file(path);
  std::ostream& out = file.stream();
  write_free(out, "#par  prob  chi  chimin");
  for (const DistributionRow& r : rows) write_record(out, "(4es15.5)", r.x, r.prob, r.chi_mean, r.chi_profile);
  file.commit();
}

void write_likelihood_distribution(const std::string& path, const std::vector<ChisqRow>& rows) {
  AtomicFile file(path);
  std::ostream& out = file.stream();
  write_record(out, "(5a15)", "#chisq", "prob", "loglike", "redchisq", "integral");
  for (const ChisqRow& r : rows) write_record(out, "(5es16.6)", r.chisq, r.prob, r.loglike, r.redchisq, r.integral);
  file.commit();
}

void write_parstat(const std::string& path, const Run& run, const DistributionResults& res) {
  const RunSettings& s = run.settings;
  const FitParameters& fp = run.params;
  const ChainState& c = run.chain;
  AtomicFile file(path);
  std::ostream& out = file.stream();
  write_free(out, "#Nfunctions:", s.nfunc);
  write_record(out, "(i3,2x,2es20.8,a)", 0, res.chimedia, c.chisq(0), "  !averaged chisq (from gpar, last value)");
  for (int k = 1; k <= s.nfunc; ++k) write_record(out, "(i3,2x,es20.8)", k, c.chisq(k));
  write_record(out, "(a7,a6,7a16)", "Parameter", "Nchanges", "Parminchisq", "Media", "highprob", "errdown",
               "errup", "diff", "reldiff");
  for (int i = 1; i <= s.npar; ++i) {
    const double pmed = res.pmed(i), pmax = res.pmax(i);
    write_record(out, "(a5,2x,i6,7(x,es15.7))", fp.namepar(i), run.hist.ngpar(i), c.parchimin(i), pmed, pmax,
                 res.errdown(i), res.errup(i), pmed - pmax, relative_difference(pmed, pmax));
  }
  file.commit();
}

namespace {

constexpr const char* kStars45 = "*********************************************";
constexpr const char* kStars49 = "*************************************************";

void write_evidence_summary(std::ostream& out, const Run& run, const DistributionResults& res,
                            const EvidenceValues& evidence) {
  const FitParameters& fp = run.params;
  const ChainState& c = run.chain;
  const int npar = run.settings.npar;
  // Data sets 1 and 2 and the total, whatever the number of data sets.
  write_free(out, kStars45);
  write_free(out, "chisq1 chisq2 chisqTOT");
  write_free(out, c.chisq(1), c.chisq(2), c.chisq(0));
  write_free(out, kStars45);
  write_free(out, "Parameters giving the minimum chisquare");
  write_free(out, "Minimum chisquare:", c.parchimin(0));
  for (int i = 1; i <= npar; ++i) write_free(out, "par,minpar:  ", fp.namepar(i), c.parchimin(i));
  write_free(out, kStars49);
  evidence_records(evidence,
                   [&out](const char* label, double value) { write_record(out, "(a40,es15.5)", label, value); });
  write_free(out, kStars45);
  write_free(out, "N parameter  parmed parPmax");
  for (int i = 1; i <= npar; ++i)
    write_record(out, "(i3,2x,a12,2es15.6)", i, fp.namepar(i), res.pmed(i), res.pmax(i));
  write_free(out, kStars45);
  write_free(out, kStars45);
}

}  // namespace

void append_evidence_summary(const std::string& path, const Run& run, const DistributionResults& res,
                             const EvidenceValues& evidence) {
  std::ofstream out = open_output(path, true);
  write_evidence_summary(out, run, res, evidence);
  out.close();
  if (!out) throw FatalError("Cannot write file \"" + path + "\"");
}

}  // namespace zorvik
