// The covariance matrix of the free parameters from the recorded chain.
#pragma once

#include "core/console.h"
#include "core/run_tables.h"

namespace zorvik {

// Reads the chain file and prints the square roots of the covariance matrix of
// the free parameters (about the means pmed of the distributions).
void covar(const Run& run, Console& con);

}  // namespace zorvik
