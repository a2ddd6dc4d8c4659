// What a checkpoint keeps of a run's inputs: the options it was started with,
// the parameter file's text as it was read at the start (the run rewrites the
// file at every write interval, so the file on disk no longer holds it), and a
// fingerprint of the data and resolution files, which a resumed run reads
// again from disk and refuses when they changed.
#pragma once

#include <cstdint>
#include <string>

#include "core/checkpoint_io.h"
#include "core/run_tables.h"
#include "setup/command_line.h"

namespace zorvik {

struct CheckpointInputs {
  std::string parfile, folder;  // as the start-up chose them
  long long seed = -1;
  bool seed_given = false, burn_given = false, vector_shapes = false;
  bool evidence = false;  // the run is the evidence ladder (--evidence)
  double burn_fraction = 0.2;
  long long every = 1;
  double sync = 1.0;          // --checkpoint-sync
  std::string text;           // the parameter file as read
  std::uint64_t data = 0;     // data_fingerprint at the start
};

// FNV-1a over the name and the bytes of every data file and resolution file the
// parameter file names (a missing file counts as such).
std::uint64_t data_fingerprint(const Run& run);

// The inputs section of a run just read from its parameter file (read again
// now: its text is what the reading saw, as nothing changes it before the run).
std::string checkpoint_inputs(const Run& run, const CommandLine& cl);

// The inputs section read back; refuses (naming the file) a damaged one.
CheckpointInputs read_checkpoint_inputs(StateReader& in);

}  // namespace zorvik
