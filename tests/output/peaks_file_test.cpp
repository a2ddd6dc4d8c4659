// The header of the peak decomposition "peaks.dat" of a hand-built run: it
// names the components of the model, or numbers the peaks. (Its values are
// held by the session's golden peaks.dat.)
#include "output/peaks_file.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/scratch.h"

namespace zorvik {
namespace {

using testing_support::lines_of;
using testing_support::read_text;

TEST(PeaksFile, HeaderNamesTheComponentsOfTheModelOrNumbersThePeaks) {
  testing_support::ScratchDir dir;
  testing_support::Screen screen;
  auto run = std::make_unique<zorvik::Run>();
  auto ws = std::make_unique<ModelWorkspace>();
  zorvik::Run& r = *run;
  r.settings.npar = 12, r.settings.nfunc = 1;
  const double p[13] = {0, 2.5, 0.1, -0.01, 30.0, 10.0, 1.5, 20.0, 20.0, 2.0, 10.0, 30.0, 1.0};
  for (int k = 1; k <= 12; ++k) r.params.par(k) = p[k];
  for (int j = 1; j <= 8; ++j) r.data.xi(1, j) = 5.0 * (j - 1), r.data.yi(1, j) = 0.25 * j;
  r.data.imin(1) = 2, r.data.ndatin(1) = 6;
  auto header = [&](int model, int npeaks) {
    r.data.opfit(1) = model, r.params.npeaks = npeaks;
    for (int k = 1; k <= npeaks; ++k) r.params.nparpeak(k) = 1, r.params.parpeak(k, 1) = 4, r.params.valpeak(k, 1) = 0.0;
    peaks(1, r, *ws, screen.con);
    return lines_of(read_text("peaks.dat"))[0];
  };
  EXPECT_EQ(header(53, 1), " #x exp calc HN  CC1 CC2");  // the dielectric sums name their components
  EXPECT_EQ(header(101, 6), " #x exp calc P1  P2 P3 P4 P5 P6");
  EXPECT_EQ(header(101, 0), " #x exp calc");  // without peaks: the data and the fit
  EXPECT_EQ(testing_support::numbers_of(lines_of(read_text("peaks.dat"))[1]).size(), 3u);
}

}  // namespace
}  // namespace zorvik
