// "getpar.dat": a parameter repeated once per data set against the data sets'
// first z value (the temperature, the momentum transfer), for plotting how a
// fitted quantity runs with it.
#pragma once

#include <utility>
#include <vector>

namespace zorvik {

// One line per (z, parameter value) pair, in free format.
void write_getpar(const std::vector<std::pair<double, double>>& rows);

}  // namespace zorvik
