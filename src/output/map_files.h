// The maps over a grid of two parameters (analysis/contours.h computes them):
// the chi-square map of a contour request, in the file the parameter file
// names, and the bivariate probability density of the recorded chain. Each line
// is x, y, value in free format; an empty line follows each x when the map asks
// for row breaks.
#pragma once

#include <string>

#include "core/distribution_tables.h"
#include "core/run_tables.h"

namespace zorvik {

// The header "#", the first five characters of the x parameter's name in a
// field of 40, the y parameter's name in its 15 characters, "chisq"; then the map.
void write_chisq_map(const std::string& path, const Name15& xname, const Name15& yname, const PairMap& map);

// The header "# par i     par j probability", then the map.
void write_probability_map(const std::string& path, int i, int j, const PairMap& map);

}  // namespace zorvik
