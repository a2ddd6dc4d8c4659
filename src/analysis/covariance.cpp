#include "analysis/covariance.h"

#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "analysis/chain_file.h"
#include "core/files.h"
#include "core/output_paths.h"
#include "core/record_format.h"
#include "core/table.h"

namespace zorvik {

namespace {

// At most this many chain records enter the sums.
constexpr long long kMaxCovarRecords = 100000000LL;

// The square root of |c| carrying the sign of c, so that the diagonal shows
// standard deviations and an off-diagonal entry the sign of the correlation. A
// covariance of exactly zero shows as 0 (its sign factor |c|/c would be 0/0);
// a covariance that is not a number (no records) stays not a number.
double signed_root(double c) {
  if (c == 0.0) return 0.0;
  return std::copysign(std::sqrt(std::abs(c)), c);
}

}  // namespace

void covar(const Run& run, Console& con) {
  const std::string path = chain_trace_path(run.settings.folder);
  if (!file_exists(path)) {
    con.line("The file does not exist!");
    return;
  }
  const int npar = run.settings.npar;
  const FitParameters& fp = run.params;
  const int nfit = fp.nfit;
  check_index("parfit", 1, 0, kMaxPar, nfit);
  int parfit[kMaxPar + 1];
  for (int a = 1; a <= nfit; ++a) {
    parfit[a] = fp.parfit(a);
    check_index("par", 1, 1, npar, parfit[a]);
  }
  const double* pmed = run.dist.pmed.base();

  // covarm(p, q): the sum over the records of (par(p) − pmed(p))·(par(q) − pmed(q)),
  // upper triangle in the order of parfit, then the mean.
  Table2<double, 1, kMaxPar, 1, kMaxPar> covarm{"covarm"};
  long long nrec = 0;
  {
    ChainFileReader reader(path, npar + 2);
    double v[kMaxPar + 2];
    double dev[kMaxPar + 1];
    while (nrec < kMaxCovarRecords && reader.next(v)) {
      ++nrec;
      for (int a = 1; a <= nfit; ++a) dev[a] = v[1 + parfit[a]] - pmed[parfit[a]];
      for (int a = 1; a <= nfit; ++a) {
        double* row = covarm.row(parfit[a]);
        for (int b = a; b <= nfit; ++b) row[parfit[b]] += dev[a] * dev[b];
      }
    }
  }
  for (int a = 1; a <= nfit; ++a)
    for (int b = a; b <= nfit; ++b) covarm(parfit[b], parfit[a]) = covarm(parfit[a], parfit[b]);

  con.line("Writing sqrt(COVARij)");
  con.line("COVARij=(PARi-Pmedi)*(PARj-Pmedj)");
  con.empty_line();

  std::vector<FmtValue> items;
  items.reserve(kMaxPar + 1);
  for (int a = 1; a <= nfit; ++a) items.emplace_back(parfit[a]);
  con.out() << record_format("(100i16)").format(items) << '\n';

  // With no record every mean is 0/0: not a number.
  const double n = static_cast<double>(nrec);
  for (int a = 1; a <= nfit; ++a) {
    const int p = parfit[a];
    items.clear();
    items.emplace_back(p);
    for (int b = 1; b <= nfit; ++b) {
      double& c = covarm(p, parfit[b]);
      c /= n;
      items.emplace_back(signed_root(c));
    }
    con.out() << record_format("(i5,100es16.5)").format(items) << '\n';
  }
}

}  // namespace zorvik
