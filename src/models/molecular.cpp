#include "models/molecular.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/errors.h"
#include "models/convolution.h"

namespace zorvik {

namespace {

constexpr double kInvSqrtTwoPi = 0.3989422804014327;  // 1/√(2π)
constexpr double kPi = 3.141592653589793;

// Coherent scattering lengths (10⁻¹² cm).
constexpr double kBC = 0.6646, kBF = 0.5654, kBCl = 0.9577, kBD = 0.6671, kBH = -0.3739;

// Pair weights m·b_i·b_j as the models use them.
constexpr double kCC = 0.44169316;
constexpr double kCF2 = 0.75152968;
constexpr double kCCl1 = 0.63648742, kCCl2 = 1.27297484, kCCl4 = 2.54594968;
constexpr double kFF = 0.31967716;
constexpr double kFCl2 = 1.08296716;
constexpr double kClCl1 = 0.91718929, kClCl2 = 1.83437858, kClCl6 = 5.50313574;
constexpr double kCD2 = 0.88670932, kClD2 = 1.27776334, kDD = 0.44502241;
constexpr double kCH2 = 0.49698788, kClH2 = 0.71616806, kHH = 0.13980121;

struct Vec {
  double x, y, z;
};

double dist(const Vec& a, const Vec& b) {
  const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Builder of a structure: atoms by position, pair terms by distance.
class Builder {
 public:
  explicit Builder(Structure& s) : s_(s) {
    s_.natoms = 0;
    s_.npairs = 0;
    s_.total_weight = 0.0;
    s_.conformers = 1;
  }
  int atom(const char* element, const Vec& v) {
    s_.atoms[s_.natoms] = Atom{element, v.x, v.y, v.z};
    return s_.natoms++;
  }
  Vec at(int a) const { return Vec{s_.atoms[a].x, s_.atoms[a].y, s_.atoms[a].z}; }
  // A term whose distance is a parameter (the atoms were placed to match it).
  void pair(const char* name, const char* kind, double r, double sigma, double w, int a, int b) {
    PairTerm& t = s_.pairs[s_.npairs++];
    std::snprintf(t.name, sizeof t.name, "%s", name);
    t.kind = kind;
    t.r = r, t.sigma = sigma, t.w = w, t.a = a, t.b = b;
    s_.total_weight += w;
  }
  // A term whose distance follows from the placed atoms.
  void derived(const char* name, const char* kind, double sigma, double w, int a, int b) {
    pair(name, kind, dist(at(a), at(b)), sigma, w, a, b);
  }

 private:
  Structure& s_;
};

// The two intersections of the circles |v − P| = rp and |v − Q| = rq in a
// plane (coordinates u, v), as (u, v) pairs; NaN when the circles do not meet.
struct Point2 {
  double u, v;
};
void circles(Point2 p, double rp, Point2 q, double rq, Point2& s1, Point2& s2) {
  const double du = q.u - p.u, dv = q.v - p.v;
  const double d = std::sqrt(du * du + dv * dv);
  const double a = (rp * rp - rq * rq + d * d) / (2.0 * d);
  const double h = std::sqrt(rp * rp - a * a);
  const double mu = p.u + a * du / d, mv = p.v + a * dv / d;
  s1 = Point2{mu - h * dv / d, mv + h * du / d};
  s2 = Point2{mu + h * dv / d, mv - h * du / d};
}

// Which side of the line from p to q the point s lies on (sign of the cross product).
double side(Point2 p, Point2 q, Point2 s) { return (q.u - p.u) * (s.v - p.v) - (q.v - p.v) * (s.u - p.u); }

// Of the two intersections, the one on the other side of the line p → q than `away`.
Point2 opposite_side(Point2 p, double rp, Point2 q, double rq, Point2 away) {
  Point2 s1, s2;
  circles(p, rp, q, rq, s1, s2);
  return side(p, q, s1) * side(p, q, away) < 0.0 ? s1 : s2;
}

// ---- CCl4 -------------------------------------------------------------------

void ccl4(const double* p, Builder& b) {
  const double d = p[15];
  // Regular tetrahedron: Cl at d/√3·(±1, ±1, ±1) with an even number of minus signs.
  const double big = std::sqrt((0.9428090415820634 * d) * (0.9428090415820634 * d) +
                               (d * 0.3333333333333332 + d) * (d * 0.3333333333333332 + d));
  const double s = d / std::sqrt(3.0);
  const int c = b.atom("C", {0, 0, 0});
  const int cl1 = b.atom("Cl", {s, s, s});
  const int cl2 = b.atom("Cl", {s, -s, -s});
  b.atom("Cl", {-s, s, -s});
  b.atom("Cl", {-s, -s, s});
  b.pair("dccl", "C-Cl", d, p[16], kCCl4, c, cl1);
  b.pair("dclcl", "Cl-Cl", big, p[17], kClCl6, cl1, cl2);
}

// ---- trans C2X2Cl2 ----------------------------------------------------------

// The planar molecule in the plane y = 0 with the C=C bond on the z axis
// (built in coordinates (u, v) = (z, x)).
void trans(const double* p, bool deuterium, Builder& b) {
  const double h = p[15] / 2.0;
  // Cl1 on C1 = (h, 0): p16 from C1, p17 from C2 = (−h, 0).
  const double ucl = (p[17] * p[17] - p[16] * p[16]) / (4.0 * h);
  const double vcl = std::sqrt(p[16] * p[16] - (ucl - h) * (ucl - h));
  // X1: p18 from C1 and p19 from Cl1, the intersection with the larger u, on
  // the other side of the C=C axis from Cl1.
  Point2 s1, s2;
  circles({h, 0.0}, p[18], {ucl, vcl}, p[19], s1, s2);
  const double ux = s1.u > s2.u ? s1.u : s2.u;
  const double vx = -std::sqrt(p[18] * p[18] - (ux - h) * (ux - h));
  const char* x = deuterium ? "D" : "H";
  const int c1 = b.atom("C", {0, 0, h});
  const int c2 = b.atom("C", {0, 0, -h});
  const int cl1 = b.atom("Cl", {vcl, 0, ucl});
  const int x1 = b.atom(x, {vx, 0, ux});
  const int cl2 = b.atom("Cl", {-vcl, 0, -ucl});
  const int x2 = b.atom(x, {-vx, 0, -ux});
  const double wcx = deuterium ? kCD2 : -kCH2, wclx = deuterium ? kClD2 : -kClH2, wxx = deuterium ? kDD : kHH;
  const char* cx = deuterium ? "C-D" : "C-H";
  const char* clx = deuterium ? "Cl-D" : "Cl-H";
  const char* xx = deuterium ? "D-D" : "H-H";
  b.pair("dc1c2", "C-C", p[15], p[20], kCC, c1, c2);
  b.pair("dc1cl1", "C-Cl", p[16], p[21], kCCl2, c1, cl1);
  b.pair("dc1x1", cx, p[18], p[22], wcx, c1, x1);
  b.pair("dc2cl1", "C-Cl", p[17], p[23], kCCl2, c2, cl1);
  b.pair("dcl1x1", clx, p[19], p[25], wclx, cl1, x1);
  // C2–X1 = √((ux + h)² + vx²), Cl1–Cl2 = 2·√(ucl² + vcl²), X1–X2 = 2·√(ux² + vx²),
  // Cl1–X2 = √((ucl + ux)² + (vcl − |vx|)²): the distances of the placed atoms.
  b.pair("dc2x1", cx, std::sqrt((ux + h) * (ux + h) + vx * vx), p[24], wcx, c2, x1);
  b.pair("dcl1cl2", "Cl-Cl", 2.0 * std::sqrt(ucl * ucl + vcl * vcl), p[26], kClCl1, cl1, cl2);
  b.pair("dcl1x2", clx, std::sqrt((ucl + ux) * (ucl + ux) + (vcl - std::fabs(vx)) * (vcl - std::fabs(vx))), p[28],
         wclx, cl1, x2);
  b.pair("dx1x2", xx, 2.0 * std::sqrt(ux * ux + vx * vx), p[27], wxx, x1, x2);
}

// ---- C2F2Cl4, model 1: CCl3–CF2Cl from eleven distances ----------------------

// Carbons C0 (CCl3) at z = +c and C5 (CF2Cl) at z = −c; the mirror plane is
// y = 0. In-plane atoms are placed in coordinates (u, v) = (x, z); a mirror
// pair at height ±y lies where the circles of radii √(r² − y²) meet in the
// plane at that height.
void freon11(const double* p, Builder& b) {
  const double c = p[16] / 2.0;
  const Point2 c0{0.0, c}, c5{0.0, -c};
  // Cl0: p17 from C0 and p21 from C5, at x > 0.
  const double zcl0 = (p[21] * p[21] - p[17] * p[17]) / (4.0 * c);
  const Point2 cl0{std::sqrt(p[17] * p[17] - (zcl0 - c) * (zcl0 - c)), zcl0};
  // Cl5: p19 from C5 and p25 from Cl0, anti to Cl0 (at x < 0).
  Point2 s1, s2;
  circles(c5, p[19], cl0, p[25], s1, s2);
  const Point2 cl5 = s1.u < s2.u ? s1 : s2;
  // Cl1/Cl2 at y = ±p22/2: p18 from C0 and p23 from Cl0, turned away from C5.
  const double ycl = p[22] / 2.0;
  const Point2 cl1 = opposite_side(c0, std::sqrt(p[18] * p[18] - ycl * ycl), cl0,
                                   std::sqrt(p[23] * p[23] - ycl * ycl), c5);
  // F1/F2 at y = ±p20/2: p15 from C5 and p24 from Cl5, turned away from C0.
  const double yf = p[20] / 2.0;
  const Point2 f1 = opposite_side(c5, std::sqrt(p[15] * p[15] - yf * yf), cl5,
                                  std::sqrt(p[24] * p[24] - yf * yf), c0);

  const int C0 = b.atom("C", {0, 0, c});
  const int C5 = b.atom("C", {0, 0, -c});
  const int F1 = b.atom("F", {f1.u, yf, f1.v});
  const int F2 = b.atom("F", {f1.u, -yf, f1.v});
  const int Cl0 = b.atom("Cl", {cl0.u, 0, cl0.v});
  const int Cl1 = b.atom("Cl", {cl1.u, ycl, cl1.v});
  const int Cl2 = b.atom("Cl", {cl1.u, -ycl, cl1.v});
  const int Cl5 = b.atom("Cl", {cl5.u, 0, cl5.v});
  // Widths by pair type: p26 C–F bonded, p27 C–C, p28 C–Cl bonded, p29 F–F,
  // p30 C–F non-bonded, p31 F–Cl (Cl0), p32 C–Cl non-bonded, p33 Cl–Cl across
  // the CCl3 group and Cl1…Cl5, p34 the other F–Cl, p35 F–Cl geminal,
  // p36 Cl–Cl geminal (Cl0–Cl1), p37 Cl0…Cl5.
  b.pair("dc5f1", "C-F", p[15], p[26], kCF2, C5, F1);
  b.pair("dc0c5", "C-C", p[16], p[27], kCC, C0, C5);
  b.pair("dc0cl0", "C-Cl", p[17], p[28], kCCl1, C0, Cl0);
  b.pair("dc0cl1", "C-Cl", p[18], p[28], kCCl2, C0, Cl1);
  b.pair("dc5cl5", "C-Cl", p[19], p[28], kCCl1, C5, Cl5);
  b.pair("df1f2", "F-F", p[20], p[29], kFF, F1, F2);
  b.pair("dcl0c5", "C-Cl", p[21], p[32], kCCl1, Cl0, C5);
  b.pair("dcl1cl2", "Cl-Cl", p[22], p[33], kClCl1, Cl1, Cl2);
  b.pair("dcl0cl1", "Cl-Cl", p[23], p[36], kClCl2, Cl0, Cl1);
  b.pair("df1cl5", "F-Cl", p[24], p[35], kFCl2, F1, Cl5);
  b.pair("dcl0cl5", "Cl-Cl", p[25], p[37], kClCl1, Cl0, Cl5);
  b.derived("dcl0f1", "F-Cl", p[31], kFCl2, Cl0, F1);
  b.derived("dcl1cl5", "Cl-Cl", p[33], kClCl2, Cl1, Cl5);
  b.derived("dc0f1", "C-F", p[30], kCF2, C0, F1);
  b.derived("dc0cl5", "C-Cl", p[32], kCCl1, C0, Cl5);
  b.derived("dcl1c5", "C-Cl", p[32], kCCl2, Cl1, C5);
  b.derived("dcl1f1", "F-Cl", p[34], kFCl2, Cl1, F1);
  b.derived("dcl1f2", "F-Cl", p[34], kFCl2, Cl1, F2);
}

// ---- C2F2Cl4, model 2: CFCl2–CFCl2 from bonds and an angle -------------------

double scattering_length(const char* e) {
  switch (e[0]) {
    case 'C':
      return e[1] == 'l' ? kBCl : kBC;
    case 'F':
      return kBF;
    case 'D':
      return kBD;
    default:
      return kBH;
  }
}

// One conformer: C0 at z = +c with F1 at azimuth 0° and Cl1, Cl2 at 120°, 240°;
// C5 at z = −c with F2 at `f5` degrees and Cl3, Cl4 120° and 240° further on.
// Every substituent makes the angle θ with the C–C bond. Each of the 28 atom
// pairs is its own term, weighted by b_i·b_j times the conformer's fraction,
// with the width of its type: p26 C–F bonded, p27 C–C, p28 C–Cl bonded,
// p29 F–F, p30 C–F non-bonded, p31 F–Cl anti, p32 C–Cl non-bonded, p33 Cl–Cl
// gauche, p34 F–Cl gauche, p35 F–Cl geminal, p36 Cl–Cl geminal, p37 Cl–Cl anti.
void freon12_conformer(const double* p, double f5, double fraction, Builder& b) {
  const double c = p[17] / 2.0, theta = kPi * p[16] / 180.0;
  const double st = std::sin(theta), ct = std::cos(theta);
  static const char* const kLabel[8] = {"c0", "c5", "f1", "cl1", "cl2", "f2", "cl3", "cl4"};
  static const char* const kElement[8] = {"C", "C", "F", "Cl", "Cl", "F", "Cl", "Cl"};
  const double azimuth[8] = {0.0, 0.0, 0.0, 120.0, 240.0, f5, f5 + 120.0, f5 + 240.0};
  int idx[8];
  for (int k = 0; k < 8; ++k) {
    const bool on_c0 = k == 0 || (k >= 2 && k <= 4);
    const double zc = on_c0 ? c : -c;
    if (k < 2) {
      idx[k] = b.atom("C", {0, 0, zc});
      continue;
    }
    // Pointing away from the other carbon: the angle with the bond C→C' is θ.
    const double bond = kElement[k][1] == 'l' ? p[18] : p[15];
    const double phi = kPi * azimuth[k] / 180.0;
    idx[k] = b.atom(kElement[k], {bond * st * std::cos(phi), bond * st * std::sin(phi), zc - (on_c0 ? 1.0 : -1.0) * bond * ct});
  }
  auto owner = [](int k) { return k < 2 ? k : (k <= 4 ? 0 : 1); };
  for (int m = 0; m < 8; ++m)
    for (int n = m + 1; n < 8; ++n) {
      const bool fm = kElement[m][0] == 'F', fn = kElement[n][0] == 'F';
      const bool clm = kElement[m][1] == 'l', cln = kElement[n][1] == 'l';
      const char* kind;
      int width;
      if (n < 2) {
        kind = "C-C", width = 27;
      } else if (m < 2) {
        const bool bonded = owner(n) == m;
        kind = fn ? "C-F" : "C-Cl";
        width = fn ? (bonded ? 26 : 30) : (bonded ? 28 : 32);
      } else if (owner(m) == owner(n)) {
        kind = fm ? "F-Cl" : "Cl-Cl";
        width = fm ? 35 : 36;
      } else {
        const double turn = std::fabs(std::remainder(azimuth[m] - azimuth[n], 360.0));
        const bool anti = std::fabs(turn - 180.0) < 1.0;
        if (fm && fn)
          kind = "F-F", width = 29;
        else if (clm && cln)
          kind = "Cl-Cl", width = anti ? 37 : 33;
        else
          kind = "F-Cl", width = anti ? 31 : 34;
      }
      char name[PairTerm::kNameSize];
      std::snprintf(name, sizeof name, "d%s%s", kLabel[m], kLabel[n]);
      const double w = fraction * scattering_length(kElement[m]) * scattering_length(kElement[n]);
      b.derived(name, kind, p[width], w, idx[m], idx[n]);
    }
}

void freon12(const double* p, Structure& s, Builder& b) {
  freon12_conformer(p, 180.0, p[19], b);
  freon12_conformer(p, 60.0, 1.0 - p[19], b);
  s.conformers = 2;
  s.atoms_per_conformer = 8;
}

}  // namespace

bool has_structure(int model) { return model == 1 || model == 2 || (model >= 4 && model <= 6); }

void build_structure(int model, const double* p, Structure& s) {
  Builder b(s);
  switch (model) {
    case 1:
      freon11(p, b);
      break;
    case 2:
      freon12(p, s, b);
      break;
    case 4:
      ccl4(p, b);
      break;
    case 5:
    case 6:
      trans(p, model == 6, b);
      break;
    default:
      break;
  }
  if (s.conformers == 1) s.atoms_per_conformer = s.natoms;
}

double rdf_value(const Structure& s, double r, const double* p) {
  double sum = 0.0;
  for (int k = 0; k < s.npairs; ++k) {
    const PairTerm& t = s.pairs[k];
    const double d = r - t.r;
    sum += t.w * std::exp(-(d * d) / (2.0 * t.sigma * t.sigma)) / t.sigma;
  }
  return background_polynomial(r, p) + p[1] * kInvSqrtTwoPi / s.total_weight * sum;
}

namespace {

// Degree of the S(q) background polynomial p8 + p9·q + …: q⁴ for C2F2Cl4, q⁶ otherwise.
int sq_background_degree(int model) { return model == 1 || model == 2 ? 4 : 6; }

}  // namespace

double sq_value(const Structure& s, int model, double q, const double* p) {
  double sum = 0.0;
  for (int k = 0; k < s.npairs; ++k) {
    const PairTerm& t = s.pairs[k];
    const double qr = q * t.r;
    // sin(qr)/(qr) → 1 as qr → 0.
    const double sinc = qr == 0.0 ? 1.0 : std::sin(qr) / qr;
    const double qs = q * t.sigma;
    sum += t.w * sinc * std::exp(-(qs * qs) / 2.0);
  }
  double background = p[8], qk = 1.0;
  for (int k = 1; k <= sq_background_degree(model); ++k) {
    qk = qk * q;
    background = background + p[8 + k] * qk;
  }
  return p[1] * (sum / s.total_weight - background);
}

template <int Model>
bool molecule_batch(const ModelEnv& /*env*/, int i, const double* x, double* y, int n, const double* p) {
  // The benzophenone entries of the catalogue have no molecule: the program ends.
  if constexpr (Model == 3) {
    throw ProgramStop(0);
  } else {
    if (i != 1 && i != 2) return false;
    Structure s;
    build_structure(Model, p, s);
    if (i == 1)
      for (int k = 0; k < n; ++k) y[k] = sq_value(s, Model, x[k], p);
    else
      for (int k = 0; k < n; ++k) y[k] = rdf_value(s, x[k], p);
    return true;
  }
}

template bool molecule_batch<1>(const ModelEnv&, int, const double*, double*, int, const double*);
template bool molecule_batch<2>(const ModelEnv&, int, const double*, double*, int, const double*);
template bool molecule_batch<3>(const ModelEnv&, int, const double*, double*, int, const double*);
template bool molecule_batch<4>(const ModelEnv&, int, const double*, double*, int, const double*);
template bool molecule_batch<5>(const ModelEnv&, int, const double*, double*, int, const double*);
template bool molecule_batch<6>(const ModelEnv&, int, const double*, double*, int, const double*);

}  // namespace zorvik
