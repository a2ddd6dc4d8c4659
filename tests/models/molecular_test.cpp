// The molecular structure models: the geometry of each molecule (the stated
// distances, every derived distance against the written atom positions), the
// weights, the normalisation of g(r), S(q) against the Debye sum over the atom
// pairs and its large-q limit, and the molecule writers.
#include "models/molecular.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

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
    case 4: p[15] = 1.77; break;
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

// The pair distances of the molecule of `model` at its geometry, by pair name.
std::map<std::string, double> distances(int model, Structure& s) {
  const auto p = geometry(model);
  build_structure(model, p.data(), s);
  std::map<std::string, double> r;
  for (int k = 0; k < s.npairs; ++k) r[s.pairs[k].name] = s.pairs[k].r;
  return r;
}

TEST(Molecules, StatedGeometries) {
  Structure s;
  // CCl4: the Cl–Cl distance of the regular tetrahedron; trans C2D2Cl2 from
  // C=C 1.33, C–Cl 1.73, C–D 1.08 and 120° angles.
  EXPECT_NEAR(distances(4, s)["dclcl"], 2.890, 5e-4);
  const std::pair<const char*, double> c2d2cl2[] = {{"dc2x1", 2.0909}, {"dcl1cl2", 4.2828}, {"dx1x2", 3.0508}, {"dcl1x2", 2.7923}};
  for (auto r = distances(6, s); const auto& [name, d] : c2d2cl2) EXPECT_NEAR(r[name], d, 5e-4) << name;
  // CCl3–CF2Cl from eleven distances of the staggered molecule: the seven
  // derived ones are those of that molecule (Cl5 anti to Cl0, F1 and F2 at
  // ±120° from Cl5).
  const std::pair<const char*, double> c2f2cl4[] = {
      {"dc0f1", side(kCC, kCF)}, {"dc0cl5", side(kCC, kCCl)}, {"dcl1c5", side(kCC, kCCl)},
      {"dcl1cl5", across(kCCl, kCCl, M_PI / 3)}, {"dcl0f1", across(kCCl, kCF, M_PI / 3)},
      {"dcl1f1", across(kCCl, kCF, M_PI / 3)}, {"dcl1f2", across(kCCl, kCF, M_PI)}};
  for (auto r = distances(1, s); const auto& [name, d] : c2f2cl4) EXPECT_NEAR(r[name], d, 1e-12) << name;
  // CFCl2–CFCl2: F–F anti in the trans conformer, gauche in the other.
  distances(2, s);
  for (int k = 0; k < s.npairs; ++k)
    if (std::string(s.pairs[k].kind) == "F-F") {
      EXPECT_NEAR(s.pairs[k].r, across(kCF, kCF, k < 28 ? M_PI : M_PI / 3), 1e-12) << k;
    }
}

// The molecule files hold the atoms of the structure (each conformer of model
// 2 in its own file), and d.dat one record a pair term. (The atoms themselves
// are held to the pair distances by the Debye sum below.)
TEST(Molecules, FilesHoldTheAtomsOfTheStructure) {
  for (int model : {1, 2, 4, 5, 6}) {
    ScratchDir dir;
    auto run = std::make_unique<zorvik::Run>();
    run->data.opfit(1) = run->data.opfit(2) = model;
    const auto p = geometry(model);
    for (int k = 1; k <= 100; ++k) run->params.par(k) = p[size_t(k)];
    Screen screen;
    write_molecules(WriteMode::molecules, *run, screen.con);
    Structure s;
    build_structure(model, p.data(), s);
    int m = 0;
    for (const char* f : model == 2 ? std::vector<const char*>{"molect.xyz", "molecg.xyz"} : std::vector<const char*>{"molec.xyz"}) {
      std::istringstream in(read_text(f));
      int n = 0;
      std::string comment, element;
      in >> n, std::getline(in, comment), std::getline(in, comment);
      ASSERT_EQ(n, s.atoms_per_conformer) << f;
      for (double x, y, z; in >> element >> x >> y >> z; ++m) {
        const Atom& a = s.atoms[m];
        EXPECT_EQ(element, a.element) << f;
        EXPECT_NEAR(std::hypot(x - a.x, y - a.y, z - a.z), 0.0, 1e-9) << f << " atom " << m;
      }
    }
    EXPECT_EQ(m, s.natoms) << model;
    EXPECT_EQ(int(lines_of(read_text("d.dat")).size()), s.npairs);
  }
}

TEST(Molecules, MolecularTermsFollowTheirDefinitions) {
  for (int model : {1, 2, 4, 5, 6}) {
    auto p = geometry(model);
    p[1] = 2.5;
    Structure s;
    build_structure(model, p.data(), s);
    // ∫ g(r) dr over 0 … 12 Å with the background at 0 (trapezoid, 0.001 Å).
    double area = 0.0;
    for (int k = 1; k < 12000; ++k) area += rdf_value(s, 0.001 * k, p.data());
    EXPECT_NEAR(area * 0.001, 2.5, 1e-6) << model;
    // S(q) as the Debye sum over every pair of atoms of each conformer, with
    // one width for all pairs: Σ f·b_i·b_j·sin(q·r_ij)/(q·r_ij)·exp(−q²σ²/2) / Σ f·b_i·b_j,
    // b the coherent scattering lengths (Sears, Neutron News 3 (1992) 26), f the
    // conformer's fraction, r_ij from the atom positions.
    const auto [w_lo, w_hi] = model == 4 ? std::pair{16, 17} : model >= 5 ? std::pair{20, 28} : std::pair{26, 37};
    for (int k = w_lo; k <= w_hi; ++k) p[size_t(k)] = 0.08;
    for (int k = 8; k <= 14; ++k) p[size_t(k)] = 0.0;
    build_structure(model, p.data(), s);
    const std::map<std::string, double> b = {{"C", 0.6646}, {"F", 0.5654}, {"Cl", 0.9577}, {"D", 0.6671}, {"H", -0.3739}};
    for (double q : {0.3, 1.7, 4.0, 9.5}) {
      double sum = 0.0, w = 0.0;
      for (int c = 0; c < s.conformers; ++c) {
        const double f = s.conformers == 1 ? 1.0 : c == 0 ? p[19] : 1.0 - p[19];
        for (int m = c * s.atoms_per_conformer; m < (c + 1) * s.atoms_per_conformer; ++m)
          for (int n = m + 1; n < (c + 1) * s.atoms_per_conformer; ++n) {
            const Atom &u = s.atoms[m], &v = s.atoms[n];
            const double r = std::hypot(u.x - v.x, u.y - v.y, u.z - v.z), wk = f * b.at(u.element) * b.at(v.element);
            sum += wk * std::sin(q * r) / (q * r) * std::exp(-q * q * 0.08 * 0.08 / 2.0);
            w += wk;
          }
      }
      // Some dozens of terms summed in another order: a few roundings of the largest.
      EXPECT_NEAR(sq_value(s, model, q, p.data()), 2.5 * sum / w, 1e-12) << model << " q = " << q;
    }
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
