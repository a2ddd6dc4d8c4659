// The model dispatcher: the single entry through which the rest of the program
// obtains model values. The routine of a data set is selected once from its model
// number; the point loop then runs inside the model family, so that nothing is
// decided per point.
#pragma once

#include <string>

#include "core/console.h"
#include "core/run_tables.h"
#include "models/catalogue.h"
#include "models/workspace.h"

namespace zorvik {

// The batch routine of a plain (not convolved) model number, or nullptr; and
// its vector-exponential form (vector_shapes.h), or nullptr when it has none.
BatchModel plain_model(int opfit);
BatchModel vector_model(int opfit);

// Empty when data set i can be evaluated; otherwise the reason, as a sentence
// for the user: a number without a routine, a convolution the model has not
// (only the models whose descriptor allows it in that slot are convolved), a whole-curve fit range too short for
// the loss inversion.
std::string evaluation_problem(int i, const FitFunctions& d);

// Checks that can be made once before a model is evaluated (for example the
// five-Lorentzian model needs exactly 18 parameters); prints the system's message
// and throws ProgramStop when the model cannot run.
void check_model_ready(int opfit, int npar, Console& con);

// The model value of point j of data set i into y (left unchanged when the model
// has no value there). For convolved and whole-curve data sets the points of one
// data set must be asked for in increasing order starting at its first fit point:
// the model is sampled on the data set's convolution grid at that point (into
// ws.yconv), and every point of the data set is a kernel sum over that grid.
void functions(int j, int i, const FitFunctions& d, double& y, int npar, double* par, ModelWorkspace& ws);

// The model values of the whole fit range of data set i into ws.ycalc (indexed
// like xi), convolved with the resolution for options "c" and "cf" (ws.yconv
// then holds the data set's grid). The same numbers as `functions` point by
// point. Returns false when the model has no value for this data set.
bool evaluate_data_set(int i, const FitFunctions& d, int npar, double* par, ModelWorkspace& ws);

}  // namespace zorvik
