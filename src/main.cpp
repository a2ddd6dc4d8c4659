// ZORVIK: Bayesian fitting of experimental curves by Markov-chain Monte Carlo.
// The stages of a run, in order; every table lives in one Run owned here.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/errors.h"
#include "core/run_tables.h"
#include "analysis/end_of_run.h"
#include "models/functions.h"
#include "models/workspace.h"
#include "sampler/compara.h"
#include "sampler/run_loop.h"
#include "setup/data_file.h"
#include "setup/interp.h"
#include "setup/param_file.h"
#include "setup/startup.h"

namespace {

int run_program(const std::vector<std::string>& args) {
  using namespace zorvik;
  Console con(std::cin, std::cout);
  auto run = std::make_unique<Run>();

  print_banner(con);
  choose_parameter_file(con, args, run->settings);

  // Reading: the parameter file, then the data; an edit asked for in either
  // starts the reading again from the parameter file.
  while (true) {
    if (parread(*run, con) == ReadOutcome::Reread) continue;
    if (dataread(*run, con) == ReadOutcome::Reread) continue;
    break;
  }
  interp(run->data, run->settings, con);
  classify_sigmas(run->data, run->settings.nfunc);

  // Every fitted data set must have a model this version evaluates.
  for (int i = 1; i <= run->settings.nfunc; ++i) {
    const std::string problem = evaluation_problem(i, run->data);
    if (!problem.empty())
      throw FatalError("Data set " + std::to_string(i) + " (" + run->data.nomin(i).str() + ", model " +
                       std::to_string(run->data.opfit(i)) + "): " + problem + ".");
  }

  auto ws = std::make_unique<ModelWorkspace>();
  RunLoop loop(con);
  run->chain.chiprev = 1.0e10;
  run_chain(*run, *ws, loop, con);
  if (run->settings.interactive == 1 || run->settings.interactive == 3)
    con.line("The command prompt is not built yet: the run goes on to its end.");
  end_of_run(*run, *ws, con);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return run_program(args);
  } catch (const zorvik::FatalError& e) {
    std::cout.flush();
    if (e.what()[0] != '\0') std::cerr << e.what() << std::endl;
    return e.status();
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << "Internal error: " << e.what() << std::endl;
    return 2;
  }
}
