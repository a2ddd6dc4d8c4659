#include "analysis/chain_folder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <vector>

#include "core/errors.h"
#include "core/files.h"
#include "core/output_paths.h"
#include "output/param_file_writer.h"
#include "setup/param_file.h"
#include "setup/startup.h"

namespace zorvik {

namespace fs = std::filesystem;

namespace {

// How far a jittered start may move: this many of the parameter's steps.
constexpr double kJitterSteps = 3.0;
// Draws tried before a jittered value is put on the limit it keeps crossing, and
// before a set of draws that breaks an order relation is given up.
constexpr int kMaxDraws = 1000;

// Uniform in [0, 1): the top 53 bits of the 64-bit Mersenne twister, whose
// sequence for a seed is fixed by the C++ standard (so a start is reproducible
// with any compiler).
double uniform01(std::mt19937_64& g) { return static_cast<double>(g() >> 11) * 0x1.0p-53; }

std::string parameter_text(const FitParameters& p, int k) {
  return "parameter " + std::to_string(k) + " (" + p.namepar(k).str() + ")";
}

double random_value(const FitParameters& p, int k, std::mt19937_64& g) {
  const double lo = p.parmin(k), hi = p.parmax(k);
  if (!(lo <= hi) || !std::isfinite(hi - lo))
    throw FatalError("Cannot draw a start for " + parameter_text(p, k) + ": its limits " + shortest(lo) + " ... " +
                     shortest(hi) + " leave no finite range");
  const StepKind kind = p.kind(k);
  const double u = uniform01(g);
  if ((kind == StepKind::Logarithmic || kind == StepKind::AdaptiveLog) && lo > 0.0) return std::exp(std::log(lo) + u * (std::log(hi) - std::log(lo)));
  return lo + u * (hi - lo);
}

// The start moved by d ∈ [−3, 3) steps in the parameter's own step kind.
double jittered_value(const FitParameters& p, int k, std::mt19937_64& g) {
  const double v = p.par(k), lo = p.parmin(k), hi = p.parmax(k);
  const StepKind kind = p.kind(k);
  for (int n = 0; n < kMaxDraws; ++n) {
    const double d = (2.0 * uniform01(g) - 1.0) * kJitterSteps * p.move(k);
    const double w = kind == StepKind::Logarithmic    ? v * std::pow(10.0, d)
                     : kind == StepKind::Proportional ? v * (1.0 + d)
                                                      : v + d;
    if (w >= lo && w <= hi) return w;
  }
  return std::min(std::max(v, lo), hi);
}

bool relations_hold(FitParameters& p) {
  for (int g = 1; g <= p.ngroups; ++g)
    for (int j = 2; j <= p.ign(g); ++j) p.par(p.parig(g, j)) = p.par(p.parig(g, 1));
  for (int r = 1; r <= p.nrel; ++r)
    if (p.par(p.parrel(r, 1)) < p.par(p.parrel(r, 2))) return false;
  return true;
}

}  // namespace

void disperse_start(FitParameters& p, StartPoint how, unsigned long long seed) {
  if (how == StartPoint::Same) return;
  std::mt19937_64 g(seed);
  const std::vector<double> start(p.par.base(), p.par.base() + kMaxPar + 1);
  for (int n = 0; n < kMaxDraws; ++n) {
    for (int j = 1; j <= p.nfit; ++j) {
      const int k = p.parfit(j);
      p.par(k) = how == StartPoint::Random ? random_value(p, k, g) : jittered_value(p, k, g);
    }
    if (relations_hold(p)) return;
    for (int k = 1; k <= kMaxPar; ++k) p.par(k) = start[static_cast<size_t>(k)];
  }
  throw FatalError("Cannot draw a start that meets the order relations of the parameter file in " +
                   std::to_string(kMaxDraws) + " tries");
}

namespace {

// An input named from the chain's folder: the same file, by a path that works there.
std::string seen_from(const std::string& name, const fs::path& folder) {
  if (name.empty() || fs::path(name).is_absolute()) return name;
  const fs::path here = fs::current_path();
  return (here / name).lexically_normal().lexically_relative((here / folder).lexically_normal()).string();
}

// An output must land inside the chain's folder: a relative name without "..".
void check_output(const std::string& parfile, const std::string& name, const std::string& role) {
  const fs::path path(name);
  bool outside = path.is_absolute();
  for (const fs::path& part : path)
    if (part == "..") outside = true;
  if (outside)
    throw InputError(parfile, 0,
                     role + " \"" + name + "\" lies outside the chain's folder: every chain would write it; " +
                         "name it inside the fit's folder to run several chains");
}

}  // namespace

std::string prepare_chain_folder(const std::string& parfile, const std::string& folder, StartPoint how,
                                 unsigned long long seed, Console& con) {
  auto run = std::make_unique<Run>();
  RunSettings& s = run->settings;
  s.parfile = parfile;
  // A chain folder is prepared without an editor: a start value outside its
  // limits that the user wants to change stops the preparation.
  const auto ask = [&con](const Name15& name) { return ask_change_parameter(con, name); };
  if (parread(*run, con, ask) == ReadOutcome::Reread)
    throw InputError(parfile, 0, "a start value lies outside its limits: mend the file first");
  FitFunctions& d = run->data;
  FitParameters& p = run->params;
  const std::string base = fs::path(parfile).filename().string();
  std::vector<std::string> outputs = {d.nomout(0).str(), s.chifile.str()};
  check_output(parfile, outputs[0], "record 4: the output file");
  check_output(parfile, outputs[1], "record 4: the chi-square file");
  for (int i = 1; i <= s.nfunc; ++i)
    if (d.opfit(i) != 0) {
      check_output(parfile, d.nomout(i).str(), "record 3 (data set " + std::to_string(i) + "): the result file");
      outputs.push_back(d.nomout(i).str());
    }
  for (int c = 1; c <= p.ncont; ++c) {
    check_output(parfile, p.namecont(c).str(), "record 19 (contour " + std::to_string(c) + "): the contour file");
    outputs.push_back(p.namecont(c).str());
  }
  for (const std::string& o : outputs)
    if (fs::path(o).lexically_normal() == base)
      throw InputError(parfile, 0, "the file \"" + o + "\" it writes would replace the chain's own parameter file " +
                                       base + ": name it otherwise");
  disperse_start(p, how, seed);
  for (int i = 1; i <= s.nfunc; ++i) {
    d.nomin(i) = seen_from(d.nomin(i).str(), folder);
    if (!d.nameconv(i).blank()) d.nameconv(i) = seen_from(d.nameconv(i).str(), folder);
  }

  std::error_code ec;
  if (!fs::create_directory(folder, ec) || ec)
    throw FatalError("Cannot create the chain folder \"" + folder + "\": " +
                     (ec ? ec.message() : std::string("it exists already (remove it or run elsewhere)")));
  try {
    for (const std::string& o : outputs) fs::create_directories(fs::path(folder) / fs::path(o).parent_path());
    s.parfile = folder + "/" + base;
    pfinwrite(s.parfile.str(), s, d, p);
  } catch (...) {
    fs::remove_all(folder, ec);
    throw;
  }
  // A parameter file named t… writes into the folder of its first four characters.
  Name15 out_folder = kNoFolder;
  if (base[0] == 't' || base[0] == 'T') out_folder = Name40(base).first(4);
  return folder + "/" + folder_file_path(out_folder, "chain.dat");
}

}  // namespace zorvik
