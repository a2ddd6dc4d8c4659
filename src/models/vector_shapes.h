// The line shapes with exponentials, evaluated over a whole data set with the
// vector exponential of exp_array: the three Gaussians of models 101 and 102,
// the stretched exponential (114) and the Gaussian of models 116 and 123. Each
// computes every other operation exactly as its per-point routine in
// lineshapes.h (same operations, same order), so a value differs from the
// per-point one only through the exponential: by at most a few units in the
// last place of each exponential, which the tests bound by 1e-13 relative per
// point. The rational shapes (Lorentzians, the Voigt approximation, the
// polynomial) have no exponential and keep their one routine.
//
// The per-point routines stay the default, so that a run is reproduced to the
// last bit; the vector ones are chosen for a run by the command-line option
// --vector (ModelWorkspace::vector_shapes).
#pragma once

#include "models/model_api.h"

namespace zorvik {

// The vector forms of models 101, 102, 114, 116 and 123 (the catalogue rows
// name them; the dispatcher takes them from there under --vector).
bool gauss_vector(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p);
bool gaussl_vector(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p);
bool kww_vector(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p);
bool gll_vector(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p);
bool gvv_vector(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p);

}  // namespace zorvik
