// The fitted curves on disk: one result file per fitted data set (measured and
// calculated values and their difference), the listing of all data sets appended
// to the run's output file, and the initial-curve files written at the start of
// every run. gnuplot scripts plot these files.
#pragma once

#include "core/console.h"
#include "core/run_tables.h"
#include "models/workspace.h"

namespace zorvik {

// Writes the fitted curves at the current parameters `run.params.par`.
//
// writemode 0: for each data set k = 1 … nfunc with opfit(k) ≥ 1, the file
//   nomout(k) is replaced by " #x ydat ycalc diff" and one record
//   "(4(e15.7,2x))" per point of the fit range: x, ydat, ycalc, diff = ydat − ycalc.
//   Data sets on the molecular models (opfit 1 … 10) get the header
//   " #x ydat ycalc diff RDF" and records "(5(e15.7,2x))" whose fifth value is
//   the molecular term alone: the model evaluated again with the background
//   polynomial p2 … p7 set to zero (the six values are restored afterwards).
//   Two data sets with the same result name leave the later one in the file.
// writemode 1: appends to nomout(0), for every data set k = 1 … nfunc, fitted or
//   not: " Function:" + nomout(k), " #x ydat ycalc diff", and one record
//   "(6(es15.7,2x))" per point: x, ydat, ycalc, diff.
// writemode 10, 20: the molecule-geometry writers (write_molecules).
// any other writemode: nothing.
//
// Where the model has no value for a data set (model number 0, or a number
// that selects no routine in that slot) ycalc is written as 0.
void outwrite(int writemode, Run& run, ModelWorkspace& ws, Console& con);

// The molecule writers plug in here: the distance table and file of model 1,
// the XYZ conformer files of model 2, and the message of model 3, selected by
// the model numbers of data sets 1 and 2. Called by outwrite for writemodes 10
// and 20; it writes nothing yet.
void write_molecules(int writemode, Run& run, Console& con);

// The initial-curve files: for each data set i with opfit(i) > 0, the file
// "inicif<i>.dat" (i without leading zeros) in the working directory holding the
// line "#x y ycalc" and one free-format line " x y ycalc" per point of the fit
// range, ycalc at the current parameters (0 where the model has no value).
void write_initial_curves(Run& run, ModelWorkspace& ws);

}  // namespace zorvik
