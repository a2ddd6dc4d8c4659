#include "models/diffusion.h"

#include <cmath>

#include "core/capacity.h"
#include "core/console.h"
#include "core/free_format.h"
#include "core/table.h"
#include "models/bessel.h"
#include "models/catalogue.h"

namespace zorvik {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kSqrtTwoPi = 2.5066282746310002;  // √(2π), normalises the flow Gaussian
// Rotational terms: one (l = 1) in difrot, difrota and flowrot, six in difrotconf.
constexpr int kMaxL = 6;

// Unnormalised Lorentzian of half width w at squared distance d2 = (x − c)².
inline double lor(double d2, double w) { return w / (d2 + w * w); }

// Whether data set i has a parameter block; an index beyond the z table stops.
bool has_block(int i) {
  check_index("z", 1, 1, kMaxFunc, i);
  return i <= kDiffusionSets;
}

// What every model has: the background, the centre of its lines and area/π.
struct Common {
  double b0, b1, b2;  // background p1 + p2·x + p3·x²
  double c;           // centre of the lines
  double api;         // area / π
};

Common common(const double* p, double area, double centre) {
  return {p[1], p[2], p[3], centre, area / kPi};
}

inline double background(const Common& m, double x) { return m.b0 + m.b1 * x + m.b2 * (x * x); }

// The Bessel weights at s = q·R (single precision): j0² = (sin s / s)² and
// j_l², l = 1 … lmax, from sphbes. A zero argument is reported before every
// sphbes call, with R and q, and a wait.
struct BesselWeights {
  double j0sq;
  double jsq[kMaxL + 1];
};

BesselWeights bessel_weights(double q, double radius, int lmax, Console* con) {
  BesselWeights b{};
  const float s = static_cast<float>(q * radius);
  const float j0 = std::sin(s) / s;
  b.j0sq = static_cast<double>(j0) * static_cast<double>(j0);
  for (int l = 1; l <= lmax; ++l) {
    if (s == 0.0f && con) {
      con->line("ERROR. x=0. Rgir,q: ", radius, q);
      con->pause();
    }
    float sj = 0.0f, sy = 0.0f, sjp = 0.0f, syp = 0.0f;
    sphbes(l, s, sj, sy, sjp, syp, con);
    b.jsq[l] = static_cast<double>(sj) * static_cast<double>(sj);
  }
  return b;
}

// Half width of rotational line l with jump-like relaxation: the rotational
// rate l(l+1)·Dr slowed by (1 + τ·l(l+1)·Dr)^β (τ = 0: rotational diffusion),
// plus a width `add` of the other motion. τ and β are single precision.
double jump_width(int l, double dr, float tau, float beta, double add) {
  const double ll = l * (l + 1);
  return ll * dr / std::pow(1.0 + static_cast<double>(tau) * ll * dr, static_cast<double>(beta)) + add;
}

// ---- the models: x-independent factors, then the value at one x -----------

// [111] and [118]: two lines, f·L(w1) + (1 − f)·L(w2).
struct TwoLines {
  Common m;
  double f, g, w1, w2;
};

double two_lines_value(const TwoLines& t, double x) {
  const double d = x - t.m.c;
  const double d2 = d * d;
  return background(t.m, x) + t.m.api * (t.f * lor(d2, t.w1) + t.g * lor(d2, t.w2));
}

struct Dif {
  using Factors = TwoLines;
  static Factors factors(const ModelEnv& env, int i, const double* p) {
    const double q = env.z[2];
    const double gd = p[5] * (q * q);
    const double f = p[14 + i];
    return {common(p, p[5 + i], p[23 + i]), f, 1.0 - f, gd, p[4]};
  }
  static double value(const Factors& t, double x) { return two_lines_value(t, x); }
};

struct Dif1conf {
  using Factors = TwoLines;
  static Factors factors(const ModelEnv& env, int i, const double* p) {
    const double q = env.z[2];
    const double gd = p[5] * (q * q);
    const double f = p[14 + i];
    return {common(p, p[5 + i], p[23 + i]), f, 1.0 - f, gd, gd + p[4]};
  }
  static double value(const Factors& t, double x) { return two_lines_value(t, x); }
};

// [119]: two independent confined motions, each with its elastic fraction.
struct Dif2conf {
  struct Factors {
    Common m;
    double w[4];      // a·b, a·(1 − b), b·(1 − a), (1 − a)·(1 − b)
    double width[4];  // Γ_D, Γ_D + Γ2, Γ_D + Γ1, Γ_D + Γ1 + Γ2
  };
  static Factors factors(const ModelEnv& env, int i, const double* p) {
    const double q = env.z[2];
    const double g1 = p[4], g2 = p[5];
    const double gd = p[6] * (q * q);
    const double a = p[15 + i], b = p[24 + i];
    return {common(p, p[6 + i], p[33 + i]),
            {a * b, a * (1.0 - b), b * (1.0 - a), (1.0 - a) * (1.0 - b)},
            {gd, gd + g2, gd + g1, gd + g1 + g2}};
  }
  static double value(const Factors& t, double x) {
    const double d = x - t.m.c;
    const double d2 = d * d;
    return background(t.m, x) + t.m.api * (t.w[0] * lor(d2, t.width[0]) + t.w[1] * lor(d2, t.width[1]) +
                                           t.w[2] * lor(d2, t.width[2]) + t.w[3] * lor(d2, t.width[3]));
  }
};

// Rotational lines Σ_l (2l+1)·j_l²·L(W_l), accumulated in increasing l.
struct RotLines {
  int lmax;
  double w[kMaxL + 1];      // (2l+1)·j_l²
  double width[kMaxL + 1];  // W_l
};

double rot_sum(const RotLines& r, double d2) {
  double sum = 0.0;
  for (int l = 1; l <= r.lmax; ++l) sum += r.w[l] * lor(d2, r.width[l]);
  return sum;
}

RotLines rot_lines(const BesselWeights& b, int lmax) {
  RotLines r{};
  r.lmax = lmax;
  for (int l = 1; l <= lmax; ++l) r.w[l] = (2 * l + 1) * b.jsq[l];
  return r;
}

// [112]: translational diffusion and rotation on a sphere, by diffusion
// (τ = 0) or by jumps (τ ≠ 0, stretched by β).
struct Difrot {
  struct Factors {
    Common m;
    double j0sq, gd;
    RotLines rot;
  };
  static Factors factors(const ModelEnv& env, int i, const double* p) {
    const double q = env.z[2];
    const double radius = p[4], dr = p[5];
    const double gd = p[6] * (q * q);
    const float tau = static_cast<float>(p[25]), beta = static_cast<float>(p[26]);
    const BesselWeights b = bessel_weights(q, radius, 1, env.con);
    Factors t{common(p, p[6 + i], p[15 + i]), b.j0sq, gd, rot_lines(b, 1)};
    t.rot.width[1] = jump_width(1, dr, tau, beta, gd);
    return t;
  }
  static double value(const Factors& t, double x) {
    const double d = x - t.m.c;
    const double d2 = d * d;
    return background(t.m, x) + t.m.api * (t.j0sq * lor(d2, t.gd) + rot_sum(t.rot, d2));
  }
};

// [113]: anisotropic rotational diffusion of a symmetric top: the line l = 1
// splits by |m| into W_1m = 2·Dr + m²·(r·Dr − Dr) + Γ_D, with r the ratio of
// the rotational coefficients about and perpendicular to the symmetry axis.
struct Difrota {
  struct Factors {
    Common m;
    double j0sq, gd;
    bool isotropic;  // r = 1 exactly: one line 3·j1²·L(2·Dr + Γ_D)
    RotLines rot;
    double j1sq, w10, w11;
  };
  static Factors factors(const ModelEnv& env, int i, const double* p) {
    const double q = env.z[2];
    const double radius = p[4], dr = p[5];
    const double gd = p[6] * (q * q);
    const double r = p[25];
    const BesselWeights b = bessel_weights(q, radius, 1, env.con);
    Factors t{common(p, p[6 + i], p[15 + i]), b.j0sq, gd, r == 1.0, rot_lines(b, 1), b.jsq[1], 0.0, 0.0};
    const double ll = 2.0;  // l(l+1) for l = 1
    t.rot.width[1] = ll * dr + gd;
    t.w10 = ll * dr + 0.0 * (r * dr - dr) + gd;
    t.w11 = ll * dr + 1.0 * (r * dr - dr) + gd;
    return t;
  }
  static double value(const Factors& t, double x) {
    const double d = x - t.m.c;
    const double d2 = d * d;
    const double rot = t.isotropic ? rot_sum(t.rot, d2) : t.j1sq * (lor(d2, t.w10) + 2.0 * lor(d2, t.w11));
    return background(t.m, x) + t.m.api * (t.j0sq * lor(d2, t.gd) + rot);
  }
};

// [120]: translational diffusion, rotational diffusion (l = 1 … 6) and a
// confined motion of elastic fraction f that broadens every line by Γc.
struct Difrotconf {
  struct Factors {
    Common m;
    double f, g, j0sq, gd, gdc;
    RotLines rot;
    double widthc[kMaxL + 1];  // W_l + Γc
  };
  static Factors factors(const ModelEnv& env, int i, const double* p) {
    const double q = env.z[2];
    const double radius = p[4], dr = p[5], gc = p[6];
    const double gd = p[7] * (q * q);
    const double f = p[16 + i];
    const BesselWeights b = bessel_weights(q, radius, kMaxL, env.con);
    Factors t{common(p, p[7 + i], p[25 + i]), f, 1.0 - f, b.j0sq, gd, gd + gc, rot_lines(b, kMaxL), {}};
    for (int l = 1; l <= kMaxL; ++l) {
      t.rot.width[l] = l * (l + 1) * dr + gd;
      t.widthc[l] = t.rot.width[l] + gc;
    }
    return t;
  }
  static double value(const Factors& t, double x) {
    const double d = x - t.m.c;
    const double d2 = d * d;
    double rot = 0.0;
    for (int l = 1; l <= t.rot.lmax; ++l)
      rot += t.rot.w[l] * (t.f * lor(d2, t.rot.width[l]) + t.g * lor(d2, t.widthc[l]));
    const double elastic = t.j0sq * (t.f * lor(d2, t.gd) + t.g * lor(d2, t.gdc));
    return background(t.m, x) + t.m.api * (elastic + rot);
  }
};

// [121]: flow with a velocity spread, u = q·v, which turns the elastic line
// into a Gaussian of standard deviation u about x = 0, and rotation as in
// [112] with every rotational line broadened by u. The Gaussian is written
// as π·G with G of unit area, so that under the common factor A/π it has the
// area A·j0² like each Lorentzian line A·(2l+1)·j_l²: the weights then keep
// the sum rule Σ (2l+1)·j_l²(s) = 1 of the spherical Bessel functions and the
// spectrum without background has the area A·(j0² + 3·j1²).
struct Flowrot {
  struct Factors {
    Common m;
    double j0sq, two_u2, gnorm;  // 2u², u·√(2π)/π
    RotLines rot;
  };
  static Factors factors(const ModelEnv& env, int i, const double* p) {
    const double q = env.z[2];
    const double radius = p[4], dr = p[5];
    const double u = q * p[6];
    const float tau = static_cast<float>(p[25]), beta = static_cast<float>(p[26]);
    const BesselWeights b = bessel_weights(q, radius, 1, env.con);
    Factors t{common(p, p[6 + i], p[15 + i]), b.j0sq, 2.0 * (u * u), u * kSqrtTwoPi / kPi, rot_lines(b, 1)};
    t.rot.width[1] = jump_width(1, dr, tau, beta, u);
    return t;
  }
  static double value(const Factors& t, double x) {
    const double d = x - t.m.c;
    const double d2 = d * d;
    const double flow = t.j0sq * std::exp(-(x * x) / t.two_u2) / t.gnorm;
    return background(t.m, x) + t.m.api * (flow + rot_sum(t.rot, d2));
  }
};

// The per-point form: the factors for this one point, then its value.
template <class M>
bool point(const ModelEnv& env, int i, double x, const double* p, double& y) {
  if (!has_block(i)) return false;
  y = M::value(M::factors(env, i, p), x);
  return true;
}

// The batch form: the factors once, then every point.
template <class M>
bool batch(const ModelEnv& env, int i, const double* __restrict x, double* __restrict y, int n, const double* p) {
  if (!has_block(i)) return false;
  const typename M::Factors t = M::factors(env, i, p);
  for (int k = 0; k < n; ++k) y[k] = M::value(t, x[k]);
  return true;
}

}  // namespace

std::string q_problem(int opfit, const double* z, int nz) {
  const ModelInfo* m = find_model(opfit);
  if (!m || !m->needs_q) return "";
  const std::string need = "model " + std::to_string(opfit) +
                           " weights its lines with spherical Bessel functions of q*R and needs the momentum "
                           "transfer q > 0 as the second z value (first line \"zvalues 2 z1 q\")";
  if (nz < 2) return need + ", but the file gives " + (nz <= 0 ? std::string("no z values") : "only one z value");
  const double q = z[2];
  if (q == 0.0) return need + ", but q is 0";
  if (!(q > 0.0)) return need + ", but q is " + shortest(q);
  return "";
}

bool dif(const ModelEnv& env, int i, double x, const double* p, double& y) { return point<Dif>(env, i, x, p, y); }
bool dif1conf(const ModelEnv& env, int i, double x, const double* p, double& y) {
  return point<Dif1conf>(env, i, x, p, y);
}
bool dif2conf(const ModelEnv& env, int i, double x, const double* p, double& y) {
  return point<Dif2conf>(env, i, x, p, y);
}
bool difrot(const ModelEnv& env, int i, double x, const double* p, double& y) {
  return point<Difrot>(env, i, x, p, y);
}
bool difrota(const ModelEnv& env, int i, double x, const double* p, double& y) {
  return point<Difrota>(env, i, x, p, y);
}
bool difrotconf(const ModelEnv& env, int i, double x, const double* p, double& y) {
  return point<Difrotconf>(env, i, x, p, y);
}
bool flowrot(const ModelEnv& env, int i, double x, const double* p, double& y) {
  return point<Flowrot>(env, i, x, p, y);
}

bool dif_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p) {
  return batch<Dif>(env, i, x, y, n, p);
}
bool dif1conf_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p) {
  return batch<Dif1conf>(env, i, x, y, n, p);
}
bool dif2conf_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p) {
  return batch<Dif2conf>(env, i, x, y, n, p);
}
bool difrot_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p) {
  return batch<Difrot>(env, i, x, y, n, p);
}
bool difrota_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p) {
  return batch<Difrota>(env, i, x, y, n, p);
}
bool difrotconf_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p) {
  return batch<Difrotconf>(env, i, x, y, n, p);
}
bool flowrot_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p) {
  return batch<Flowrot>(env, i, x, y, n, p);
}

}  // namespace zorvik
