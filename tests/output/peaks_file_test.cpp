// The peak decomposition "peaks.dat" of a hand-built run on the three-Gaussian
// model 101: each component column must equal the model evaluated here, without
// the dispatcher, at the current parameters overridden by that peak's entries.
#include "output/peaks_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/files.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using testing_support::lines_of;
using testing_support::read_text;
using testing_support::ScratchDir;

// e15.7 keeps 7 significant digits (0.ddddddd): a value read back is within half
// a unit of the 7th digit, a relative error below 5e-7 (plus an absolute floor
// for values that are zero).
constexpr double kRecordRelTol = 5e-7;
constexpr double kZeroTol = 1e-300;

constexpr int kThreeGaussians = 101;

// Model 101 written out independently: a quadratic background and three
// Gaussians given by area, centre and standard deviation.
double three_gaussians(const std::vector<double>& p, double x) {
  double y = p[1] + p[2] * x + p[3] * x * x;
  for (int m = 1; m <= 3; ++m) {
    const double a = p[3 * m + 1], c = p[3 * m + 2], s = p[3 * m + 3];
    y += a / (s * std::sqrt(2.0 * M_PI)) * std::exp(-(x - c) * (x - c) / (2.0 * s * s));
  }
  return y;
}

std::vector<double> numbers(const std::string& line) {
  std::istringstream in(line);
  std::vector<double> v;
  for (double d; in >> d;) v.push_back(d);
  return v;
}

class PeaksFile : public testing::Test {
 protected:
  PeaksFile() {
    zorvik::Run& r = *run_;
    r.settings.npar = 12;
    r.settings.nfunc = 1;
    const double p[13] = {0, 2.5, 0.1, -0.01, 30.0, 10.0, 1.5, 20.0, 20.0, 2.0, 10.0, 30.0, 1.0};
    for (int k = 1; k <= 12; ++k) r.params.par(k) = p[k];
    r.data.opfit(1) = kThreeGaussians;
    // Eight points 0, 5, …, 35; the fit range is points 2 … 7.
    for (int j = 1; j <= 8; ++j) {
      r.data.xi(1, j) = 5.0 * (j - 1);
      r.data.yi(1, j) = 0.25 * j;
    }
    r.data.imin(1) = 2;
    r.data.ndatin(1) = 6;
  }
  void add_peak(std::vector<std::pair<int, double>> entries) {
    FitParameters& fp = run_->params;
    const int k = ++fp.npeaks;
    fp.nparpeak(k) = static_cast<int>(entries.size());
    for (size_t j = 0; j < entries.size(); ++j) {
      fp.parpeak(k, int(j) + 1) = entries[j].first;
      fp.valpeak(k, int(j) + 1) = entries[j].second;
    }
  }
  std::vector<double> params_with(std::vector<std::pair<int, double>> entries) const {
    std::vector<double> p(13, 0.0);
    for (int k = 1; k <= 12; ++k) p[size_t(k)] = run_->params.par(k);
    for (auto [k, v] : entries) p[size_t(k)] = v;
    return p;
  }

  ScratchDir dir_;
  std::unique_ptr<zorvik::Run> run_ = std::make_unique<zorvik::Run>();
  std::unique_ptr<ModelWorkspace> ws_ = std::make_unique<ModelWorkspace>();
  std::ostringstream out_;
  std::istringstream in_;
  Console con_{in_, out_};
};

TEST_F(PeaksFile, EachComponentIsTheModelWithItsPeaksParameterValues) {
  // Peak 1 keeps the first Gaussian alone (no background, the others switched
  // off); peak 2 the second and third on their background.
  const std::vector<std::pair<int, double>> peak1 = {{1, 0.0}, {2, 0.0}, {3, 0.0}, {7, 0.0}, {10, 0.0}};
  const std::vector<std::pair<int, double>> peak2 = {{4, 0.0}};
  add_peak(peak1);
  add_peak(peak2);
  const std::vector<double> before = params_with({});

  peaks(1, *run_, *ws_, con_);

  const auto lines = lines_of(read_text("peaks.dat"));
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], " #x exp calc P1  P2");
  const std::vector<double> pfit = params_with({}), p1 = params_with(peak1), p2 = params_with(peak2);
  for (int n = 0; n < 6; ++n) {
    const int j = 2 + n;
    const double x = run_->data.xi(1, j);
    const std::string& line = lines[size_t(n) + 1];
    EXPECT_EQ(line.size(), 5u * 17 - 2) << line;  // five e15.7 fields, two blanks between them
    const std::vector<double> v = numbers(line);
    ASSERT_EQ(v.size(), 5u) << line;
    const double expected[5] = {x, run_->data.yi(1, j), three_gaussians(pfit, x), three_gaussians(p1, x),
                                three_gaussians(p2, x)};
    for (int c = 0; c < 5; ++c)
      EXPECT_NEAR(v[size_t(c)], expected[c], kRecordRelTol * std::fabs(expected[c]) + kZeroTol)
          << "point " << j << " column " << c + 1 << "\n" << line;
  }
  // The chain's parameters are left as they were.
  EXPECT_EQ(params_with({}), before);
}

TEST_F(PeaksFile, HeaderFollowsTheModelAndThePeakCount) {
  // The dielectric sums have named components.
  run_->data.opfit(1) = 53;
  add_peak({{4, 0.0}});
  peaks(1, *run_, *ws_, con_);
  EXPECT_EQ(lines_of(read_text("peaks.dat"))[0], " #x exp calc HN  CC1 CC2");

  run_->data.opfit(1) = kThreeGaussians;
  for (int k = 2; k <= 6; ++k) add_peak({{4, 0.0}});
  peaks(1, *run_, *ws_, con_);
  EXPECT_EQ(lines_of(read_text("peaks.dat"))[0], " #x exp calc P1  P2 P3 P4 P5 P6");

  // Without peaks the file holds the data and the fit.
  run_->params.npeaks = 0;
  peaks(1, *run_, *ws_, con_);
  const auto lines = lines_of(read_text("peaks.dat"));
  EXPECT_EQ(lines[0], " #x exp calc");
  EXPECT_EQ(numbers(lines[1]).size(), 3u);
}

}  // namespace
}  // namespace zorvik
