// Intramolecular structure of small rigid molecules from neutron diffraction:
// the structure factor S(q) (data set 1) and the radial distribution function
// g(r) (data set 2) fitted together with one set of geometric parameters.
//
// A molecule is a list of atom pairs k with distance r_k, Gaussian width σ_k
// (the root-mean-square spread of the distance by vibration) and weight
// w_k = m·b_i·b_j: the number m of equivalent pairs times the coherent
// scattering lengths of the two atoms (10⁻¹² cm: C 0.6646, F 0.5654, Cl 0.9577,
// D 0.6671, H −0.3739; a pair with one hydrogen has a negative weight). W is the
// sum of all weights. With the parameters p:
//   g(r) = B(r) + p1·(1/√(2π))/W·Σk w_k·exp(−(r − r_k)²/(2σ_k²))/σ_k,
//          B(r) = p2 + p3·r + … + p7·r⁵;
//   S(q) = p1·(Σk w_k·sin(q·r_k)/(q·r_k)·exp(−(q·σ_k)²/2)/W − Bs(q)),
//          Bs(q) = p8 + p9·q + p10·q² + … (up to q⁴ for C2F2Cl4, q⁶ otherwise).
// The molecular term of g(r) has area p1; S(q) tends to −p1·Bs(q) at large q.
// (Debye scattering equation for a molecule with Gaussian distance spreads.)
//
// Molecules (model number: geometry from p15 on; widths after it):
//   4  CCl4, a regular tetrahedron: p15 C–Cl, widths p16 (C–Cl), p17 (Cl–Cl);
//      Cl–Cl = d·√(8/3).
//   5  trans C2H2Cl2 and 6 trans C2D2Cl2, planar: p15 C–C, p16 C–Cl bonded,
//      p17 C–Cl across the double bond, p18 C–X bonded, p19 Cl–X on the same
//      carbon; widths p20 C–C, p21 C–Cl, p22 C–X, p23 the other C–Cl, p24 the
//      non-bonded C–X, p25 Cl–X geminal, p26 Cl–Cl, p27 X–X, p28 Cl–X trans.
//   1  C2F2Cl4 as CCl3–CF2Cl (1,1-difluoro-1,2,2,2-tetrachloroethane) in its
//      staggered form with a mirror plane through both carbons, the chlorine
//      Cl0 of the CCl3 group and the chlorine Cl5 of the CF2Cl group (anti to
//      each other); Cl1/Cl2 and F1/F2 are the mirror pairs. Eleven distances fix
//      the eleven degrees of freedom of that shape: p15 C5–F, p16 C0–C5,
//      p17 C0–Cl0, p18 C0–Cl1, p19 C5–Cl5, p20 F1–F2, p21 Cl0…C5, p22 Cl1–Cl2,
//      p23 Cl0–Cl1, p24 F1–Cl5, p25 Cl0–Cl5; seven further distances follow from
//      the placed atoms. Widths p26 … p37 by pair type (see molecular.cpp).
//   2  C2F2Cl4 as CFCl2–CFCl2 (1,2-difluoro-1,1,2,2-tetrachloroethane) from
//      bonds and one angle: p15 C–F, p16 the C–C–X bond angle in degrees (the
//      same for every substituent), p17 C–C, p18 C–Cl, p19 the fraction of
//      the trans conformer (F–C–C–F dihedral 180°; the rest gauche, 60°).
//      Widths p26 … p37 by pair type as for model 1.
//   3  no molecule: evaluating it ends the program.
// Both C2F2Cl4 forms are built on a staggered ethane frame. Sensible start
// values are the standard lengths of single bonds between sp3 carbons and
// their substituents, C–C 1.54 Å, C–F 1.35 Å, C–Cl 1.77 Å, with tetrahedral
// angles of 109.47° (F. H. Allen et al., "Tables of bond lengths determined by
// X-ray and neutron diffraction", J. Chem. Soc. Perkin Trans. 2 (1987) S1);
// the geminal and anti distances of model 1 then follow from that frame (see
// the molecular tests, which build it).
//
// Every routine builds its pairs once per call from the parameters and then
// runs over the points. A geometry that admits no molecule (a negative number
// under a square root) gives NaN values.
#pragma once

#include "models/model_api.h"

namespace zorvik {

struct Atom {
  const char* element;  // "C", "F", "Cl", "H", "D"
  double x, y, z;       // Å
};

// A pair term of the model: distance, width, weight, and the two atoms it
// stands for (for a term that counts m equivalent pairs, one of them).
struct PairTerm {
  static constexpr int kNameSize = 12;
  char name[kNameSize];  // e.g. "dc0cl1"
  const char* kind;  // e.g. "C-Cl"
  double r, sigma, w;
  int a, b;  // indices into Structure::atoms
};

struct Structure {
  static constexpr int kMaxAtoms = 16;
  static constexpr int kMaxPairs = 64;
  int natoms = 0;
  Atom atoms[kMaxAtoms];
  int npairs = 0;
  PairTerm pairs[kMaxPairs];
  double total_weight = 0.0;  // W
  // Model 2 holds two conformers: atoms [0, per) trans, [per, 2·per) gauche.
  int conformers = 1;
  int atoms_per_conformer = 0;
};

// True for model numbers with a molecule (1, 2, 4, 5, 6).
bool has_structure(int model);

// The atoms and pair terms of molecule `model` at the parameters p (p[k] = pk).
void build_structure(int model, const double* p, Structure& s);

// g(r) and S(q) of a built structure.
double rdf_value(const Structure& s, double r, const double* p);
double sq_value(const Structure& s, int model, double q, const double* p);

// The catalogue's batch form: data set 1 S(q), data set 2 g(r), any other no value.
template <int Model>
bool molecule_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p);

}  // namespace zorvik
