// The program's chi-square as a service for a peer sampler driven from another
// language (bench/ess_vs_emcee.py): reads a parameter file and its data as the
// program does, then answers on standard output, one line each, the total
// chi-square of every parameter vector it reads on standard input. Input: a
// count n, then n lines of npar values (p1 … p_npar). Ends at the end of input.
//
//   chisq_server [--vector] bench.par
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "core/console.h"
#include "core/run_tables.h"
#include "models/workspace.h"
#include "sampler/compara.h"
#include "setup/data_file.h"
#include "setup/interp.h"
#include "setup/param_file.h"

int main(int argc, char** argv) {
  using namespace zorvik;
  bool vector = false;
  std::string file;
  for (int k = 1; k < argc; ++k) {
    const std::string a = argv[k];
    if (a == "--vector")
      vector = true;
    else
      file = a;
  }
  if (file.empty()) {
    std::cerr << "usage: chisq_server [--vector] file.par\n";
    return 2;
  }
  std::istringstream keyboard;
  std::ostringstream screen;
  Console con(keyboard, screen);
  auto run = std::make_unique<Run>();
  auto ws = std::make_unique<ModelWorkspace>();
  ws->vector_shapes = vector;
  run->settings.parfile = file.c_str();
  const auto never_edit = [](const Name15&) { return false; };  // a start value out of its limits stays
  if (parread(*run, con, never_edit) != ReadOutcome::Done ||
      dataread(run->settings, run->data, con) != ReadOutcome::Done) {
    std::cerr << "the parameter or data files need an edit:\n" << screen.str();
    return 1;
  }
  interp(run->data, run->settings, con);
  classify_sigmas(run->data, run->settings.nfunc);
  std::cout.precision(17);
  const int npar = run->settings.npar;
  for (int n; std::cin >> n;) {
    for (int k = 0; k < n; ++k) {
      for (int i = 1; i <= npar; ++i) std::cin >> run->params.par(i);
      compara(run->settings, run->data, run->params, run->chain, *ws);
      std::cout << run->chain.chisq(0) << '\n';
    }
    std::cout.flush();
  }
  return 0;
}
