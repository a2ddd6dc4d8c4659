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

  con.line("The Markov-chain run stage is not built yet: the set-up above was read and checked.");
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
