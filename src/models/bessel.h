// Bessel functions of real order for the rotation models: the spherical Bessel
// functions j_l(x), y_l(x) and their derivatives, from the ordinary Bessel
// functions J_ν, Y_ν of half-integer order.
//
// Algorithm: for x < 2, Temme's series for Y_μ and Y_{μ+1} with |μ| ≤ 1/2
// (N. M. Temme, J. Comput. Phys. 21 (1976) 343), its gamma-function terms
// from Chebyshev expansions; for x ≥ 2, Steed's method, the continued
// fractions CF1 for J'_ν/J_ν and CF2 for p + iq = (J'_μ + iY'_μ)/(J_μ + iY_μ)
// (A. R. Barnett, D. H. Feng, J. W. Steed and L. J. B. Goldfarb, Comput. Phys.
// Commun. 8 (1974) 377). J is recurred downwards from order ν to μ and
// normalised by the Wronskian J_μ Y'_μ − Y_μ J'_μ = 2/(πx); Y is recurred upwards.
//
// Precision: the interface is single precision (arguments and results are
// floats), the arithmetic inside bessjy is double. With that interface j_l is
// good to a few parts in 1e7; j_l' = f·J' − j_l/(2x) loses relative accuracy
// where the two terms cancel (l = 0 at small x: 7e-3 relative at x = 1e-3).
//
// Trouble (bad arguments, a series or continued fraction that does not
// converge) is reported on the console with a wait for the Enter key, and the
// computation goes on with the values as they stand; with no console nothing
// is printed and nothing waits. Nothing is allocated.
#pragma once

namespace zorvik {

class Console;

// Chebyshev series Σ' c_k T_k(y) with y = (2x − a − b)/(b − a) mapping [a, b]
// onto [−1, 1], by Clenshaw's recurrence, half weight on c[0]; c[0 … m−1] are
// the m coefficients. Single precision throughout. For x outside [a, b] it
// reports "x not in range in chebev" and still returns the recurrence's value.
float chebev(float a, float b, const float* c, int m, float x, Console* con);

// The gamma-function terms of Temme's series for |x| ≤ 1/2:
//     Γ1 = (1/Γ(1 − x) − 1/Γ(1 + x)) / (2x),   Γ2 = (1/Γ(1 − x) + 1/Γ(1 + x)) / 2,
//     Γ+ = 1/Γ(1 + x) = Γ2 − x·Γ1,             Γ− = 1/Γ(1 − x) = Γ2 + x·Γ1,
// Γ1 and Γ2 from Chebyshev expansions in t = 8x² − 1 with single-precision
// coefficients (good to about 1e-7).
void beschb(double x, double& gam1, double& gam2, double& gampl, double& gammi, Console* con);

// J_ν(x), Y_ν(x) and their derivatives for x > 0, ν ≥ 0.
//
// The routine stays one function (about 150 lines) on purpose: it is the
// published algorithm above in its published order (CF1, the downward
// recurrence, Temme's series or CF2, the Wronskian normalisation, the upward
// recurrence), whose stages hand each other a dozen intermediate quantities
// (f, rjl, rjpl, xmu, the Wronskian w, …). Cut into functions, each stage would
// take and return most of them, and the one structure a reader can check
// against the papers would be spread over signatures.
void bessjy(float x, float xnu, float& rj, float& ry, float& rjp, float& ryp, Console* con);

// Spherical Bessel functions of order n ≥ 0 at x > 0 and their derivatives:
//     j_n(x) = √(π/(2x)) J_{n+1/2}(x),  y_n(x) = √(π/(2x)) Y_{n+1/2}(x),
//     j_n'(x) = √(π/(2x)) J'_{n+1/2}(x) − j_n(x)/(2x)  (likewise y_n').
// Bad arguments print "bad arguments in sphbes n , x: " with n and x and wait.
void sphbes(int n, float x, float& sj, float& sy, float& sjp, float& syp, Console* con);

}  // namespace zorvik
