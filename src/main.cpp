// ZORVIK: Bayesian fitting of experimental curves by Markov-chain Monte Carlo.
// The stages of a run, in order; every table lives in one Run owned here.
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/output_paths.h"
#include "core/run_tables.h"
#include "core/visible_text.h"
#include "analysis/end_of_run.h"
#include "analysis/interpreter.h"
#include "analysis/report_folder.h"
#include "analysis/run_report.h"
#include "analysis/whole_chain.h"
#include "models/functions.h"
#include "models/workspace.h"
#include "output/evidence_file.h"
#include "output/result_files.h"
#include "output/results_json.h"
#include "sampler/compara.h"
#include "sampler/run_loop.h"
#include "sampler/thermodynamic.h"
#include "setup/checkpoint_inputs.h"
#include "setup/command_line.h"
#include "setup/data_file.h"
#include "setup/interp.h"
#include "setup/param_file.h"
#include "setup/startup.h"

namespace {

// Reading: the parameter file (and the temperature warning after its echo),
// then the data; an edit asked for in either starts the reading again from
// the parameter file. Then the interpolation, and a check that every fitted
// data set has a model this version evaluates.
void read_input(zorvik::Run& run, zorvik::Console& con, bool evidence) {
  using namespace zorvik;
  while (true) {
    if (read_parameter_file(run, con) == ReadOutcome::Reread) continue;
    // The evidence ladder sets its own temperatures.
    if (!evidence) warn_joint_temperature(run.settings, con);
    if (dataread(run.settings, run.data, con) == ReadOutcome::Reread) continue;
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
  run.chain.chiprev = zorvik::kNoPreviousChisq;
}

bool dialog(const zorvik::RunSettings& s) { return s.interactive == 1 || s.interactive == 3; }

// The end of a run: the distributions, the best state, the whole-chain
// statistics (chainstat.dat and the console block), then the report folder's
// results.json.
void finish_run(zorvik::Run& run, zorvik::ModelWorkspace& ws, zorvik::RunLoop& loop, zorvik::Console& con,
                bool figures) {
  using namespace zorvik;
  end_of_run(run, ws, con);
  const ChainStatTable table = write_whole_chain_results(run, loop.recorder, con);
  write_report(make_run_report(run, ws, table), run, ws, loop.recorder, table.burn_in, figures, con);
}

// The evidence ladder instead of the ordinary run, always in batch, with its
// checkpoints (none when their path is empty, and no resume unless set).
int evidence_program(zorvik::Run& run, zorvik::ModelWorkspace& ws, zorvik::Console& con, bool figures,
                     zorvik::LadderCheckpoints& checkpoints) {
  using namespace zorvik;
  // The report's chain is that of the rung running last, which ends at beta = 1.
  ChainRecorder top_rung;
  const EvidenceEstimate evidence = thermodynamic_integration(run, ws, con, last_rung_recorder(top_rung), &checkpoints);
  write_evidence(kEvidenceFile, evidence, con);
  const ChainStatTable rung = whole_chain_statistics(top_rung, run.params, 0.0);
  write_report(make_evidence_report(run, ws, evidence, rung), run, ws, top_rung, rung.burn_in, figures, con);
  return 0;
}

// --resume FILE: the checkpoint is checked whole, the inputs are read again
// from the parameter file's text it keeps (quietly: their echo is before the
// point the run resumes from) and the data files on disk, which must be those
// it was started with; then the chain continues from the saved state, writing
// checkpoints to the same file. Nothing is written before all of that passed.
int resume_program(const zorvik::CommandLine& cl, zorvik::Console& con) {
  using namespace zorvik;
  std::vector<std::string> passed_over;
  StateReader saved = choose_checkpoint(cl.resume, ZORVIK_VERSION, passed_over);
  const std::string inputs_section = saved.get_string();
  StateReader inputs_reader(inputs_section, cl.resume);
  const CheckpointInputs in = read_checkpoint_inputs(inputs_reader);
  const auto step = saved.get<std::int64_t>();
  auto run = std::make_unique<Run>();
  RunSettings& s = run->settings;
  s.parfile = in.parfile;
  s.folder = in.folder;
  s.seed = in.seed;
  s.burn_fraction = in.burn_fraction;
  s.checkpoint = cl.resume;
  s.parfile_text = in.text;
  std::ostringstream echo;
  Console quiet(con.in(), echo);
  read_input(*run, quiet, in.evidence);
  if (!in.evidence && dialog(s)) saved.refuse("its parameter file asks for an interactive run");
  if (data_fingerprint(*run) != in.data)
    saved.refuse("a data or resolution file of \"" + s.parfile.str() + "\" changed since the run started");
  for (const std::string& note : passed_over) con.line(note);
  con.line("Resuming the run of " + s.parfile.str() + " from checkpoint " + cl.resume + " after " +
           (in.evidence ? "rung " + std::to_string(step) + " of " + std::to_string(kLadderRungs)
                        : "step " + std::to_string(step) + " of " + std::to_string(s.ncycles)));
  auto ws = make_workspace(con, in.vector_shapes);
  if (in.evidence) {
    LadderCheckpoints ladder{cl.resume, static_cast<int>(in.every), inputs_section, ZORVIK_VERSION,
                             std::make_unique<StateReader>(std::move(saved))};
    return evidence_program(*run, *ws, con, !cl.no_report, ladder);
  }
  RunLoop loop(con);
  loop.checkpoint_path = cl.resume;
  loop.checkpoint_every = static_cast<int>(in.every);
  loop.checkpoint_sync = in.sync;
  loop.checkpoint_inputs = inputs_section;
  loop.program_version = ZORVIK_VERSION;
  loop.resume = std::make_unique<StateReader>(std::move(saved));
  ResultFiles result_files;
  run_chain(*run, *ws, loop, result_files, con);
  stop_if_signalled(*run, loop.recorder, con);
  finish_run(*run, *ws, loop, con, !cl.no_report);
  return 0;
}

int run_program(const zorvik::CommandLine& cl) {
  using namespace zorvik;
  Console con(std::cin, std::cout);
  if (cl.combine) {
    std::string parfile;
    std::vector<double> lowest;
    std::vector<FigureChain> pooled;
    const ChainStatTable table = combine_chains(cl.folders, cl.burn_fraction, con, &parfile, &lowest, &pooled);
    write_pooled_report(make_combined_report(table, parfile, lowest), pooled, !cl.no_report, con);
    return 0;
  }
  if (!cl.resume.empty()) return resume_program(cl, con);
  auto run = std::make_unique<Run>();
  run->settings.seed = cl.seed;
  run->settings.burn_fraction = cl.burn_fraction;
  run->settings.checkpoint = cl.checkpoint;

  print_banner(con);
  choose_parameter_file(con, cl.rest, run->settings);
  read_input(*run, con, cl.evidence);

  auto ws = make_workspace(con, cl.vector_shapes);
  if (cl.evidence) {
    LadderCheckpoints ladder;
    if (!cl.checkpoint.empty()) {
      ladder = {cl.checkpoint, static_cast<int>(cl.checkpoint_every), checkpoint_inputs(*run, cl), ZORVIK_VERSION,
                nullptr};
    }
    return evidence_program(*run, *ws, con, !cl.no_report, ladder);
  }
  RunLoop loop(con);
  if (!cl.checkpoint.empty()) {
    if (dialog(run->settings))
      throw FatalError("--checkpoint needs a batch run: the parameter file \"" + run->settings.parfile.str() +
                       "\" asks for an interactive one (interactive 1 or 3)");
    loop.checkpoint_path = cl.checkpoint;
    loop.checkpoint_every = static_cast<int>(cl.checkpoint_every);
    loop.checkpoint_sync = cl.checkpoint_sync;
    loop.checkpoint_inputs = checkpoint_inputs(*run, cl);
    loop.program_version = ZORVIK_VERSION;
  }
  ResultFiles result_files;
  run_chain(*run, *ws, loop, result_files, con);
  stop_if_signalled(*run, loop.recorder, con);

  // The prompt follows every run in the dialog modes: "c" runs the chain again
  // from the current state, "cp" reads everything again first.
  while (dialog(run->settings)) {
    const PromptExit next = interpreter(*run, *ws, loop, con);
    if (next == PromptExit::End) break;
    if (next == PromptExit::Reload) {
      read_input(*run, con, cl.evidence);
      loop.recorder.reset();  // a new chain, as the histograms are new
    }
    run_chain(*run, *ws, loop, result_files, con);
    stop_if_signalled(*run, loop.recorder, con);
  }
  finish_run(*run, *ws, loop, con, !cl.no_report && !dialog(run->settings));
  return 0;
}

// The text of --help: the usage lines and the options come from the option
// table of the command line.
std::string usage_text() {
  return zorvik::usage_lines() + R"(
Bayesian fitting of experimental curves by Markov-chain Monte Carlo: the
parameter file names the data files, the model of each, the parameters with
their start values, steps and limits, and the chain settings.

Without a file name the program asks "Enter Parameter file:"; there "hf" lists
the models, "p" stands for pfin.par, "r" for prot.par and "ra" for prota.par.
A parameter file whose name begins with "t" (t123.par) writes its results into
the folder of its first four characters (t123/). Options and the file may come
in any order; "--opt=value" is "--opt value", and "--" ends the options (for a
file whose name begins with "-").

The run is a batch run or ends at the prompt "ZoRvIk> " ("h" lists the
commands), as the parameter file's interactive option says.

Every run also writes chainstat.dat: mean, sd, quantiles, autocorrelation time
and effective sample size of each free parameter over the whole chain, printed
at the end of the run too, and report/results.json: the settings, those
statistics, the best state and its chi-squares, the best state polished by
Levenberg-Marquardt, and the evidence of --evidence.

)" + zorvik::option_help() + "See README.md.\n";
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

int run_main(const std::vector<std::string>& args) {
  try {
    const zorvik::CommandLine cl = zorvik::parse_command_line(args);
    if (cl.help) {
      std::cout << usage_text();
      return 0;
    }
    if (cl.version) {
      std::cout << "zorvik " << ZORVIK_VERSION << '\n';
      return 0;
    }
    return run_program(cl);
  } catch (const zorvik::UsageError& e) {
    // Nothing was printed yet: the message, the usage lines, exit status 2.
    std::cerr << zorvik::visible_text(e.what()) << '\n'
              << zorvik::usage_lines() << "Try \"zorvik --help\" for more." << std::endl;
    return e.status();
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
