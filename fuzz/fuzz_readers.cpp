// Fuzz target for the readers of the parameter file and of the data and
// resolution files. The first byte of an input chooses the reader and, for the
// data reader, the layout the parameter file asks for; the rest is the file.
// Every input must end in a normal return or a FatalError (a message for the
// user); anything else — a crash, a hang, an out-of-bounds access, another
// exception — is a finding.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "core/console.h"
#include "core/errors.h"
#include "core/run_tables.h"
#include "output/param_file_writer.h"
#include "setup/data_file.h"
#include "setup/interp.h"
#include "setup/param_file.h"

namespace {

using namespace zorvik;

void write_file(const char* name, const std::string& content) {
  std::ofstream(name, std::ios::binary) << content;
}

// A parameter file naming one data set "d.dat" with the layout chosen by `mode`.
std::string parameter_file_for(uint8_t mode) {
  static const char* const options[] = {"n", "c", "cf"};
  static const char* const sigmas[] = {"0.0", "0.5", "-1.0"};
  static const char* const models[] = {"101", "52", "111", "100"};
  const char* option = options[mode % 3];
  const char* sigma = sigmas[(mode / 3) % 3];
  const char* model = models[(mode / 9) % 4];
  const int ninterp = (mode / 36) % 2 ? 7 : 0;
  if (std::string(model) == "52") option = "n";
  std::ostringstream p;
  p << "'fuzz' 0 0 1\nnomin\n";
  p << "d.dat " << option << " " << ninterp << " out.dat 0.01 100.0 " << model << "\n";
  if (std::string(option) == "cf") p << "r.dat 1.0 -0.1\n";
  p << "o.dat chi.dat\n1.0\n" << sigma << "\n2\n10 5\n0 1 1.0 1.0 0.0\n0\n1 1.0 1.0 1.0\n0.2\n";
  p << "1 a n 1.0 0.1 0.0 10.0\n2 b n 1.0 0.1 0.0 10.0\n0\n0\n0\n";
  return p.str();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Work in a scratch folder with no external programs on PATH.
  char dir[] = "/tmp/zorvik-fuzz-XXXXXX";
  if (!mkdtemp(dir) || chdir(dir) != 0) std::abort();
  setenv("PATH", dir, 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  std::string body(reinterpret_cast<const char*>(data + 1), size - 1);

  std::istringstream keyboard("");
  std::ostringstream screen;
  Console con(keyboard, screen);
  // One set of tables for all inputs, as in the program, where every reading
  // starts by clearing what it fills (allocating them anew costs most of the time).
  static auto run = std::make_unique<Run>();
  run->settings = RunSettings();
  run->settings.parfile = "f.par";
  // A start value outside its limits: read on, as a user who keeps it.
  const auto keep = [](const Name15&) { return false; };
  try {
    if (mode < 0x80) {
      write_file("f.par", body);
      if (parread(*run, con, keep) == ReadOutcome::Done) {
        // A file that reads must also survive being written and read again.
        write_file("f.par", parameter_file_text(run->settings, run->data, run->params));
        parread(*run, con, keep);
      }
    } else {
      // Data file, and after a "\n===\n" separator the resolution file.
      const size_t cut = body.find("\n===\n");
      write_file("d.dat", body.substr(0, cut));
      write_file("r.dat", cut == std::string::npos ? std::string() : body.substr(cut + 5));
      write_file("f.par", parameter_file_for(static_cast<uint8_t>(mode - 0x80)));
      if (parread(*run, con, keep) == ReadOutcome::Done && dataread(run->settings, run->data, con) == ReadOutcome::Done)
        interp(run->data, run->settings, con);
    }
  } catch (const FatalError&) {
    // A reported input error: the expected outcome for malformed input.
  }
  return 0;
}
