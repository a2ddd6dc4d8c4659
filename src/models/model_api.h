// The interface between the model catalogue and its routines: the shape of a
// model routine, what it may read besides x and the parameters, and the
// descriptor that says everything the rest of the program needs to know about a
// model (its family, slots, parameters, convolution, peak files, help line).
// A model is one descriptor in the catalogue (catalogue.cpp) and one routine.
#pragma once

#include <bitset>

#include "core/capacity.h"

namespace zorvik {

class Console;
class WholeCurve;

// A loss inversion of the whole-curve dielectric models that did not converge:
// at n frequencies 10^logf[k], the loss it was to reproduce (eps) and the loss
// the distribution it reached gives (calc). Valid only during the call that
// reports it.
struct FailedInversion {
  const double* logf = nullptr;
  const double* eps = nullptr;
  const double* calc = nullptr;
  int n = 0;
};
// Where a model hands such a failure for the record: the program keeps it in a
// file (output/inversion_file.h); the models themselves write no file.
using FailedInversionSink = void (*)(const FailedInversion& failure);

// What a model may read besides x and the parameters: the z values of its data
// set (z[k] = z(i, k), k = 1 … 10: the temperature, the momentum transfer) and
// the console, for the numerical routines that report trouble and wait.
struct ModelEnv {
  const double* z = nullptr;
  Console* con = nullptr;
  // The tables and cache of the whole-curve dielectric models (models 50 … 52).
  WholeCurve* curve = nullptr;
  // Receives a failed loss inversion; nullptr: it is only reported on the console.
  FailedInversionSink failed_inversion = nullptr;
};

// Evaluates the model of data set i at x[0 … n-1] into y[0 … n-1]. Returns false,
// writing nothing, when the model has no value for this data set. `p` is the
// parameter vector with p[k] = pk (k = 1 … 100), only read.
using BatchModel = bool (*)(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p);

// A set of parameter numbers 1 … 100.
using ParamSet = std::bitset<kMaxPar + 1>;

// The three families of the catalogue.
enum class ModelFamily {
  molecular,   // S(q) in data set 1 and g(r) in data set 2 of one rigid molecule
  dielectric,  // loss spectra ε''(f): HN, CC and power-law terms
  simple,      // line shapes, quasi-elastic diffusion and rotation models
};

// Parameters p_first … p_last; empty when last < first.
struct ParamRange {
  int first = 0;
  int last = -1;
};

// The parameters a model reads when it evaluates data set i: the shared ranges
// (every data set), the block entries p(base + i) of data set i (models fitted
// to several data sets with per-set blocks), and for the molecules the range
// that only data set 1 (S(q)) or only data set 2 (g(r)) reads. A data set
// whose parameters did not move keeps its chi-square, so a parameter missing
// here is a step the chain does not see.
struct ParamBlocks {
  ParamRange shared[2] = {{1, kMaxPar}, {}};
  int bases[7] = {};
  ParamRange slot_only[2] = {};
};

// Which plot script the peak decomposition "pk" writes: the dielectric sums
// with named terms have their own, other models number their peaks, and the
// whole-curve spectra have none.
enum class PeakScript { numbered, none, hn_cc1_cc2, hn_cc, pl_cc1_cc2 };

// The descriptor of one model. The reader, the dispatcher, the chain, the
// writers and the help ask it about a model number. Only the molecules of
// models 1 … 6 are also told apart by number: by the geometry built for them
// (models/molecular.cpp), and by the files and the viewer of that geometry
// (output/molecule_files.cpp, the command "showmol").
struct ModelInfo {
  int number;
  const char* routine;  // name of the model routine (molecules: slot 1 / slot 2)
  ModelFamily family;
  BatchModel plain;             // the routine over a range of points
  BatchModel vector = nullptr;  // its vector-exponential form (option --vector), if any
  // A rule the state obeys for this model in data set i (the broken line's joined
  // intercept): it sets the derived parameters in p from the others. Applied by
  // whoever owns the parameter vector, each time data set i is evaluated.
  void (*rule)(int i, double* p) = nullptr;
  // Data-set slots in which the routine evaluates (per-set parameter blocks
  // exist for these only).
  int first_slot = 1;
  int last_slot = kMaxFunc;
  // First slot in which the "c"/"cf" options convolve it; 0: never convolved.
  int conv_first_slot = 0;
  // Computes the spectrum of its whole fit range at once, on the decimal
  // logarithms of f and ε'' (which the data reader takes), and needs at least
  // min_points points in the fit range.
  bool whole_curve = false;
  int min_points = 0;
  // The number of parameters the model insists on (0: any), and what the
  // program says before it stops when npar differs.
  int required_npar = 0;
  const char* npar_message = nullptr;
  // Weights its lines with spherical Bessel functions of q·R: the data file
  // must give q > 0 as its second z value.
  bool needs_q = false;
  ParamBlocks reads = {};
  // The column header of peaks.dat after "#x exp calc" (nullptr: P1 P2 …) and
  // the script "pk" writes.
  const char* peak_columns = nullptr;
  PeakScript peak_script = PeakScript::numbered;
  // The line of the help "hf" (nullptr: the model is not advertised).
  const char* help = nullptr;

  bool evaluates_in(int slot) const { return slot >= first_slot && slot <= last_slot; }
  bool convolvable_in(int slot) const { return conv_first_slot > 0 && slot >= conv_first_slot; }
};

}  // namespace zorvik
