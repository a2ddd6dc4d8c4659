#include "output/chainstat_file.h"

#include <cmath>
#include <cstdio>

#include "core/files.h"

namespace zorvik {

namespace {

// Eight significant digits; "nan" where a value is not defined (the R-hat of a
// parameter that never moved).
std::string number(double v) {
  if (std::isnan(v)) return "nan";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.8g", v);
  return buf;
}

}  // namespace

void write_chainstat(const std::string& path, const ChainStatTable& t) {
  const bool pooled = t.chains > 1;
  AtomicFile file(path);
  std::ostream& out = file.stream();
  out << "# i name mean sd q025 q16 q50 q84 q975 tau ess" << (pooled ? " rhat" : "") << " | ";
  if (pooled) out << "chains " << t.chains << ' ';
  out << "retained_steps " << t.retained_steps << " burn_in " << t.burn_in << " thinning " << t.thinning;
  if (t.shortened > 0) out << " shortened " << t.shortened;
  out << '\n';
  for (const ChainStatRow& r : t.rows) {
    const DrawSummary& d = r.draws;
    out << r.index << ' ' << r.name;
    for (double v : {d.mean, d.sd, d.q025, d.q16, d.q50, d.q84, d.q975, r.tau, r.ess}) out << ' ' << number(v);
    if (pooled) out << ' ' << number(r.rhat);
    out << '\n';
  }
  file.commit();
}

}  // namespace zorvik
