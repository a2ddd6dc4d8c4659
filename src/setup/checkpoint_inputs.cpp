#include "setup/checkpoint_inputs.h"

#include <fstream>
#include <iterator>

#include "core/errors.h"

namespace zorvik {

namespace {

// The file's bytes; false when it cannot be read.
bool file_bytes(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

std::uint64_t add_file(std::uint64_t h, const std::string& path) {
  std::string bytes;
  h = fnv1a64(path, h);
  h = fnv1a64(file_bytes(path, bytes) ? "+" : "-", h);
  return fnv1a64(bytes, h);
}

}  // namespace

std::uint64_t data_fingerprint(const Run& run) {
  std::uint64_t h = fnv1a64("");
  for (int i = 1; i <= run.settings.nfunc; ++i) {
    h = add_file(h, run.data.nomin(i).str());
    if (!run.data.nameconv(i).blank()) h = add_file(h, run.data.nameconv(i).str());
  }
  return h;
}

std::string checkpoint_inputs(const Run& run, const CommandLine& cl) {
  const RunSettings& s = run.settings;
  std::string text;
  if (!file_bytes(s.parfile.str(), text)) throw FatalError("Cannot read file \"" + s.parfile.str() + "\" again");
  StateWriter out;
  out.put_string(s.parfile.padded());
  out.put_string(s.folder.padded());
  out.put(cl.seed);
  for (const bool b : {cl.seed_given, cl.burn_given, cl.vector_shapes, cl.evidence}) out.put(b);
  out.put(cl.burn_fraction);
  out.put(cl.checkpoint_every);
  out.put(cl.checkpoint_sync);
  out.put_string(text);
  out.put(data_fingerprint(run));
  return out.bytes();
}

CheckpointInputs read_checkpoint_inputs(StateReader& in) {
  CheckpointInputs c;
  c.parfile = in.get_string();
  c.folder = in.get_string();
  in.get(c.seed);
  for (bool* b : {&c.seed_given, &c.burn_given, &c.vector_shapes, &c.evidence}) in.get(*b);
  in.get(c.burn_fraction);
  in.get(c.every);
  in.get(c.sync);
  c.text = in.get_string();
  in.get(c.data);
  if (!in.at_end() || c.every < 1 || !(c.sync >= 0.0)) in.refuse("its section of the inputs is damaged");
  return c;
}

}  // namespace zorvik
