#include "output/evidence_file.h"

#include <cstdio>

#include "core/files.h"

namespace zorvik {

namespace {

std::string fixed4(double v) {
  char b[64];
  std::snprintf(b, sizeof b, "%.4f", v);
  return b;
}

constexpr const char* kConstantsNote =
    "ln L = -1/2 sum of the chi-squares of the fitted data sets, without the constants sum ln(sigma*sqrt(2*pi)): "
    "compare evidences only between models fitted to the same data";

}  // namespace

std::string evidence_line(const EvidenceEstimate& e) {
  return "log(evidence) by thermodynamic integration: " + fixed4(e.ti) + " +- " + fixed4(e.error);
}

void write_evidence(const std::string& path, const EvidenceEstimate& e, Console& con) {
  // The result on the console first: a file that cannot be written must not
  // take the result of the whole ladder with it.
  con.empty_line();
  con.out() << ' ' << kConstantsNote << '\n';
  con.out() << " log(evidence) by stepping stone: " << fixed4(e.stepping_stone)
            << "; Monte-Carlo error of the integral: " << fixed4(e.ti_mc_error) << '\n';
  con.out() << evidence_line(e) << '\n';
  con.out().flush();

  AtomicFile file(path);
  std::ostream& out = file.stream();
  out << "# " << kConstantsNote << '\n';
  out << "# prior: uniform between the limits (step kinds n, a, al), uniform in the logarithm (kind l)\n";
  out << "# beta mean_lnL stderr_lnL steps acceptance\n";
  char b[160];
  for (const LadderRung& r : e.rungs) {
    std::snprintf(b, sizeof b, "%.10e %.10e %.4e %d %.4f\n", r.beta, r.mean_lnl, r.se_lnl, r.steps, r.acceptance);
    out << b;
  }
  out << "# integral of <ln L> over beta: " << fixed4(e.ti) << ", Monte-Carlo error " << fixed4(e.ti_mc_error)
      << '\n';
  out << "# stepping stone: " << fixed4(e.stepping_stone) << '\n';
  out << "# steps: " << e.steps << '\n';
  out << evidence_line(e) << '\n';
  file.commit();
}

}  // namespace zorvik
