// The molecular structure models: the geometry of each molecule (the stated
// distances, every derived distance against the written atom positions), the
// weights, the normalisation of g(r), the large-q limit of S(q), the routing by
// data set with and without convolution, and the writers.
#include "models/molecular.h"

#include <gtest/gtest.h>

#include <cmath>
#include <array>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "core/errors.h"
#include "models/convolution.h"
#include "models/functions.h"
#include "output/result_files.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using testing_support::lines_of;
using testing_support::read_text;
using testing_support::ScratchDir;
using testing_support::Screen;

// Staggered ethane-like geometry with tetrahedral angles: C–C 1.54, C–Cl 1.77,
// C–F 1.35 Å. `side` is the distance between two substituents of one carbon
// (or a substituent and the other carbon), `across` that between substituents
// of different carbons whose azimuths about the C–C axis differ by dphi.
constexpr double kTetra = 1.9106332362490186, kCC = 1.54, kCCl = 1.77, kCF = 1.35;
double side(double a, double b) { return std::sqrt(a * a + b * b - 2 * a * b * std::cos(kTetra)); }
double across(double r1, double r2, double dphi) {
  const double s = std::sin(kTetra), c = -std::cos(kTetra);
  const double x1 = r1 * s, x2 = r2 * s * std::cos(dphi), y2 = r2 * s * std::sin(dphi);
  const double dz = kCC + (r1 + r2) * c;
  return std::sqrt((x1 - x2) * (x1 - x2) + y2 * y2 + dz * dz);
}

// A plausible geometry of each molecule (distances in Å, widths 0.05–0.1 Å).
std::vector<double> geometry(int model) {
  std::vector<double> p(101, 0.0);
  p[1] = 1.0;
  for (int k = 15; k <= 40; ++k) p[size_t(k)] = 0.06 + 0.001 * k;  // widths (geometry overwritten below)
  switch (model) {
    case 4:
      p[15] = 1.77;
      break;
    case 5:
    case 6:  // C=C 1.33, C–Cl 1.73, C–X 1.08, all angles 120°
      p[15] = 1.33, p[16] = 1.73, p[17] = 2.6576, p[18] = 1.08, p[19] = 2.4551;
      break;
    case 1:  // CCl3–CF2Cl
      p[15] = kCF, p[16] = kCC, p[17] = kCCl, p[18] = kCCl, p[19] = kCCl;
      p[20] = side(kCF, kCF), p[21] = side(kCC, kCCl), p[22] = side(kCCl, kCCl), p[23] = side(kCCl, kCCl);
      p[24] = side(kCF, kCCl), p[25] = across(kCCl, kCCl, M_PI);
      break;
    case 2:
      p[15] = kCF, p[16] = 109.47122063449069, p[17] = kCC, p[18] = kCCl, p[19] = 0.6;
      break;
  }
  return p;
}

TEST(Molecules, StatedGeometries) {
  Structure s;
  // CCl4: the Cl–Cl distance of the regular tetrahedron.
  auto p = geometry(4);
  build_structure(4, p.data(), s);
  ASSERT_EQ(s.npairs, 2);
  EXPECT_NEAR(s.pairs[1].r, 2.890, 5e-4);
  EXPECT_NEAR(s.pairs[1].r, 1.77 * std::sqrt(8.0 / 3.0), 1e-12);
  // trans C2D2Cl2 from C=C 1.33, C–Cl 1.73, C–D 1.08 and 120° angles.
  p = geometry(6);
  build_structure(6, p.data(), s);
  std::map<std::string, double> r;
  for (int k = 0; k < s.npairs; ++k) r[s.pairs[k].name] = s.pairs[k].r;
  EXPECT_NEAR(r["dc2x1"], 2.0909, 5e-4);
  EXPECT_NEAR(r["dcl1cl2"], 4.2828, 5e-4);
  EXPECT_NEAR(r["dx1x2"], 3.0508, 5e-4);
  EXPECT_NEAR(r["dcl1x2"], 2.7923, 5e-4);
  // CCl3–CF2Cl from eleven distances of the staggered molecule: the seven
  // derived ones are those of that molecule (Cl5 anti to Cl0, F1 and F2 at
  // ±120° from Cl5).
  p = geometry(1);
  build_structure(1, p.data(), s);
  r.clear();
  for (int k = 0; k < s.npairs; ++k) r[s.pairs[k].name] = s.pairs[k].r;
  EXPECT_NEAR(r["dc0f1"], side(kCC, kCF), 1e-12);
  EXPECT_NEAR(r["dc0cl5"], side(kCC, kCCl), 1e-12);
  EXPECT_NEAR(r["dcl1c5"], side(kCC, kCCl), 1e-12);
  EXPECT_NEAR(r["dcl1cl5"], across(kCCl, kCCl, M_PI / 3), 1e-12);
  EXPECT_NEAR(r["dcl0f1"], across(kCCl, kCF, M_PI / 3), 1e-12);
  EXPECT_NEAR(r["dcl1f1"], across(kCCl, kCF, M_PI / 3), 1e-12);
  EXPECT_NEAR(r["dcl1f2"], across(kCCl, kCF, M_PI), 1e-12);
  // CFCl2–CFCl2: F–F anti in the trans conformer, gauche in the other.
  p = geometry(2);
  build_structure(2, p.data(), s);
  for (int k = 0; k < s.npairs; ++k)
    if (std::string(s.pairs[k].kind) == "F-F") {
      EXPECT_NEAR(s.pairs[k].r, across(kCF, kCF, k < 28 ? M_PI : M_PI / 3), 1e-12) << k;
    }
}

// Atoms read back from an XYZ file.
std::vector<std::array<double, 3>> read_xyz(const std::string& path, int expected_atoms) {
  std::istringstream in(read_text(path));
  int n = 0;
  std::string comment, element;
  in >> n;
  std::getline(in, comment);
  std::getline(in, comment);
  EXPECT_EQ(comment, "    0.000000");
  EXPECT_EQ(n, expected_atoms) << path;
  std::vector<std::array<double, 3>> atoms(size_t(std::max(n, 0)));
  for (auto& a : atoms) in >> element >> a[0] >> a[1] >> a[2];
  EXPECT_TRUE(in) << path;
  return atoms;
}

TEST(Molecules, EveryDistanceIsThatOfTheWrittenAtomsAndTheWeightsAddUpToW) {
  const std::map<int, double> total = {{1, 17.19133342}, {2, 17.19133342}, {4, 8.04908542}, {5, 1.61832146},
                                       {6, 8.67879986}};
  for (const auto& [model, w] : total) {
    ScratchDir dir;
    auto run = std::make_unique<zorvik::Run>();
    run->data.opfit(1) = model;
    run->data.opfit(2) = model;
    const auto p = geometry(model);
    for (int k = 1; k <= 100; ++k) run->params.par(k) = p[size_t(k)];
    Screen screen;
    write_molecules(10, *run, screen.con);
    Structure s;
    build_structure(model, p.data(), s);
    EXPECT_NEAR(s.total_weight, w, 1e-9) << model;
    // Atoms of each conformer, as written.
    std::vector<std::array<double, 3>> atoms;
    for (const char* f : model == 2 ? std::vector<const char*>{"molect.xyz", "molecg.xyz"} : std::vector<const char*>{"molec.xyz"}) {
      const auto a = read_xyz(f, s.atoms_per_conformer);
      atoms.insert(atoms.end(), a.begin(), a.end());
    }
    ASSERT_EQ(int(atoms.size()), s.natoms) << model;
    for (int k = 0; k < s.npairs; ++k) {
      const PairTerm& t = s.pairs[k];
      const auto &a = atoms[size_t(t.a)], &b = atoms[size_t(t.b)];
      const double d = std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
      EXPECT_NEAR(t.r, d, 1e-12) << model << " " << t.name;
    }
    // A real molecule: no two atoms closer than a bond, the carbons of the
    // ethanes and ethylenes on the z axis about the origin.
    for (size_t m = 0; m < atoms.size(); ++m)
      for (size_t n = m + 1; n < atoms.size(); ++n)
        if (int(m) / s.atoms_per_conformer == int(n) / s.atoms_per_conformer) {
          EXPECT_GT(std::hypot(atoms[m][0] - atoms[n][0], atoms[m][1] - atoms[n][1], atoms[m][2] - atoms[n][2]), 1.0)
              << model << " atoms " << m << ", " << n;
        }
    if (model != 4) {
      EXPECT_EQ(atoms[0][0], 0.0);
      EXPECT_EQ(atoms[0][1], 0.0);
      EXPECT_EQ(atoms[1][2], -atoms[0][2]);
    }
    // The console table shows each term with dist = dis-ab; d.dat one record a term.
    const auto table = lines_of(screen.out.str());
    ASSERT_EQ(int(table.size()), s.npairs + 1) << screen.out.str();
    EXPECT_EQ(table[0], "  term      weight        dist           l      dis-ab");
    for (size_t k = 1; k < table.size(); ++k) EXPECT_EQ(table[k].substr(42, 12), table[k].substr(18, 12)) << table[k];
    EXPECT_EQ(int(lines_of(read_text("d.dat")).size()), s.npairs);
  }
}

TEST(Molecules, RadialDistributionHasAreaP1AndStructureFactorItsLimits) {
  for (int model : {1, 2, 4, 5, 6}) {
    auto p = geometry(model);
    p[1] = 2.5;
    Structure s;
    build_structure(model, p.data(), s);
    // ∫ g(r) dr over 0 … 12 Å with the background at 0 (trapezoid, 0.001 Å).
    double area = 0.0;
    for (int k = 1; k < 12000; ++k) area += rdf_value(s, 0.001 * k, p.data());
    EXPECT_NEAR(area * 0.001, 2.5, 1e-6) << model;
    // At large q the molecular term has died away: S → −p1·Bs(q).
    for (int k = 8; k <= 14; ++k) p[size_t(k)] = 0.01 * (k - 7);
    const double q = 200.0;
    double bs = 0.0;
    for (int k = 0; k <= (model <= 2 ? 4 : 6); ++k) bs += p[size_t(8 + k)] * std::pow(q, k);
    EXPECT_NEAR(sq_value(s, model, q, p.data()), -2.5 * bs, 1e-9 * 2.5 * bs) << model;
    // Without the scale only the background of g(r) is left, and S(q) is 0.
    p[1] = 0.0;
    p[2] = 0.3, p[3] = 0.1;
    EXPECT_DOUBLE_EQ(rdf_value(s, 2.0, p.data()), 0.5);
    EXPECT_EQ(sq_value(s, model, 3.0, p.data()), 0.0);
  }
}

}  // namespace
}  // namespace zorvik
