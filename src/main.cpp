// ZORVIK: Bayesian fitting of experimental curves by Markov-chain Monte Carlo.
// The stages of a run, in order; every table lives in one Run owned here.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/run_tables.h"
#include "core/visible_text.h"
#include "analysis/end_of_run.h"
#include "analysis/interpreter.h"
#include "models/functions.h"
#include "models/workspace.h"
#include "output/evidence_file.h"
#include "sampler/compara.h"
#include "sampler/run_loop.h"
#include "sampler/thermodynamic.h"
#include "setup/data_file.h"
#include "setup/interp.h"
#include "setup/param_file.h"
#include "setup/startup.h"

namespace {

// Reading: the parameter file, then the data; an edit asked for in either
// starts the reading again from the parameter file. Then the interpolation, and
// a check that every fitted data set has a model this version evaluates.
void read_input(zorvik::Run& run, zorvik::Console& con) {
  using namespace zorvik;
  while (true) {
    if (parread(run, con) == ReadOutcome::Reread) continue;
    if (dataread(run, con) == ReadOutcome::Reread) continue;
    break;
  }
  interp(run.data, run.settings, con);
  classify_sigmas(run.data, run.settings.nfunc);

  for (int i = 1; i <= run.settings.nfunc; ++i) {
    const std::string problem = evaluation_problem(i, run.data);
    if (!problem.empty())
      throw FatalError("Data set " + std::to_string(i) + " (" + run.data.nomin(i).str() + ", model " +
                       std::to_string(run.data.opfit(i)) + "): " + problem + ".");
  }
  // The convergence test starts afresh after every reading.
  run.chain.chiprev = 1.0e10;
}

bool dialog(const zorvik::RunSettings& s) { return s.interactive == 1 || s.interactive == 3; }

// A flag anywhere on the command line ("--evidence", "--vector") is taken out of
// the arguments, so the rest reads as without it.
bool take_flag(std::vector<std::string>& args, const char* flag) {
  const auto it = std::find(args.begin(), args.end(), flag);
  if (it == args.end()) return false;
  args.erase(it);
  return true;
}

// What the command line asks for beside the parameter file.
struct Flags {
  bool evidence = false;       // the evidence ladder instead of the ordinary run
  bool vector_shapes = false;  // the vector routines of the line shapes (last-bit differences)
};

int run_program(const std::vector<std::string>& args, const Flags& flags) {
  using namespace zorvik;
  Console con(std::cin, std::cout);
  auto run = std::make_unique<Run>();

  print_banner(con);
  choose_parameter_file(con, args, run->settings);
  read_input(*run, con);

  auto ws = std::make_unique<ModelWorkspace>();
  ws->con = &con;
  ws->vector_shapes = flags.vector_shapes;
  if (flags.evidence) {
    // The evidence ladder instead of the ordinary run, always in batch.
    write_evidence("evidence.dat", thermodynamic_integration(*run, *ws, con), con);
    return 0;
  }
  RunLoop loop(con);
  run_chain(*run, *ws, loop, con);

  // The prompt follows every run in the dialog modes: "c" runs the chain again
  // from the current state, "cp" reads everything again first.
  while (dialog(run->settings)) {
    const PromptExit next = interpreter(*run, *ws, loop, con);
    if (next == PromptExit::End) break;
    if (next == PromptExit::Reload) read_input(*run, con);
    run_chain(*run, *ws, loop, con);
  }
  end_of_run(*run, *ws, con);
  return 0;
}

constexpr const char* kUsage = R"(Usage: zorvik [PARAMETER-FILE]
       zorvik --help | --version

Bayesian fitting of experimental curves by Markov-chain Monte Carlo: the
parameter file names the data files, the model of each, the parameters with
their start values, steps and limits, and the chain settings.

Without a file name the program asks "Enter Parameter file:"; there "hf" lists
the models, "p" stands for pfin.par, "r" for prot.par and "ra" for prota.par.
A parameter file whose name begins with "t" (t123.par) writes its results into
the folder of its first four characters (t123/).

The run is a batch run or ends at the prompt "ZoRvIk> " ("h" lists the
commands), as the parameter file's interactive option says. See README.md.
)";

// "--help" and "--version" answer and end the program, unless a file of that
// name exists: then it is read as the parameter file, like any other name.
bool answered_option(const std::vector<std::string>& args) {
  if (args.size() != 1 || zorvik::file_exists(args[0])) return false;
  if (args[0] == "--help") {
    std::cout << kUsage;
    return true;
  }
  if (args[0] == "--version") {
    std::cout << "zorvik " << ZORVIK_VERSION << '\n';
    return true;
  }
  return false;
}

// The console is the record of the run: when it could not be written (a full
// disk, "> /dev/full"), the run ends with a non-zero status and says so on the
// error output, instead of passing for a success.
int checked_console(int status) {
  std::cout.flush();
  const bool flushed = std::fflush(stdout) == 0;
  if (flushed && !std::cout.fail() && !std::ferror(stdout)) return status;
  std::cerr << "Cannot write the console output (standard output): it is incomplete" << std::endl;
  return status != 0 ? status : 1;
}

int run_main(std::vector<std::string> args) {
  Flags flags;
  flags.evidence = take_flag(args, "--evidence");
  flags.vector_shapes = take_flag(args, "--vector");
  if (answered_option(args)) return 0;
  try {
    return run_program(args, flags);
  } catch (const zorvik::FatalError& e) {
    std::cout.flush();
    // Names and tokens from the input files are shown with their control
    // bytes escaped.
    if (e.what()[0] != '\0') std::cerr << zorvik::visible_text(e.what()) << std::endl;
    return e.status();
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << "Internal error: " << zorvik::visible_text(e.what()) << std::endl;
    return 2;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return checked_console(run_main(args));
}
