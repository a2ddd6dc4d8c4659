// A posterior known analytically: a straight line y = 2 + 0.5·x at x = 1 … 40
// with Gaussian noise of known sigma, written to line.dat. Under flat priors far
// wider than the posterior, the posterior of (intercept a, slope b) is Gaussian
// with the least-squares mean and the covariance (XᵀX)⁻¹σ².
#pragma once

#include <cmath>
#include <random>
#include <sstream>

#include "support/scratch.h"

namespace zorvik::testing_support {

struct StraightLine {
  double a, b;        // least squares: the posterior mean
  double sd_a, sd_b;  // the posterior standard deviations
  double corr;        // the correlation of a and b
};

inline StraightLine write_straight_line(unsigned seed, double sigma = 1.0, int points = 40) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, sigma);
  std::ostringstream data;
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (int k = 1; k <= points; ++k) {
    const double x = k, y = 2.0 + 0.5 * x + noise(rng);
    data << x << " " << y << "\n";
    sx += x, sy += y, sxx += x * x, sxy += x * y;
  }
  write_text("line.dat", data.str());
  const double det = points * sxx - sx * sx;
  StraightLine l{};
  l.b = (points * sxy - sx * sy) / det;
  l.a = (sy - l.b * sx) / points;
  l.sd_a = sigma * std::sqrt(sxx / det);
  l.sd_b = sigma * std::sqrt(points / det);
  l.corr = -sx / std::sqrt(points * sxx);
  return l;
}

}  // namespace zorvik::testing_support
