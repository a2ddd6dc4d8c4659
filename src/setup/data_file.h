// Reading of the data files and the resolution functions of every fitted data set.
#pragma once

#include "core/console.h"
#include "core/run_tables.h"
#include "setup/read_outcome.h"

namespace zorvik {

// Reads every fitted data set (points, "zvalues" header, fit range, sigma
// statistics), prepares the resolution functions and convolution grids, writes
// "convf.dat", and takes decimal logarithms for the whole-curve dielectric models
// 50 to 52. Returns Reread when the user chose to edit the parameter file after a
// missing data file. Stops with InputError / ProgramStop on fatal input.
// Fills the data tables; of the settings it changes only plotaxes (linear axes
// for the logarithms of the whole-curve models).
ReadOutcome dataread(RunSettings& settings, FitFunctions& data, Console& con);

}  // namespace zorvik
