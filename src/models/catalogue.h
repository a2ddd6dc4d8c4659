// The model catalogue: which model numbers select a routine (and that routine),
// in which data-set slots and up to which data-set index they evaluate, and
// whether the convolution with the resolution function applies. The parameter-file reader
// uses it to refuse a model that would silently evaluate nothing; the dispatcher
// selects routines by the same numbers.
#pragma once

#include <bitset>
#include <string>

#include "core/capacity.h"

namespace zorvik {

class Console;
class WholeCurve;

// What a model may read besides x and the parameters: the z values of its data
// set (z[k] = z(i, k), k = 1 … 10: the temperature, the momentum transfer) and
// the console, for the numerical routines that report trouble and wait.
struct ModelEnv {
  const double* z = nullptr;
  Console* con = nullptr;
  // The tables and cache of the whole-curve dielectric models (models 50 … 52).
  WholeCurve* curve = nullptr;
};

// Evaluates the model of data set i at x[0 … n-1] into y[0 … n-1]. Returns false,
// writing nothing, when the model has no value for this data set. `p` is the
// parameter vector with p[k] = pk (k = 1 … 100); only the broken-line model writes
// into it.
using BatchModel = bool (*)(const ModelEnv& env, int i, const double* x, double* y, int n, double* p);

struct ModelInfo {
  int number;
  BatchModel plain;      // the routine over a range of points, unconvolved
  const char* routine;   // name of the model routine (for slot 2 of the molecules: slot 1 / slot 2)
  int first_slot;        // data-set slots in which the routine evaluates
  int last_slot;
  bool convolvable;      // the "c"/"cf" options convolve it (in the slots where it applies)
  int conv_first_slot;   // first slot in which the convolution applies
};

// A set of parameter numbers 1 … 100.
using ParamSet = std::bitset<kMaxPar + 1>;

// The parameters model `number` reads when it evaluates data set i: shared
// parameters and that data set's own block entries (for the models fitted to
// several data sets with per-set blocks), S(q) or g(r) terms (molecules), and
// every parameter for the others. A data set whose parameters did not move
// keeps its chi-square.
ParamSet model_reads(int number, int i);

// The catalogue entry of a model number, or nullptr when the number selects no routine.
const ModelInfo* find_model(int number);

// Empty when model `number` evaluates in data set `slot` with the file option
// `option` ("c", "cf" or any other word); otherwise the reason it cannot, as a
// sentence for the user.
std::string model_slot_problem(int number, int slot, const std::string& option);

}  // namespace zorvik
