// zorvik-chain-folder: prepares the folder of one chain of several (used by
// scripts/run_chains.sh and scripts/slurm_chains.sh; see analysis/chain_folder.h).
//
//   zorvik-chain-folder [--start same|random|jitter] --seed N PARAMETER-FILE FOLDER
//
// Prints the path of the chain.dat that `zorvik --seed N` run in FOLDER on the
// parameter file's name writes. Exit status 0, 1 after an error in the file, 2
// for a malformed command line.
#include <charconv>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/chain_folder.h"
#include "core/errors.h"
#include "core/visible_text.h"

namespace {

constexpr const char* kUsage = "usage: zorvik-chain-folder [--start same|random|jitter] --seed N PARAMETER-FILE FOLDER";

int usage(const std::string& why) {
  std::cerr << "zorvik-chain-folder: " << why << '\n' << kUsage << std::endl;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zorvik;
  const std::vector<std::string> args(argv + 1, argv + argc);
  StartPoint how = StartPoint::Same;
  long long seed = 0;
  std::vector<std::string> files;
  for (size_t k = 0; k < args.size(); ++k) {
    const std::string& a = args[k];
    if ((a == "--start" || a == "--seed") && k + 1 == args.size()) return usage(a + " needs a value");
    if (a == "--start") {
      const std::string& v = args[++k];
      if (v == "same") how = StartPoint::Same;
      else if (v == "random") how = StartPoint::Random;
      else if (v == "jitter") how = StartPoint::Jitter;
      else return usage("--start takes same, random or jitter, not \"" + visible_text(v) + "\"");
    } else if (a == "--seed") {
      const std::string& v = args[++k];
      const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), seed);
      if (ec != std::errc() || end != v.data() + v.size() || seed < 1 || seed > 2147483647)
        return usage("--seed needs an integer from 1 to 2147483647, not \"" + visible_text(v) + "\"");
    } else {
      files.push_back(a);
    }
  }
  if (seed == 0 || files.size() != 2) return usage("expected --seed N, a parameter file and a folder");
  std::istringstream keyboard;  // nothing typed: no dialog can hold the preparation up
  std::ostringstream echo;
  Console con(keyboard, echo);
  try {
    std::cout << prepare_chain_folder(files[0], files[1], how, static_cast<unsigned long long>(seed), con) << std::endl;
    return std::cout ? 0 : 1;
  } catch (const FatalError& e) {
    std::cerr << visible_text(e.what()) << std::endl;
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "zorvik-chain-folder: " << visible_text(e.what()) << std::endl;
    return 1;
  }
}
