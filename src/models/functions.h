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

// Empty when data set i can be evaluated; otherwise the reason, as a sentence
// for the user: a number without a routine, a convolution the model has not
// (only the models whose descriptor allows it in that slot are convolved), a whole-curve fit range too short for
// the loss inversion.
std::string evaluation_problem(int i, const FitFunctions& d);

// Checks that can be made once before a model is evaluated (for example the
// five-Lorentzian model needs exactly 18 parameters); prints the system's message
// and throws ProgramStop when the model cannot run.
void check_model_ready(int opfit, int npar, Console& con);

// The model values of the whole fit range of data set i into ws.ycalc (indexed
// like xi), convolved with the resolution for options "c" and "cf" (ws.yconv
// then holds the data set's grid). Returns false when the model has no value for this data set.
bool evaluate_data_set(int i, const FitFunctions& d, int npar, const double* par, ModelWorkspace& ws);

// The rule of data set i's model on the parameter vector par (ModelInfo::rule),
// for a data set with points to evaluate; nothing for a model without one. The
// owner of a state applies it before evaluating set i, so that the state holds
// the derived values the model uses.
void apply_model_rule(int i, const FitFunctions& d, double* par);

}  // namespace zorvik
