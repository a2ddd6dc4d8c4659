// The trace files of a run, appended to as the chain goes: the chi-square trace
// (the parameter file's chifile: step, total chi-square, the percentages of
// unchanged, downhill and uphill steps, each parameter's acceptance and each
// data set's chi-square), jump.dat and move.dat (every parameter's step), one
// record per write interval, and with gparmode 2 or 3 the chain trace (step,
// chi-square, parameters, the data sets' chi-squares) after every step or every
// write interval.
#pragma once

#include <array>
#include <cstdint>
#include <fstream>
#include <string>

#include "core/checkpoint_io.h"
#include "core/record_format.h"
#include "core/run_tables.h"

namespace zorvik {

class TraceFiles {
 public:
  // A new run: every file written anew with its header.
  void open(const Run& run);
  // A resumed run: every file cut back to its length at the checkpoint (what
  // a killed run wrote after it goes) and opened for appending.
  void reopen(const Run& run, StateReader& in);
  // Their lengths, flushed first (so that they are those on disk), each a file
  // the checkpoint needs.
  void save(StateWriter& out);
  // Flushes the files and stops, naming the file, when a write failed (a full
  // disk, a file that became unwritable): a trace that silently stops would
  // pass for a complete one.
  void flush();
  // One record of the chain trace: the state after step chain.icycle.
  void chain_state(const Run& run);
  // The records of a write interval (the percentages of unchanged, downhill and
  // uphill steps in it), then flushed.
  void interval(const Run& run, std::int64_t icycle, const std::array<double, 3>& pct);

 private:
  std::ofstream chi_, jump_, move_, chain_;
  std::string chi_name_, chain_name_;
  RecordLine chain_rec_{"(i12,2x,200es15.6)"};
  RecordLine chi_rec_{"(i12,1x,200(1x,es12.6))"};
  RecordLine jump_rec_{"(i12,1x,100(1x,es12.6))"};
  RecordLine move_rec_{"(i12,100es15.6)"};
};

}  // namespace zorvik
