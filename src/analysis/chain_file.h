// Reading back the recorded Markov chain ("MMchain.dat"): a column header, then
// one record per step or write interval holding the step number, the total
// chi-square, par(1) … par(npar) and the chi-square of each data set. The
// contour and covariance routines stream it record by record; a chain of
// millions of steps is never held in memory.
#pragma once

#include <fstream>
#include <string>

#include "core/run_tables.h"

namespace zorvik {

// (The run writes it at chain_trace_path of core/output_paths.h.)
class ChainFileReader {
 public:
  // Opens the chain file and skips its column header. Throws FatalError naming
  // the file when it cannot be opened.
  ChainFileReader(std::string path, int nvalues);

  // The first nvalues numbers of the next record into v[0] … v[nvalues − 1]
  // (v[0] the step, v[1] the total chi-square, v[1 + i] parameter i). Values
  // are separated by blanks, tabs or commas; a record with fewer values goes on
  // to the next lines, and the rest of the last line used is not read, so the
  // chi-squares of the data sets to the right are skipped. Returns false at the
  // end of the file, also when it cuts a record short. "NaN" and "Infinity"
  // read as such (a failed model evaluation leaves them in the chain). Throws
  // InputError naming the file and the line for a value that is not a number.
  bool next(double* v);

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::ifstream in_;
  std::string line_;
  long long line_no_ = 0;
  int nvalues_;
};

}  // namespace zorvik
