// The command line: what each argument list means, or the usage error it is.
#include "setup/command_line.h"

#include <gtest/gtest.h>

#include <sstream>

namespace zorvik {
namespace {

TEST(CommandLine, EachArgumentListIsOneRunOrAUsageError) {
  const char* cases[][2] = {  // arguments; the file or folders and options taken, or a part of the error
      {"q.par --seed 5", "q.par seed 5 burn 0.2"},
      {"--seed=5 --vector --burn=0.5 q.par", "q.par seed 5 burn 0.5 vector"},
      {"--evidence -- -odd.par", "-odd.par seed -1 burn 0.2 evidence"},
      {"--seed 3 -- --burn", "--burn seed 3 burn 0.2"},
      {"- --help", "seed -1 burn 0.2 help"},
      {"s1 --combine --burn 0.1 s2", "s1 s2 seed -1 burn 0.1 combine"},
      {"-s 5 q.par", "unknown option \"-s\""},
      {"q.par --sed 5", "unknown option \"--sed\""},
      {"q.par --seed", "--seed needs an integer from 1 to 2147483647, found nothing"},
      {"--seed=12x q.par", "--seed needs an integer from 1 to 2147483647, found \"12x\""},
      {"--burn 1 q.par", "--burn needs a fraction F with 0 <= F < 1, found \"1\""},
      {"--seed 3 --seed 4 q.par", "--seed is given twice"},
      {"--vector=1 q.par", "--vector takes no value, found \"--vector=1\""},
      {"a.par b.par", "expected at most one parameter file, found 2: \"a.par\" \"b.par\""},
      {"--combine", "--combine needs at least one folder"},
      {"--combine s1 --seed 5", "--seed cannot be used with --combine: --seed goes with an ordinary run or --evidence"},
      {"--evidence --combine s1", "--evidence cannot be used with --combine"},
      {"--burn 0.3 --evidence q.par", "--burn cannot be used with --evidence: --burn goes with an ordinary run or --combine"},
  };
  for (const auto& [args, expected] : cases) {
    std::istringstream in(args);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    std::ostringstream got;
    try {
      const CommandLine cl = parse_command_line(words);
      for (const auto* names : {&cl.rest, &cl.folders})
        for (const std::string& f : *names) got << f << ' ';
      got << "seed " << cl.seed << " burn " << cl.burn_fraction << (cl.vector_shapes ? " vector" : "")
          << (cl.evidence ? " evidence" : "") << (cl.combine ? " combine" : "") << (cl.help ? " help" : "");
    } catch (const UsageError& e) {
      EXPECT_EQ(e.status(), 2) << args;
      got << e.what();
    }
    const std::string g = got.str();
    EXPECT_TRUE(g == expected || g.starts_with("Command line: " + std::string(expected))) << args << ": " << g;
  }
}

}  // namespace
}  // namespace zorvik
