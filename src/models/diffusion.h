// Quasi-elastic models of molecules that diffuse through space, rotate on a
// sphere, jump, flow, or move inside a confining volume, fitted at several
// momentum transfers q at once: data set i holds the spectrum at one q, the
// second z value of its file. Shared physical parameters sit at fixed low
// positions of p; each data set has its own area, centre and elastic
// fractions in blocks picked by the data-set index i = 1 … 9.
//
// Units: x and every width are in the unit of x (energy transfer); q in the
// unit of the file (Å⁻¹), so that a translational half width is Γ_D = D·q² and
// a rotational one l(l+1)·Dr, both directly in x units. R in the inverse unit
// of q (Å), the Bessel argument q·R dimensionless. No Planck or Boltzmann
// constant enters.
//
// Every model is a sum of Lorentzians L(W) = W / ((x − c)² + W²) (and one
// Gaussian in flowrot), divided by π once so that A·L/π has area A, on the
// quadratic background B(x) = p1 + p2·x + p3·x².
//
// Isotropic rotational diffusion on a sphere of radius R (V. F. Sears, Can. J.
// Phys. 44 (1966) 1299) gives the elastic weight j0²(qR) and the quasi-elastic
// lines (2l+1)·j_l²(qR)·L(l(l+1)·Dr); independent translational diffusion
// (Fick's law: Γ_D = D·q²) adds Γ_D to every width, a confined motion with an
// elastic fraction f splits each line into f·L(W) + (1 − f)·L(W + Γc).
// The Bessel argument s = q·R and the values j_l(s) are single precision.
//
// Each model comes in two forms with identical numbers: the per-point form
// (name of the model, the shape of the line shapes of lineshapes.h plus the
// model environment) and the batch form (`_batch`, the catalogue's BatchModel),
// which computes everything that does not depend on x — the Bessel weights
// above all — once per call instead of once per point.
//
// Data-set index: i = 1 … 9 evaluates; 10 … 20 gives no value (false, y left
// unchanged); an index outside 1 … 20 stops with the index-range message.
#pragma once

#include <string>

#include "models/model_api.h"

namespace zorvik {

// Highest data-set index with a parameter block.
inline constexpr int kDiffusionSets = 9;

// Empty when data set with model `opfit` and z values z[1 … nz] can be
// evaluated; otherwise the reason, as a sentence for the user. The rotation
// models (those whose descriptor says needs_q) weight their lines with
// j_l(q·R) and need a positive momentum transfer q = z[2]: without it the
// Bessel routines would report and wait at every evaluation.
std::string q_problem(int opfit, const double* z, int nz);

// ---- per-point forms: bool model(env, i, x, p, y) ----------------------------
// p[k] = pk (k = 1 … 100), env.z[k] = z(i, k), env.con the console (may be null).

// [111] y = B + (A/π)·[f·L(D·q²) + (1 − f)·L(Γ0)]
//       Γ0 = p4, D = p5; A = p(5+i), f = p(14+i), c = p(23+i).
bool dif(const ModelEnv& env, int i, double x, const double* p, double& y);
// [118] y = B + (A/π)·[f·L(Γ_D) + (1 − f)·L(Γ_D + Γc)]
//       Γc = p4, D = p5; A = p(5+i), f = p(14+i), c = p(23+i).
bool dif1conf(const ModelEnv& env, int i, double x, const double* p, double& y);
// [119] y = B + (A/π)·[a·b·L(Γ_D) + a(1−b)·L(Γ_D+Γ2) + b(1−a)·L(Γ_D+Γ1) + (1−a)(1−b)·L(Γ_D+Γ1+Γ2)]
//       Γ1 = p4, Γ2 = p5, D = p6; A = p(6+i), a = p(15+i), b = p(24+i), c = p(33+i).
bool dif2conf(const ModelEnv& env, int i, double x, const double* p, double& y);
// [112] y = B + (A/π)·[j0²·L(Γ_D) + 3·j1²·L(W1)],  W1 = 2Dr/(1 + 2τDr)^β + Γ_D
//       R = p4, Dr = p5, D = p6, τ = p25, β = p26; A = p(6+i), c = p(15+i).
bool difrot(const ModelEnv& env, int i, double x, const double* p, double& y);
// [113] y = B + (A/π)·[j0²·L(Γ_D) + j1²·(L(W10) + 2·L(W11))],
//       W1m = 2Dr + m²(r·Dr − Dr) + Γ_D (r = 1: 3·j1²·L(2Dr + Γ_D))
//       R = p4, Dr = p5, D = p6, r = p25; A = p(6+i), c = p(15+i).
bool difrota(const ModelEnv& env, int i, double x, const double* p, double& y);
// [120] y = B + (A/π)·[j0²·(f·L(Γ_D) + (1−f)·L(Γ_D+Γc)) + Σ_{l=1..6} (2l+1)·j_l²·(f·L(W_l) + (1−f)·L(W_l+Γc))],
//       W_l = l(l+1)·Dr + Γ_D;  R = p4, Dr = p5, Γc = p6, D = p7; A = p(7+i), f = p(16+i), c = p(25+i).
bool difrotconf(const ModelEnv& env, int i, double x, const double* p, double& y);
// [121] y = B + (A/π)·[j0²·exp(−x²/(2u²))/(u√(2π)) + 3·j1²·L(W1)],  u = q·v,
//       W1 = 2Dr/(1 + 2τDr)^β + u, the Gaussian centred at x = 0, the line at c.
//       The unit-area Gaussian is divided by π with the Lorentzians: its area is A·j0²/π.
//       R = p4, Dr = p5, v = p6, τ = p25, β = p26; A = p(6+i), c = p(15+i).
bool flowrot(const ModelEnv& env, int i, double x, const double* p, double& y);

// ---- batch forms (catalogue rows 111 … 113, 118 … 121) ------------------------
bool dif_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p);
bool dif1conf_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p);
bool dif2conf_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p);
bool difrot_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p);
bool difrota_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p);
bool difrotconf_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p);
bool flowrot_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p);

}  // namespace zorvik
