#include "setup/output_check.h"

#include "core/errors.h"
#include "core/files.h"
#include "core/free_format.h"

namespace zorvik {

namespace {

// How a message names an output: "record 4: the output file "o.dat"", or for a
// fixed name "the file "chainstat.dat" that the program writes (the whole-chain
// statistics, written by every run)".
std::string output_words(const CheckedOutput& o) {
  const OutputEntry& e = o.entry;
  if (e.origin == OutputOrigin::fixed || e.origin == OutputOrigin::checkpoint)
    return "the file " + shown_token(e.path) + " that the program writes (" + e.role + ")";
  if (o.record.empty()) return e.role + " " + shown_token(e.path);
  return o.record + ": " + e.role + " " + shown_token(e.path);
}

// An output that reaches an input: for a name from the parameter file the
// message stands at its line, for a fixed name (or the parameter file itself)
// at the line of the input.
[[noreturn]] void overwrites(const std::string& parfile, const CheckedOutput& o, const InputFile& in) {
  const std::string overwrite = ": the run would overwrite it; choose another name";
  switch (o.entry.origin) {
    case OutputOrigin::fixed:
    case OutputOrigin::checkpoint:
      throw InputError(parfile, in.line, in.role + " " + shown_token(in.path) + " is " + output_words(o) + overwrite);
    case OutputOrigin::parameter_file:
      throw InputError(parfile, in.line,
                       in.role + " " + shown_token(in.path) + " is the parameter file, which the run rewrites" +
                           overwrite);
    default:
      throw InputError(parfile, o.line, output_words(o) + " is the same file as " + in.role + overwrite);
  }
}

// An output that leads to a folder, a device or another file that is not a
// regular one: the atomic replace would put a regular file in its place.
void check_regular(const std::string& parfile, const CheckedOutput& o) {
  const std::string kind = non_regular_kind(o.entry.path);
  // A folder the program creates may be there from an earlier run; anything
  // else in its place stops the run before the chain, not after it.
  if (o.entry.folder) {
    if (kind == "a folder" || !file_exists(o.entry.path)) return;
    throw InputError(parfile, o.line, "the folder " + shown_token(o.entry.path) + " that the program writes (" +
                                          o.entry.role + ") is " + (kind.empty() ? "a file" : kind) +
                                          ": remove it or rename it");
  }
  if (kind.empty()) return;
  // The end of its links, when that is a name (a pipe of the shell's "<(…)"
  // leads to "pipe:[…]", which is not).
  const std::string target = rewrite_target(o.entry.path);
  const bool named = target != o.entry.path && (file_exists(target) || directory_exists(target));
  const std::string leads = named ? " leads to " + shown_token(target) + ", " : " is ";
  const bool parameters = o.entry.origin == OutputOrigin::parameter_file;
  throw InputError(parfile, o.line,
                   output_words(o) + leads + kind + ", not a regular file: the program writes only regular files; " +
                       (parameters ? "the run rewrites the parameter file, so copy it to a regular file first"
                                   : "remove it or choose another name"));
}

// A name from the parameter file must be creatable: a folder that does not
// exist would otherwise stop the run only at its end, after the whole chain.
void check_folder(const std::string& parfile, const CheckedOutput& o) {
  if (o.entry.origin == OutputOrigin::fixed || o.entry.origin == OutputOrigin::parameter_file) return;
  const std::string folder = folder_of(o.entry.path);
  if (directory_exists(folder)) return;
  throw InputError(parfile, o.line,
                   (o.record.empty() ? "" : o.record + ": ") + o.entry.role + ": cannot create " +
                       shown_token(o.entry.path) + ": No such file or directory (its folder " + shown_token(folder) +
                       " does not exist)");
}

}  // namespace

void check_output_files(const std::string& parfile, const std::vector<InputFile>& named,
                        const std::vector<CheckedOutput>& outputs) {
  std::vector<InputFile> inputs{{parfile, "the parameter file itself", 0}};
  inputs.insert(inputs.end(), named.begin(), named.end());
  // Each name is resolved once: with a hundred parameters the histograms of
  // pairs alone are ten thousand names.
  std::vector<FileIdentity> in_ids, out_ids;
  for (const InputFile& in : inputs) in_ids.push_back(file_identity(in.path));
  for (const CheckedOutput& o : outputs) {
    const FileIdentity& id = out_ids.emplace_back(file_identity(o.entry.path));
    // The parameter file is read and rewritten: it is an output for the other inputs only.
    const size_t first = o.entry.origin == OutputOrigin::parameter_file ? 1 : 0;
    for (size_t k = first; k < inputs.size(); ++k)
      if (same_file(id, in_ids[k])) overwrites(parfile, o, inputs[k]);
    check_regular(parfile, o);
    check_folder(parfile, o);
  }
  // The checkpoint's files, named on the command line, are none of the run's
  // other outputs (a checkpoint renamed over chi.dat would take its place).
  for (size_t a = 0; a < outputs.size(); ++a) {
    if (outputs[a].entry.origin != OutputOrigin::checkpoint) continue;
    for (size_t b = 0; b < outputs.size(); ++b)
      if (outputs[b].entry.origin != OutputOrigin::checkpoint && same_file(out_ids[a], out_ids[b]))
        throw InputError(parfile, outputs[b].line,
                         output_words(outputs[a]) + " is also " + output_words(outputs[b]) +
                             ": choose another name for --checkpoint");
  }
}

}  // namespace zorvik
