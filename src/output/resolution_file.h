// "convf.dat": the resolution of a convolved data set as the reading centred it.
#pragma once

#include "core/run_tables.h"

namespace zorvik {

// One line k, xc, mi per kernel index k = −imaxconv … imaxconv of data set i.
void write_convf(const FitFunctions& d, int i);

}  // namespace zorvik
