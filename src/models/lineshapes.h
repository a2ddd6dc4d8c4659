// Line shapes and the simple-function models built from them: polynomial,
// Gaussian and Lorentzian sums on a background, the stretched exponential, the
// broken line, and the peak combinations of quasi-elastic spectra (a narrow
// peak, Lorentzians and Voigt profiles about a common centre, a resolution
// combined with two independent internal motions).
//
// Units: x is in the data's own unit (energy, time, frequency, …) and is never
// converted. Lorentzian widths are half widths at half maximum, Gaussian widths
// standard deviations, both in the unit of x. The normalised shapes have unit
// area over the whole line, so an amplitude multiplying them is an area.
//
// Every model has one per-point shape, so that the dispatcher can wrap each in
// a batch loop with a template:
//     bool model(int i, double x, const double* p, double& y)
// p[k] is the parameter pk (k = 1 … 100: the caller passes a pointer with p[1]
// the first parameter), i the data-set index (ignored by the models without
// per-data-set parameters). The result is false, with y left unchanged, when
// the model has no parameters for data set i. Models only read p; a model whose
// parameters obey a rule (the broken line's joined intercept) names it in its
// catalogue row, and the owner of the state applies it.
//
// The floating-point operations follow the formulas in the order written
// (left to right; squares as products) so that values are reproducible to the
// last bit. Nothing is cached between calls and nothing is allocated.
#pragma once

#include <cmath>

namespace zorvik {

// π and 2π as the program's shared constant block stores them: the
// single-precision values, widened to double. The normalised shapes
// dlorentz, dgauss and dvoigt use these, so their π differs from the double
// one in the eighth digit (and their areas from 1 by about 1.4e-8).
namespace mathconst {
inline constexpr double pi = 3.1415927410125732;     // float(π)
inline constexpr double twopi = 6.2831854820251465;  // float(2π)
}  // namespace mathconst

// Constants of the models that carry their own, in double precision.
inline constexpr double kPi = 3.141592653589793;           // π, in lorentz and l2
inline constexpr double kSqrtTwoPi = 2.5066282746310002;   // √(2π), in gauss and gaussl
inline constexpr double kSqrt2 = 1.4142135623730951;       // √2, in dvoigt
// √(mathconst::twopi), the correctly rounded square root of the stored 2π.
inline constexpr double kSqrtTwoPiStored = 2.5066283095076436;
// Half width of the narrow peak of the delta + two Lorentzians model.
inline constexpr double kNarrowPeakWidth = 0.001;

// ---------------------------------------------------------------------------
// Guarded arithmetic
// ---------------------------------------------------------------------------

// dquot0(a, b) = a / b, and 0 when b = 0. Keeps the normalised shapes finite
// (and zero) when a width is zero. A not-a-number b fails the comparison and
// the plain quotient is taken.
inline double dquot0(double a, double b) {
  if (b == 0.0) return 0.0;
  return a / b;
}

// ---------------------------------------------------------------------------
// Normalised shape functions
// ---------------------------------------------------------------------------

// Normalised Lorentzian (Cauchy) line, centre x0, half width at half maximum g:
//     dlorentz = (1/π) · |g| / ((x − x0)² + g²)
// Unit area; peak 1/(π|g|). With g = 0 it is 0 everywhere, the centre
// included (the guarded quotient of 0 by 0).
inline double dlorentz(double x0, double g, double x) {
  const double d = x - x0;
  return (1.0 / mathconst::pi) * dquot0(std::fabs(g), d * d + g * g);
}

// Normalised Gaussian, centre x0, standard deviation s:
//     dgauss = exp(−½ ((x − x0)/s)²) / (√(2π) · s)
// Unit area for s > 0; s is used as given (callers pass |s|). With s = 0 it is
// 0 everywhere.
inline double dgauss(double x0, double s, double x) {
  const double u = dquot0(x - x0, s);
  return dquot0(std::exp(-0.5 * (u * u)), kSqrtTwoPiStored * s);
}

// Normalised Voigt profile: the convolution of a Gaussian of standard
// deviation s with a Lorentzian of half width g, both centred at x0.
// With X = (x − x0)/(|s|√2) and Y = |g|/(|s|√2), the profile is
// K(X, Y) / (√(2π)·|s|), K the Voigt function (the real part of the Faddeeva
// function w(X + iY)). K is approximated by a sum of four generalised
// Lorentzians,
//     K ≈ Σ_m [C_m (Y − A_m) + D_m (X − B_m)] / [(Y − A_m)² + (X − B_m)²],
// with the four-term coefficients A, B, C, D below, as published by
// A. B. McLean, C. E. J. Mitchell and D. M. Swanston, Journal of Electron
// Spectroscopy and Related Phenomena 69 (1994) 125, for photoemission line
// shapes. The approximation is within 1.5e-3 of the peak height everywhere
// (about 3e-4 where the profile exceeds half its peak); its area is
// √π·ΣC = 1.0000185 times that of the exact profile for every s and g, and
// its far wings fall as 1/x², like the exact ones.
// A zero width falls back to the pure shape: s = 0 gives dlorentz, g = 0 gives
// dgauss (with s as given).
inline double dvoigt(double x0, double s, double g, double x) {
  if (s == 0.0) return dlorentz(x0, g, x);
  if (g == 0.0) return dgauss(x0, s, x);
  constexpr double A[4] = {-1.215, -1.3509, -1.215, -1.3509};
  constexpr double B[4] = {1.2359, 0.3786, -1.2359, -0.3786};
  constexpr double C[4] = {-0.3085, 0.5906, -0.3085, 0.5906};
  constexpr double D[4] = {0.021, -1.1858, -0.021, 1.1858};
  const double sigma_sqrt2 = std::fabs(s) * kSqrt2;
  const double X = dquot0(x - x0, sigma_sqrt2);
  const double Y = dquot0(std::fabs(g), sigma_sqrt2);
  double v = 0.0;
  for (int m = 0; m < 4; ++m) {
    const double ya = Y - A[m];
    const double xb = X - B[m];
    v += dquot0(C[m] * ya + D[m] * xb, ya * ya + xb * xb);
  }
  return dquot0(v, kSqrtTwoPiStored * std::fabs(s));
}

// Narrow peak of half width w about x0:
//     ddelta = |x − x0| / w  for |x − x0| < w,  0 elsewhere.
// It is 0 at the centre, rises linearly to 1 at the edges of the window and is
// 0 outside it (area w). On a data grid coarser than w it is non-zero only at
// the one or two grid points closest to x0.
inline double ddelta(double x0, double w, double x) {
  const double d = std::fabs(x - x0);
  if (d < w) return d / w;
  return 0.0;
}

// ---------------------------------------------------------------------------
// Models (the number in brackets is the model number of the catalogue)
// ---------------------------------------------------------------------------

// [100] Polynomial of degree 9:  y = p1 + p2·x + p3·x² + … + p10·x⁹,
// summed from the constant term up, the powers as running products.
inline bool poli(int /*i*/, double x, const double* p, double& y) {
  double sum = p[1];
  double xk = 1.0;
  for (int k = 1; k <= 9; ++k) {
    xk = xk * x;
    sum = sum + p[k + 1] * xk;
  }
  y = sum;
  return true;
}

// Sum of three Gaussians given by area a, centre c and standard deviation s:
//     a / (s·√(2π)) · exp(−(x − c)² / (2 s²)),
// (a, c, s) = (p(3m+1), p(3m+2), p(3m+3)) for m = 1, 2, 3, added to `sum` in
// that order. No guard: s = 0 divides by zero.
// The x-independent factors of the three Gaussians of [101] and [102]: the
// amplitude a/(s·√(2π)), the centre and 1/(2s²). A batch over many points
// computes them once; the per-point form computes them for its one point, so
// both give the same numbers.
struct GaussFactors {
  double amp[3], centre[3], inv2var[3];
};

inline GaussFactors gauss_factors(const double* p) {
  GaussFactors f;
  for (int m = 1; m <= 3; ++m) {
    const double s = p[3 * m + 3];
    f.amp[m - 1] = p[3 * m + 1] / (s * kSqrtTwoPi);
    f.centre[m - 1] = p[3 * m + 2];
    f.inv2var[m - 1] = 1.0 / (2.0 * (s * s));
  }
  return f;
}

inline double add_three_gaussians(double sum, double x, const GaussFactors& f) {
  for (int m = 0; m < 3; ++m) {
    const double d = x - f.centre[m];
    sum = sum + f.amp[m] * std::exp(-(d * d) * f.inv2var[m]);
  }
  return sum;
}

inline double add_three_gaussians(double sum, double x, const double* p) {
  return add_three_gaussians(sum, x, gauss_factors(p));
}

// [101] Three Gaussians on a quadratic background:
//     y = p1 + p2·x + p3·x² + Σ_{m=1..3} p(3m+1)/(p(3m+3)·√(2π)) · exp(−(x − p(3m+2))²/(2·p(3m+3)²))
// p4, p7, p10 areas; p5, p8, p11 centres; p6, p9, p12 standard deviations,
// all used as given.
inline bool gauss(int /*i*/, double x, const double* p, double& y) {
  y = add_three_gaussians(p[1] + p[2] * x + p[3] * (x * x), x, p);
  return true;
}

// [102] The three Gaussians of [101] on a background with logarithmic
// coefficients, which keeps them positive while the chain steps them:
//     y = 10^p1 + 10^p2·x + 10^p3·x² + (the Gaussians of [101], p4 … p12)
inline bool gaussl(int /*i*/, double x, const double* p, double& y) {
  const double background =
      std::pow(10.0, p[1]) + std::pow(10.0, p[2]) * x + std::pow(10.0, p[3]) * (x * x);
  y = add_three_gaussians(background, x, p);
  return true;
}

// [103] Five Lorentzians on a quadratic background:
//     y = p1 + p2·x + p3·x² + Σ_{m=1..5} (p(3m+1)/π) · p(3m+3) / ((x − p(3m+2))² + p(3m+3)²)
// p4, p7, …, p16 areas; p5, p8, …, p17 centres; p6, p9, …, p18 half widths,
// used as given (a zero width at the centre divides by zero). The model needs
// exactly 18 parameters; the dispatcher checks that once per data set.
inline bool lorentz(int /*i*/, double x, const double* p, double& y) {
  double sum = p[1] + p[2] * x + p[3] * (x * x);
  for (int m = 1; m <= 5; ++m) {
    const double d = x - p[3 * m + 2];
    const double g = p[3 * m + 3];
    sum = sum + (p[3 * m + 1] / kPi) * g / (d * d + g * g);
  }
  y = sum;
  return true;
}

// [110] Two normalised Lorentzians per data set on a shared quadratic
// background, for data sets i = 1 … 5:
//     y = p1 + p2·x + p3·x² + (a/π) · [w·Γ1/((x − c)² + Γ1²) + (1 − w)·Γ2/((x − c)² + Γ2²)]
// with area a = p(3+i), weight w = p(8+i) of the first line, half widths
// Γ1 = p(13+i), Γ2 = p(18+i) and centre c = p(23+i). No value for i > 5.
inline bool l2(int i, double x, const double* p, double& y) {
  if (i < 1 || i > 5) return false;
  const double a = p[3 + i];
  const double w = p[8 + i];
  const double g1 = p[13 + i];
  const double g2 = p[18 + i];
  const double d = x - p[23 + i];
  y = p[1] + p[2] * x + p[3] * (x * x) +
      (a / kPi) * (w * g1 / (d * d + g1 * g1) + (1.0 - w) * g2 / (d * d + g2 * g2));
  return true;
}

// [114] Kohlrausch stretched exponential (the relaxation function of
// G. Williams and D. C. Watts, Trans. Faraday Soc. 66 (1970) 80):
//     y = exp(−(x/τ)^β),  τ = p1 shared (unit of x),  β = p(9+i) for data set i = 1 … 9.
// No amplitude. No value for i > 9.
inline bool kww(int i, double x, const double* p, double& y) {
  if (i < 1 || i > 9) return false;
  y = std::exp(-std::pow(x / p[1], p[9 + i]));
  return true;
}

// [115] Three Lorentzians about a common centre:
//     y = |p4|·L(p7, |p1|) + |p5|·L(p7, |p2|) + |p6|·L(p7, |p3|),  L = dlorentz
// p1 … p3 half widths, p4 … p6 areas, p7 centre.
inline bool lll(int /*i*/, double x, const double* p, double& y) {
  const double c = p[7];
  y = std::fabs(p[4]) * dlorentz(c, std::fabs(p[1]), x) +
      std::fabs(p[5]) * dlorentz(c, std::fabs(p[2]), x) +
      std::fabs(p[6]) * dlorentz(c, std::fabs(p[3]), x);
  return true;
}

// [116] One Gaussian and two Lorentzians about a common centre:
//     y = |p4|·G(p7, |p1|) + |p5|·L(p7, |p2|) + |p6|·L(p7, |p3|),  G = dgauss, L = dlorentz
// p1 standard deviation, p2, p3 half widths, p4 … p6 areas, p7 centre.
inline bool gll(int /*i*/, double x, const double* p, double& y) {
  const double c = p[7];
  y = std::fabs(p[4]) * dgauss(c, std::fabs(p[1]), x) +
      std::fabs(p[5]) * dlorentz(c, std::fabs(p[2]), x) +
      std::fabs(p[6]) * dlorentz(c, std::fabs(p[3]), x);
  return true;
}

// [117] Broken line with its break at x0 = p1, for data sets i = 1 … 5:
//     y = b·x + a for x ≤ x0,   y = d·x + c for x > x0,
// (a, b, c, d) = (p(4i−1), p(4i), p(4i+1), p(4i+2)). When p2 is exactly 1 the
// two lines meet at the break: c = (b − d)·x0 + a (kink_intercept), and the
// chain's state carries that c (the catalogue's rule for this model, applied
// wherever the state is evaluated). Any other p2 leaves c free. No value for
// i > 5.
inline double kink_intercept(int i, const double* p) { return (p[4 * i] - p[4 * i + 2]) * p[1] + p[4 * i - 1]; }

inline bool kink(int i, double x, const double* p, double& y) {
  if (i < 1 || i > 5) return false;
  const double x0 = p[1];
  const double c = p[2] == 1.0 ? kink_intercept(i, p) : p[4 * i + 1];
  y = x <= x0 ? p[4 * i] * x + p[4 * i - 1] : p[4 * i + 2] * x + c;
  return true;
}

// The rule of the broken line on the chain's state: with p2 = 1, the intercept
// c of data set i is the one that joins the lines.
inline void kink_rule(int i, double* p) {
  if (i >= 1 && i <= 5 && p[2] == 1.0) p[4 * i + 1] = kink_intercept(i, p);
}

// [122] Narrow peak and two Lorentzians about a common centre p6:
//     y = |p3|·ddelta(p6, 0.001, x) + |p4|·L(p6, |p1|) + |p5|·L(p6, |p2|)
// p1, p2 half widths, p3 … p5 amplitudes.
inline bool dll(int /*i*/, double x, const double* p, double& y) {
  const double c = p[6];
  y = std::fabs(p[3]) * ddelta(c, kNarrowPeakWidth, x) +
      std::fabs(p[4]) * dlorentz(c, std::fabs(p[1]), x) +
      std::fabs(p[5]) * dlorentz(c, std::fabs(p[2]), x);
  return true;
}

// [123] Gaussian resolution of standard deviation s = |p1| combined with two
// independent internal motions, each elastic with fraction a = |p5|, b = |p6|
// and otherwise a Lorentzian of half width g1 = |p2|, g2 = |p3|. The scattering
// law of independent motions is the convolution of their laws; with the
// resolution a Lorentzian becomes a Voigt profile, two Lorentzians convolve to
// one with the summed width:
//     y = |p4|·[a·b·G(c, s) + |1−a|·b·V(c, s, g1) + |1−b|·a·V(c, s, g2)
//               + |1−a|·|1−b|·V(c, s, g1+g2)],   c = p7, V = dvoigt
inline bool gvv(int /*i*/, double x, const double* p, double& y) {
  const double s = std::fabs(p[1]);
  const double g1 = std::fabs(p[2]);
  const double g2 = std::fabs(p[3]);
  const double a = std::fabs(p[5]);
  const double b = std::fabs(p[6]);
  const double c = p[7];
  const double qa = std::fabs(1.0 - a);
  const double qb = std::fabs(1.0 - b);
  y = std::fabs(p[4]) * (a * b * dgauss(c, s, x) + qa * b * dvoigt(c, s, g1, x) +
                         qb * a * dvoigt(c, s, g2, x) + qa * qb * dvoigt(c, s, g1 + g2, x));
  return true;
}

// [124] One unit-area Voigt profile, for trying the line shape on its own:
//     y = V(p3, |p1|, |p2|)   (p1 standard deviation, p2 half width, p3 centre)
inline bool sebtest(int /*i*/, double x, const double* p, double& y) {
  y = dvoigt(p[3], std::fabs(p[1]), std::fabs(p[2]), x);
  return true;
}

// [125] As [123] with a Lorentzian resolution of half width Γ0 = |p1|, so that
// every convolution is again a Lorentzian with the summed half width:
//     y = |p4|·[a·b·L(c, Γ0) + |1−a|·b·L(c, Γ0+g1) + |1−b|·a·L(c, Γ0+g2)
//               + |1−a|·|1−b|·L(c, Γ0+g1+g2)]
// g1 = |p2|, g2 = |p3|, a = |p5|, b = |p6|, c = p7.
inline bool lxlxl(int /*i*/, double x, const double* p, double& y) {
  const double g0 = std::fabs(p[1]);
  const double g1 = std::fabs(p[2]);
  const double g2 = std::fabs(p[3]);
  const double a = std::fabs(p[5]);
  const double b = std::fabs(p[6]);
  const double c = p[7];
  const double qa = std::fabs(1.0 - a);
  const double qb = std::fabs(1.0 - b);
  y = std::fabs(p[4]) * (a * b * dlorentz(c, g0, x) + qa * b * dlorentz(c, g0 + g1, x) +
                         qb * a * dlorentz(c, g0 + g2, x) +
                         qa * qb * dlorentz(c, g0 + g1 + g2, x));
  return true;
}

}  // namespace zorvik
