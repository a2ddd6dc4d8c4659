// chain.dat, the thinned states of a --seed run for --combine, written as the
// chain grows: a run that is killed (a batch system's time limit, SIGKILL)
// leaves its chain up to the last write interval, and a file that --combine
// reads.
//
// The layout: the header lines "# steps N thinning m seed s parfile f",
// "# parameters i1 i2 …" and "# step chisq name1 name2 …", then one line per
// state: the step after which it was taken, χ², the free parameters in their
// shortest exact form. The states are those of the recorder at every m-th step,
// m the smallest power of two (not finer than the recorder's) that keeps at
// most kMaxChainFileStates states of the chain the run will have made: a
// coarser grid than the recorder's, so that the file is written and read back
// quickly, on the same grid as other chains of the same length. (R-hat and the
// bulk ESS of pooled chains need states about one τ apart, not every one the
// recorder holds.)
//
// At the start of a run the file is replaced, atomically, by the header and the
// states recorded so far (a continued chain keeps its earlier runs); at every
// write interval and after the last step the new states are appended and N in
// the first line is rewritten in place. The first line has room for the
// number of steps planned: a run stopped early leaves blanks at its end, a run
// that made every step none.
#pragma once

#include <string>
#include <string_view>

#include "core/run_tables.h"
#include "sampler/chain_recorder.h"
#include "sampler/run_loop.h"

namespace zorvik {

// The most states chain.dat holds (its thinning is then coarser than the recorder's).
inline constexpr long long kMaxChainFileStates = 20000;

// A name as a column of chain.dat and chainstat.dat: blanks replaced by "_",
// "_" for an empty name.
std::string column_name(std::string_view name);

class ChainFileWriter {
 public:
  ChainFileWriter() = default;
  ~ChainFileWriter();
  ChainFileWriter(const ChainFileWriter&) = delete;
  ChainFileWriter& operator=(const ChainFileWriter&) = delete;

  // Nothing without --seed (settings.seed not positive). Throws FatalError
  // naming the file when it cannot be written.
  void update(const Run& run, const ChainRecorder& chain, ChainMoment moment);
  // For a checkpoint: the writer's state and the file's length; restore() cuts
  // the file back to that length and appends from there.
  void save(StateWriter& out) const;
  void restore(StateReader& in);

 private:
  void start(const Run& run, const ChainRecorder& chain);
  std::string states_after(const ChainRecorder& chain, long long step) const;
  std::string first_line(long long steps) const;
  void fail(const char* what) const;

  std::string path_;
  std::string first_line_tail_;  // " seed s parfile f"
  size_t first_line_size_ = 0;
  long long thinning_ = 1;
  long long written_ = 0;  // the states up to this step are in the file
  int fd_ = -1;
};

}  // namespace zorvik
