// Dielectric relaxation: loss spectra ε''(f) built from Havriliak–Negami (HN),
// Cole–Cole (CC) and power-law terms.
//
// Shapes (ω = 2π·f, u = (ωτ)^(1−a), s = sin(aπ/2), c = cos(aπ/2)):
//   CC(f; τ, a)    = c·u / (1 + 2us + u²)                       = −Im 1/(1 + (iωτ)^(1−a))
//   HN(f; τ, a, b) = sin(b·φ) / (1 + 2us + u²)^(b/2),  φ = atan(c·u / (1 + s·u))
//                                                             = −Im 1/(1 + (iωτ)^(1−a))^b
// (S. Havriliak and S. Negami, Polymer 8 (1967) 161; K. S. Cole and R. H. Cole,
// J. Chem. Phys. 9 (1941) 341). a = 0 and b = 1 give the Debye loss
// ωτ/(1 + ω²τ²), which peaks at 1/2 where ωτ = 1. The real form is used as
// written, with atan: for a < 0 it leaves the principal branch of the complex
// form (a is a width exponent, 0 ≤ a < 1 in practice).
//
// Relaxation times enter as decimal logarithms: a parameter v stands for
// τ = 10^v seconds.
//
// Per-point models (frequency x in Hz, the loss itself):
//   [53] p4·HN(10^p1, p7, p8) + p5·CC(10^p2, p9) + p6·CC(10^p3, p10)
//   [54] p3·HN(10^p1, p5, p6) + p4·CC(10^p2, p7)
//   [55] p(5+i)·HN(τHN(T), p(25+i), p(35+i)) + p(15+i)·CC(τCC(T), p(45+i))
//   [56] as 55 + p(55+i)·CC(τCC2(T), p(65+i))
//   [57] 10^p1·f^p2 + p5·CC(10^p3, p7) + p6·CC(10^p4, p8)
// In 55 and 56 the temperature T is the first z value of data set i, and the
// relaxation times follow laws shared by all data sets: Vogel–Fulcher–Tammann
// τHN(T) = 10^p1·exp(p3·p2/(T − p2)) (p2 the Vogel temperature, p3 the
// strength), Arrhenius τCC(T) = 10^p4·exp(p5/T) and τCC2(T) = 10^p76·exp(p77/T).
// Amplitudes and shapes are per data set in blocks of ten (i = 1 … 10; a data
// set beyond the blocks has no value).
//
// Whole-curve models 50, 51, 52 (`WholeCurve`): the α process is an HN loss,
// the β process a CC loss (52) or, through the Williams ansatz (G. Williams,
// Adv. Polym. Sci. 33 (1979) 59), a β relaxation that proceeds within every α
// environment: with the distributions gα, gβ of ln τ,
//   β loss(ω) = ∫∫ gα(ln τα)·gβ(ln τβ)·ωτeff/(1 + ω²τeff²) d ln τα d ln τβ,
//   1/τeff = 1/τα + 1/τβ.
// The distributions come from inverting the loss curves on the grid
// τj = 1/(2π·fj) (50: both; 51: gβ a Gaussian in ln τ of width p9), and the
// double integral is taken by the trapezoid rule in log10 τ. Mixed:
// ε'' = Δε·(λ·α loss + (1 − λ)·β loss) with Δε = p4, λ = p5; τα = 10^p1,
// τβ = 10^p2, HN a = p7, b = p8, CC width (52, 50) or Gaussian width (51) p9.
//
// Scale of the whole-curve models: their data sets hold log10 f and log10 ε''
// (the data reader converts them), so the models take x = log10 f, evaluate the
// spectrum at f = 10^x, and return log10 ε''; the chi-square is then taken on
// the logarithmic scale the data were converted to.
#pragma once

#include <array>
#include <vector>

#include "core/capacity.h"
#include "core/table.h"
#include "models/model_api.h"

namespace zorvik {

class Console;

// Highest data-set index with a parameter block in models 55 and 56.
inline constexpr int kDielectricSets = 10;
// Points of a whole-curve fit range (the work arrays of the inversion).
inline constexpr int kMaxCurvePoints = 500;

// The normalised shapes at frequency f (Hz) and relaxation time tau (s).
double cc_loss(double f, double tau, double a);
double hn_loss(double f, double tau, double a, double b);

// ---- per-point models in the catalogue's batch form -------------------------
bool hncc1cc2_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p);
bool hncc_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p);
bool hncct_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p);
bool hncc1cc2t_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p);
bool plcc1cc2_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p);
// Models 50 … 52 on data set 1 (env.curve holds their tables): y = log10 ε'',
// also kept in env.curve->epscalc; no value (false) for any other data set.
template <int Model>
bool dielimg_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p);

// The whole-curve spectrum and everything it keeps between evaluations.
//
// What depends only on the frequencies — the inversion kernel ωi·τj/(1 + (ωi·τj)²),
// the effective-time kernels of the double integral, ln ω — is computed when
// a data set's frequencies are first seen (or change), not once per
// evaluation: an evaluation then costs the 100 inversion sweeps of n² terms and
// the n·(n+2)² terms of the double integral, with no transcendental function in
// either.
class WholeCurve {
 public:
  WholeCurve();

  // The spectrum of model 50, 51 or 52 at frequencies 10^logf[k], k < n, into
  // eps[k] (the loss itself). A negative value prints "ERROR in die.for" with
  // the point on env.con and stops the program (ProgramStop).
  void spectrum(int model, const double* logf, int n, const double* p, double* eps, const ModelEnv& env);

  // The building blocks, on the frequencies of the last `prepare`.
  // Frequency tables for 10^logf[k], k < n (n ≤ 500; nothing to do when they are unchanged).
  void prepare(const double* logf, int n);
  int size() const { return n_; }
  // Relaxation-time grid of the inversion, τj = 1/(2π·fj) with 2π in single precision.
  double tau(int j) const { return tau_[static_cast<size_t>(j)]; }
  // Normalised HN and CC loss over the frequencies.
  void hnf(double tau, double a, double b, double* out) const;
  void ccf(double tau, double a, double* out) const;
  // Gaussian distribution of ln τ about ln tau with width sigma, on the grid
  // τj = 1/(2π·fj) (2π in double precision).
  void gtaucc(double tau, double sigma, double* g) const;
  // Inverts the loss eps[0 … n-1] into the distribution g on the grid (100
  // relaxed sweeps from g = 0.29·ε'', steps that would make g negative undone).
  // False when the computed loss at the maximum still differs by more than 1 %:
  // then "PROBLEM IN gTAU!!!!!!!!" and the point go to env.con (when there is
  // one) and the curves to env.failed_inversion (when there is one); g is what
  // was reached.
  bool gtau(const double* eps, double* g, const ModelEnv& env);
  // Williams-ansatz β loss from gα and gβ on the grid.
  void gbeff(const double* galpha, const double* gbeta, double* beta) const;

  // The values last returned by dielimg_batch, by position in the fit range
  // (1 = its first point); zero before any evaluation.
  Table<double, 1, kMaxPoints> epscalc{"epscalc"};

 private:
  using Curve = std::array<double, kMaxCurvePoints + 2>;
  void calcbeta(int mode, const double* p, double* alpha, double* beta, const ModelEnv& env);
  double effective_kernel(int i, int k, int j) const;

  int n_ = 0;
  Curve logf_{}, lnw_{}, lntau_cc_{}, tau_{}, omega_s_{};
  double weight_ = 0.0;        // W = 10^h − 10^−h of the inversion
  double step_ = 0.0;          // h of the double integral, in log10 τ
  std::vector<double> kernel_;      // n × n inversion kernel, row i = frequency
  Curve tau2_{};                     // grid extended by one node at each end
  std::vector<double> taueff_;      // (n+2)² effective times
  std::vector<double> effective_;   // n × (n+2)² kernels, when they fit the budget
  // Scratch of one evaluation.
  Curve alpha_{}, beta_{}, loss_{}, ga_{}, gb_{}, calc_{}, delta_{};
};

}  // namespace zorvik
