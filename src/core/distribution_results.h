// What the last distribution calculation found: the per-parameter estimates and
// the values of the chi-square distribution that stand for the model evidence.
// Owned by main and overwritten whole by each calculation (only `chiprob` keeps
// its previous value when the chi-square histogram is empty).
#pragma once

#include "core/capacity.h"
#include "core/table.h"

namespace zorvik {

struct DistributionResults {
  // Mean of the distribution of parameter i; −666.666 (single precision) when
  // none of its samples fell in a bin; 0 for a fixed parameter.
  Table<double, 1, kMaxPar> pmed{"pmed"};
  // Centre of the fullest bin (the lowest of equally full ones); 0 when none.
  Table<double, 1, kMaxPar> pmax{"pmax"};
  // One-sigma limits as parameter values (not as differences from pmax).
  Table<double, 1, kMaxPar> errdown{"errdown"}, errup{"errup"};

  double chimedia = 0.0;  // probability-weighted mean chi-square of the chi-square histogram
  double chiprob = 0.0;   // centre of the most probable chi-square bin
  double mlogev = 0.0;    // −log(evidence) = chimedia / 2

  // Set by every calculation; the command interpreter clears it each time it is
  // entered, and "covar" and "showpmin" need it.
  bool pdfready = false;
};

}  // namespace zorvik
