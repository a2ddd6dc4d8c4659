// The optimum to full precision: the chain's best state polished by a local
// least-squares optimizer.
//
// A chain at T = 1 finds its lowest chi-square only to about the width of the
// posterior; the maximum-likelihood point itself is the minimum of
// χ²(θ) = Σ r_j(θ)², the weighted residuals r_j = (y_j − m_j(θ))/σ_j of every
// fitted data set (for counts, σ < 0, the signed square root of the Poisson
// deviance), which Levenberg–Marquardt finds from a nearby start:
//
//   K. Levenberg, "A method for the solution of certain non-linear problems in
//   least squares", Quart. Appl. Math. 2 (1944) 164;
//   D. W. Marquardt, "An algorithm for least-squares estimation of nonlinear
//   parameters", J. SIAM 11 (1963) 431;
//   J. J. Moré, "The Levenberg–Marquardt algorithm: implementation and theory",
//   Lecture Notes in Mathematics 630 (1978) 105 — the scaling
//   D = diag(max over the iterations of the Jacobian's column norms).
//
// Each iteration solves (JᵀJ + λD²)δ = −Jᵀr, takes the step when it lowers χ²
// (λ/10) and otherwise tries again with 10λ. The Jacobian comes from central
// differences with the step ε^(1/3)·|θ_k| (one-sided at a limit). The limits
// are kept by projection: a step is cut back to the limits, and a parameter at
// a limit whose gradient points outward is held there for the iteration.
// Every trial state is made as the chain makes its states from the free
// parameters: the masters of the equality groups set their members, then the
// order relations mirror what breaks them.
#pragma once

#include <vector>

#include "core/run_report.h"
#include "core/run_tables.h"
#include "models/workspace.h"

namespace zorvik {

// Polishes the state `start` (one value per free parameter, in the order of
// params.parfit) over the run's data. The run is only read; ws is the scratch
// of the evaluations (its ycalc is overwritten, its console silenced for the
// duration). values are the polished state's free parameters in the same order.
ReportOptimum polish_optimum(const Run& run, ModelWorkspace& ws, const std::vector<double>& start);

}  // namespace zorvik
