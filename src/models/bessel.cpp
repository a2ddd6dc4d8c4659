#include "models/bessel.h"

#include <cmath>

#include "core/console.h"

namespace zorvik {

namespace {

// Convergence threshold and underflow guard of the series and continued
// fractions. They are the single-precision values 1e-10 and 1e-30 widened to
// double, as the routine has always used them.
constexpr double kEps = 1.000000013351432e-10;
constexpr double kFpmin = 1.0000000031710769e-30;
// Below this argument Temme's series, above it Steed's continued fractions.
constexpr double kXmin = 2.0;
constexpr int kMaxIt = 10000;
constexpr double kPi = 3.141592653589793;
constexpr double kTwoOverPi = 0.6366197723675814;
// √(π/2) as a single-precision constant.
constexpr float kRootPiOverTwo = 1.2533141374588013f;

// Chebyshev coefficients of Γ1 (7 terms) and Γ2 (8 terms) in t = 8x² − 1,
// |x| ≤ 1/2, stored in single precision (these are the exact float values).
constexpr float kGam1Coef[7] = {-1.142022728919983f,     0.006516511086374521f, 0.00030870901537127793f,
                                -3.47062700711831e-06f,  6.943763786182444e-09f, 3.6779999185165835e-11f,
                                -1.36000003034438e-13f};
constexpr float kGam2Coef[8] = {1.8437405824661255f,     -0.07685284316539764f,   0.0012719271471723914f,
                                -4.971736871084431e-06f, -3.312612051331598e-08f, 2.4231000539387537e-10f,
                                -1.700000004049157e-13f, -1.0000000036274937e-15f};

// A numerical problem: the message, then a wait for the Enter key.
void report(Console* con, const char* message) {
  if (con) con->pause(message);
}

}  // namespace

float chebev(float a, float b, const float* c, int m, float x, Console* con) {
  if ((x - a) * (x - b) > 0.0f) report(con, "x not in range in chebev");
  float d = 0.0f, dd = 0.0f;
  const float y = (2.0f * x - a - b) / (b - a);
  const float y2 = 2.0f * y;
  for (int j = m - 1; j >= 1; --j) {
    const float sv = d;
    d = y2 * d - dd + c[j];
    dd = sv;
  }
  return y * d - dd + 0.5f * c[0];
}

void beschb(double x, double& gam1, double& gam2, double& gampl, double& gammi, Console* con) {
  const float t = static_cast<float>(8.0 * x * x - 1.0);
  gam1 = chebev(-1.0f, 1.0f, kGam1Coef, 7, t, con);
  gam2 = chebev(-1.0f, 1.0f, kGam2Coef, 8, t, con);
  gampl = gam2 - x * gam1;
  gammi = gam2 + x * gam1;
}

void bessjy(float x, float xnu, float& rj, float& ry, float& rjp, float& ryp, Console* con) {
  if (x <= 0.0f || xnu < 0.0f) report(con, "bad arguments in bessjy");
  const double xd = x;
  const double nu = xnu;
  // nl: the number of downward steps from ν to μ = ν − nl. Below kXmin |μ| ≤ 1/2
  // (Temme's series needs it); above, μ is brought below x, where CF2 converges
  // fast. A NaN argument takes no steps.
  int nl = 0;
  if (xd < kXmin) {
    nl = static_cast<int>(nu + 0.5);
  } else {
    const double steps = nu - xd + 1.5;
    if (steps >= 1.0) nl = static_cast<int>(steps);
  }
  const double xmu = nu - nl;
  const double xmu2 = xmu * xmu;
  const double xi = 1.0 / xd;
  const double xi2 = 2.0 * xi;
  const double w = xi2 / kPi;  // the Wronskian 2/(πx)

  // CF1: f_ν = J'_ν/J_ν by the modified Lentz method; isign tracks the sign of
  // J_ν through the denominators.
  int isign = 1;
  double h = nu * xi;
  if (h < kFpmin) h = kFpmin;
  double b = xi2 * nu;
  double d = 0.0;
  double c = h;
  int i = 1;
  for (; i <= kMaxIt; ++i) {
    b += xi2;
    d = b - d;
    if (std::fabs(d) < kFpmin) d = kFpmin;
    c = b - 1.0 / c;
    if (std::fabs(c) < kFpmin) c = kFpmin;
    d = 1.0 / d;
    const double del = c * d;
    h = del * h;
    if (d < 0.0) isign = -isign;
    if (std::fabs(del - 1.0) < kEps) break;
  }
  if (i > kMaxIt) report(con, "x too large in bessjy; try asymptotic expansion");

  // Downward recurrence of unnormalised J and J' from ν to μ.
  double rjl = isign * kFpmin;
  double rjpl = h * rjl;
  const double rjl1 = rjl;
  const double rjp1 = rjpl;
  double fact = nu * xi;
  for (int l = nl; l >= 1; --l) {
    const double rjtemp = fact * rjl + rjpl;
    fact -= xi;
    rjpl = fact * rjtemp - rjl;
    rjl = rjtemp;
  }
  if (rjl == 0.0) rjl = kEps;
  const double f = rjpl / rjl;  // J'_μ/J_μ

  double rjmu = 0.0, rymu = 0.0, rymup = 0.0, ry1 = 0.0;
  if (xd < kXmin) {
    // Temme's series for Y_μ and Y_{μ+1}.
    const double x2 = 0.5 * xd;
    const double pimu = kPi * xmu;
    const double fact1 = std::fabs(pimu) < kEps ? 1.0 : pimu / std::sin(pimu);
    double dl = -std::log(x2);
    double e = xmu * dl;
    const double fact2 = std::fabs(e) < kEps ? 1.0 : std::sinh(e) / e;
    double gam1 = 0.0, gam2 = 0.0, gampl = 0.0, gammi = 0.0;
    beschb(xmu, gam1, gam2, gampl, gammi, con);
    double ff = kTwoOverPi * fact1 * (gam1 * std::cosh(e) + gam2 * fact2 * dl);
    e = std::exp(e);
    double p = e / (gampl * kPi);
    double q = 1.0 / (e * kPi * gammi);
    const double pimu2 = 0.5 * pimu;
    const double fact3 = std::fabs(pimu2) < kEps ? 1.0 : std::sin(pimu2) / pimu2;
    const double r = kPi * pimu2 * fact3 * fact3;
    double ck = 1.0;
    dl = -x2 * x2;
    double sum = ff + r * q;
    double sum1 = p;
    for (i = 1; i <= kMaxIt; ++i) {
      ff = (i * ff + p + q) / (i * i - xmu2);
      ck *= dl / i;
      p /= i - xmu;
      q /= i + xmu;
      const double del = ck * (ff + r * q);
      sum += del;
      const double del1 = ck * p - i * del;
      sum1 += del1;
      if (std::fabs(del) < (1.0 + std::fabs(sum)) * kEps) break;
    }
    if (i > kMaxIt) report(con, "bessy series failed to converge");
    rymu = -sum;
    ry1 = -sum1 * xi2;
    rymup = xmu * xi * rymu - ry1;
    rjmu = w / (rymup - f * rymu);  // the Wronskian fixes J_μ
  } else {
    // CF2: p + iq by the modified Lentz method in complex arithmetic.
    double a = 0.25 - xmu2;
    double p = -0.5 * xi;
    double q = 1.0;
    const double br = 2.0 * xd;
    double bi = 2.0;
    fact = a * xi / (p * p + q * q);
    double cr = br + q * fact;
    double ci = bi + p * fact;
    double den = br * br + bi * bi;
    double dr = br / den;
    double di = -bi / den;
    double dlr = cr * dr - ci * di;
    double dli = cr * di + ci * dr;
    double temp = p * dlr - q * dli;
    q = p * dli + q * dlr;
    p = temp;
    for (i = 2; i <= kMaxIt; ++i) {
      a += 2 * (i - 1);
      bi += 2.0;
      dr = a * dr + br;
      di = a * di + bi;
      if (std::fabs(dr) + std::fabs(di) < kFpmin) dr = kFpmin;
      fact = a / (cr * cr + ci * ci);
      cr = br + cr * fact;
      ci = bi - ci * fact;
      if (std::fabs(cr) + std::fabs(ci) < kFpmin) cr = kFpmin;
      den = dr * dr + di * di;
      dr /= den;
      di /= -den;
      dlr = cr * dr - ci * di;
      dli = cr * di + ci * dr;
      temp = p * dlr - q * dli;
      q = p * dli + q * dlr;
      p = temp;
      if (std::fabs(dlr - 1.0) + std::fabs(dli) < kEps) break;
    }
    if (i > kMaxIt) report(con, "cf2 failed in bessjy");
    const double gam = (p - f) / q;  // Y_μ/J_μ
    rjmu = std::copysign(std::sqrt(w / ((p - f) * gam + q)), rjl);
    rymu = rjmu * gam;
    rymup = rymu * (p + q / gam);
    ry1 = xmu * xi * rymu - rymup;
  }

  // Scale the recurred J to the normalised J_μ; recur Y upwards from μ to ν.
  fact = rjmu / rjl;
  rj = static_cast<float>(rjl1 * fact);
  rjp = static_cast<float>(rjp1 * fact);
  for (i = 1; i <= nl; ++i) {
    const double rytemp = (xmu + i) * xi2 * ry1 - rymu;
    rymu = ry1;
    ry1 = rytemp;
  }
  ry = static_cast<float>(rymu);
  ryp = static_cast<float>(nu * xi * rymu - ry1);
}

void sphbes(int n, float x, float& sj, float& sy, float& sjp, float& syp, Console* con) {
  if ((n < 0 || x <= 0.0f) && con) {
    con->line("bad arguments in sphbes n , x: ", n, x);
    con->pause();
  }
  const float order = static_cast<float>(n) + 0.5f;
  float rj = 0.0f, ry = 0.0f, rjp = 0.0f, ryp = 0.0f;
  bessjy(x, order, rj, ry, rjp, ryp, con);
  const float factor = kRootPiOverTwo / std::sqrt(x);
  sj = factor * rj;
  sy = factor * ry;
  sjp = factor * rjp - sj / (2.0f * x);
  syp = factor * ryp - sy / (2.0f * x);
}

}  // namespace zorvik
