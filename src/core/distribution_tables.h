// The tables that the distribution and contour calculations compute and the
// writers of output/ put into files: one row per histogram bin of a parameter
// (the Gp files) and of the chi-square (Glk.dat), a map over a grid of two
// parameters (the chi-square maps and the bivariate probability density), and
// the evidence figures of the run's summary.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

namespace zorvik {

// One filled bin of a parameter's histogram.
struct DistributionRow {
  double x = 0.0;           // the bin centre
  double prob = 0.0;        // the fraction of the parameter's samples in the bin
  double chi_mean = 0.0;    // the mean chi-square of those samples (0/0 for an empty bin)
  double chi_profile = 0.0; // the chi-square at the best state with the parameter at x
};

// One bin of the chi-square histogram that holds samples.
struct ChisqRow {
  double chisq = 0.0;     // the bin centre
  double prob = 0.0;      // its fraction of the samples
  double loglike = 0.0;   // −chisq/2
  double redchisq = 0.0;  // chisq per degree of freedom
  double integral = 0.0;  // the probability of this bin and all below it
};

// Values z over the grid x × y, row a holding z(x[a], y[b]) for every b; with
// `rowbreaks` an empty line follows each row (a grid of lines for gnuplot's
// splot instead of one block).
struct PairMap {
  std::vector<double> x, y;
  std::vector<double> z;  // x.size() × y.size(), row-major
  bool rowbreaks = true;
  double at(std::size_t a, std::size_t b) const { return z[a * y.size() + b]; }
};

// The model evidence from the chain.
struct EvidenceValues {
  double mlogev;      // −log(evidence) = <χ²>/2
  double mloglmax;    // −log(Lmax) = χ²min/2
  double aic;         // χ²min + 2k
  double bic;         // χ²min + k·ln N (not a number when N is 0)
  double complexity;  // 2·|χ²min/2 − mlogev|
};

// The five values with the labels under which the console and the output file
// show them, in their order.
template <class Emit>
void evidence_records(const EvidenceValues& v, Emit emit) {
  emit("-log(evidence)=:", v.mlogev);
  emit("-log(  Lmax  )=:", v.mloglmax);
  emit("log(evidence) AIC (-2ln Lmax + 2k):", v.aic);
  emit("log(evidence) BIC (-2ln Lmax + k ln N):", v.bic);
  emit("Bayesian complexity (<chisq>-chisq(<par>)):", v.complexity);
}

// The difference of the mean and the most probable value, in percent of their
// average (not a number when both are 0, as for a fixed parameter).
inline double relative_difference(double pmed, double pmax) { return std::abs((pmed - pmax) * 200.0 / (pmed + pmax)); }

}  // namespace zorvik
