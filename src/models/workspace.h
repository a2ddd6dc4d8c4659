// Scratch state that the model evaluation keeps between calls: the grid of model
// values of the convolution, and the caches of the whole-curve models. Owned by
// the caller (main), never global.
#pragma once

#include <array>

#include "core/capacity.h"
#include "core/table.h"
#include "models/dielectric.h"

namespace zorvik {

class Console;

struct ModelWorkspace {
  // Where the numerical routines of the models report trouble (and wait for the
  // Enter key); nullptr: nowhere.
  Console* con = nullptr;
  // Where the whole-curve dielectric models hand a failed loss inversion (the
  // program's set-up writes it to a file); nullptr: to none.
  FailedInversionSink failed_inversion = nullptr;
  // The line shapes with exponentials run their vector routines
  // (vector_shapes.h), which may differ from the per-point ones in the last
  // bits; off by default, on with the command-line option --vector.
  bool vector_shapes = false;
  // Model values on the extended convolution grid of the data set last
  // evaluated at its first point (index -5000 … 5000).
  Table<double, -kMaxConvHalf, kMaxConvHalf> yconv{"yconv"};
  // Model values of one data set's fit range, indexed like xi (1 … 5000).
  Table<double, 1, kMaxPoints> ycalc{"ycalc"};
  // Frequency tables, kernels and the last spectrum of the whole-curve
  // dielectric models.
  WholeCurve curve;

  // The descriptor of each data set's model and the routine it runs, looked
  // up when the data set is first evaluated with model `number` (and the
  // vector choice `vector`) and kept while neither changes: the catalogue is
  // searched once per run, not once per step.
  struct DataSetModel {
    int number = 0;
    bool vector = false;
    const ModelInfo* info = nullptr;
    BatchModel routine = nullptr;
  };
  std::array<DataSetModel, kMaxFunc + 1> models{};

  // The parameters at which the chain's chi-squares were computed, and the
  // parameters each data set's model reads (worked out for model number
  // reads_model[i]; 0: not yet): a proposal recomputes only the data sets
  // whose parameters moved, the others keep their chi-square.
  std::array<double, kMaxPar + 1> chisq_par{};
  bool chisq_par_valid = false;
  std::array<ParamSet, kMaxFunc + 1> reads{};
  std::array<int, kMaxFunc + 1> reads_model{};
};

}  // namespace zorvik
