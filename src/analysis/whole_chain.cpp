#include "analysis/whole_chain.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <fstream>
#include <sstream>
#include <string_view>

#include "analysis/autocorrelation.h"
#include "analysis/distributions.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/free_format.h"
#include "core/output_paths.h"
#include "output/chain_file_writer.h"

namespace zorvik {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

long long burn_steps(long long steps, double fraction) {
  return static_cast<long long>(std::floor(fraction * static_cast<double>(steps)));
}

// A chain read back from chain.dat, or taken from the recorder.
struct StoredChain {
  std::string file;
  long long steps = -1, thinning = 1;  // steps −1: no header read yet
  long long seed = -1;                 // from the header; −1 when it names none
  std::string parfile;
  std::vector<int> index;          // column j ≥ 1: parameter number
  std::vector<std::string> names;  // column 0: "chisq"
  std::vector<long long> step;     // step of each state
  std::vector<std::vector<double>> columns;
};

ChainStatRow row_of(int index, const std::string& name, std::span<const double> draws) {
  ChainStatRow r;
  r.index = index;
  r.name = name;
  if (draws.empty()) {
    r.draws = {kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN};
    r.tau = r.ess = r.rhat = kNaN;
  } else {
    r.draws = summarise_draws(draws);
  }
  return r;
}

// Steps per independent state of kept states that follow every m-th step
// (m = thinning). For an ensemble of L walkers that take one step each in turn,
// the kept states split into L′ = L/gcd(m, L) walkers' series (state k belongs
// to series k mod L′), whose states lie lcm(m, L)/L sweeps apart; an ensemble
// of L walkers with autocorrelation time τ sweeps gives L·N/τ independent
// states in N sweeps of L steps, τ steps each.
double steps_per_sample(const std::vector<double>& kept, long long thin, int walkers) {
  if (walkers <= 1) return static_cast<double>(thin) * integrated_time(kept);
  const long long l = walkers, series = l / std::gcd(thin, l);
  const double sweeps_apart = static_cast<double>(std::lcm(thin, l) / l);
  const size_t n = kept.size() / static_cast<size_t>(series) * static_cast<size_t>(series);
  return sweeps_apart * integrated_time(std::span<const double>(kept.data(), n), static_cast<int>(series));
}

// Rows in the order parameters …, chisq from the columns (0 = chisq).
template <class Fill>
void add_rows(ChainStatTable& t, const std::vector<int>& index, const std::vector<std::string>& names, Fill fill) {
  for (size_t j = 1; j < index.size(); ++j) t.rows.push_back(fill(static_cast<int>(j), index[j], names[j]));
  t.rows.push_back(fill(0, 0, names[0]));
}

}  // namespace

ChainStatTable whole_chain_statistics(const ChainRecorder& chain, const FitParameters& params, double burn_fraction) {
  ChainStatTable t;
  t.thinning = chain.thin();
  t.burn_in = burn_steps(chain.steps(), burn_fraction);
  t.retained_steps = chain.steps() - t.burn_in;
  // State k follows step (k + 1)·m: keep those after the burn-in.
  const long long first = std::min(chain.kept(), t.burn_in / chain.thin());
  std::vector<int> index{0};
  std::vector<std::string> names{"chisq"};
  for (int j = 1; j <= chain.nfit(); ++j) {
    index.push_back(chain.parameter(j));
    names.push_back(column_name(params.namepar(chain.parameter(j)).trimmed()));
  }
  std::vector<double> draws;
  add_rows(t, index, names, [&](int column, int i, const std::string& name) {
    draws.clear();
    for (long long k = first; k < chain.kept(); ++k) draws.push_back(chain.value(k, column));
    ChainStatRow r = row_of(i, name, draws);
    if (!draws.empty()) r.tau = steps_per_sample(draws, chain.thin(), chain.walkers());
    if (!draws.empty()) r.ess = static_cast<double>(t.retained_steps) / r.tau;
    return r;
  });
  return t;
}

void print_chainstat(Console& con, const ChainStatTable& t) {
  const bool pooled = t.chains > 1;
  con.empty_line();
  const std::string counts = std::to_string(t.retained_steps) + " steps after a burn-in of " +
                             std::to_string(t.burn_in) + " (thinning " + std::to_string(t.thinning) + ")";
  con.line(pooled ? "Pooled chains: " + std::to_string(t.chains) + " chains, " + counts : "Whole chain: " + counts);
  con.out() << (pooled ? "   i name                 mean            sd          tau          ess     rhat\n"
                       : "   i name                 mean            sd          tau          ess\n");
  std::string flagged;
  for (const ChainStatRow& r : t.rows) {
    if (r.index == 0) continue;
    char buf[160];
    std::snprintf(buf, sizeof buf, "%4d %-10.10s %14.6e +- %11.4e %12.5g %12.5g", r.index, r.name.c_str(), r.draws.mean,
                  r.draws.sd, r.tau, r.ess);
    con.out() << buf;
    if (pooled) {
      std::snprintf(buf, sizeof buf, " %8.4f", r.rhat);
      con.out() << buf;
    }
    con.out() << '\n';
    const bool bad = pooled ? !(r.rhat <= kRhatLimit)
                            : !(static_cast<double>(t.retained_steps) >= kMinTausPerChain * r.tau);
    if (bad) flagged += " " + r.name;
  }
  if (flagged.empty()) return;
  if (pooled)
    con.line("WARNING: R-hat > 1.01, the chains have not mixed for:" + flagged);
  else
    con.line("WARNING: the chain is shorter than 50 tau for:" + flagged + " (run longer)");
}

ChainStatTable write_whole_chain_results(const Run& run, const ChainRecorder& chain, Console& con, bool ended) {
  const RunSettings& s = run.settings;
  ChainStatTable t = whole_chain_statistics(chain, run.params, s.burn_fraction);
  write_chainstat(chainstat_path(s.folder), t);
  print_chainstat(con, t);
  // The distributions count the values of accepted one-parameter moves from
  // the first step on, in bins sized by the start step; the whole chain counts
  // every state, a rejected step repeating the current one, after the burn-in.
  if (ended && s.gparmode != 0)
    con.line("The table of the distributions (parstat.dat) counts accepted one-parameter moves, burn-in included; "
             "the whole-chain table (chainstat.dat) counts every state after the burn-in.");
  return t;
}

// ---- several chains ----------------------------------------------------------

namespace {

// The numbers of a data line, read with from_chars (chain files run to hundreds
// of thousands of lines); false when a word is not a number.
bool parse_numbers(std::string_view line, std::vector<double>& out) {
  out.clear();
  const char* p = line.data();
  const char* end = p + line.size();
  while (true) {
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\r')) ++p;
    if (p == end) return true;
    double v = 0.0;
    const auto [next, ec] = std::from_chars(p, end, v);
    if (ec != std::errc() || (next < end && *next != ' ' && *next != '\t' && *next != '\r')) return false;
    out.push_back(v);
    p = next;
  }
}

// The header "# steps N thinning m seed s parfile f" as words after a key.
void read_run_header(StoredChain& c, std::istringstream& words, int number) {
  std::string key;
  bool steps = false, thinning = false;
  while (words >> key) {
    if (key == "steps") steps = static_cast<bool>(words >> c.steps) && c.steps >= 0;
    else if (key == "thinning") thinning = static_cast<bool>(words >> c.thinning) && c.thinning > 0;
    else if (key == "seed") words >> c.seed;
    else if (key == "parfile") words >> c.parfile;
    if (!words) break;
  }
  if (!steps || !thinning) throw InputError(c.file, number, "expected \"# steps N thinning m ...\"");
}

// One line of states: finite numbers, and the state after the next step of the
// file's grid (m, 2m, 3m, ...), so that a line dropped in the middle shows.
void add_state(StoredChain& c, const std::vector<double>& values, int number) {
  if (c.steps < 0 || c.columns.empty())
    throw InputError(c.file, number, "expected the header lines \"# steps\", \"# parameters\" and \"# step\" first");
  if (values.size() != c.columns.size() + 1)
    throw InputError(c.file, number,
                     "expected a step and " + std::to_string(c.columns.size()) + " numbers (chisq and the parameters)");
  for (size_t j = 0; j < values.size(); ++j)
    if (!std::isfinite(values[j]))
      throw InputError(c.file, number,
                       "expected finite numbers, found " + shortest(values[j]) + " for " +
                           (j == 0 ? std::string("the step") : c.names[j - 1]) + ": the chain is not usable");
  const long long expected = static_cast<long long>(c.step.size() + 1) * c.thinning;
  if (values[0] != static_cast<double>(expected))
    throw InputError(c.file, number,
                     "expected the state after step " + std::to_string(expected) + " (the states are " +
                         std::to_string(c.thinning) + " steps apart), found step " + shortest(values[0]) +
                         ": states are missing or the file was edited");
  c.step.push_back(expected);
  for (size_t j = 0; j < c.columns.size(); ++j) c.columns[j].push_back(values[j + 1]);
}

StoredChain read_chain(const std::string& where) {
  StoredChain c;
  c.file = directory_exists(where) ? where + "/chain.dat" : where;
  if (!file_exists(c.file)) throw InputError(c.file, 0, "no chain.dat here (run the chain with --seed N)");
  std::ifstream in(c.file);
  if (!in) throw InputError(c.file, 0, "cannot be opened for reading");
  int number = 0;
  std::vector<double> values;
  for (std::string text; std::getline(in, text);) {
    const std::string_view line(text);
    ++number;
    if (line.starts_with("#")) {
      std::istringstream words{std::string(line.substr(1))};
      std::string key;
      words >> key;
      if (key == "steps") {
        words.seekg(0);
        read_run_header(c, words, number);
      } else if (key == "parameters") {
        c.index = {0};
        for (int i; words >> i;) c.index.push_back(i);
      } else if (key == "step") {
        std::string name;
        while (words >> name) c.names.push_back(name);
        // A run with every step 0 writes a valid chain of chisq alone.
        if (c.names.size() == 1 && c.index.size() == 1)
          throw InputError(c.file, number, "its run has no free parameter (every step is 0): there is nothing to combine");
        if (c.names.size() != c.index.size() || c.names.size() < 2)
          throw InputError(c.file, number, "expected the names of chisq and of the parameters of \"# parameters\"");
        c.columns.assign(c.names.size(), {});  // chisq, then the parameters
      }
      continue;
    }
    if (!parse_numbers(line, values))
      throw InputError(c.file, number, "expected numbers, found \"" + std::string(line) + "\"");
    if (!values.empty()) add_state(c, values, number);
  }
  if (c.steps < 0 || c.columns.empty()) throw InputError(c.file, 0, "expected the header lines of a chain file");
  // The run writes the state after every m-th of its steps: a file with fewer
  // lost its end (a copy cut short, a full disc); its missing states are not burn-in.
  const long long last = c.step.empty() ? 0 : c.step.back();
  if (last / c.thinning != c.steps / c.thinning)
    throw InputError(c.file, number,
                     "the states end at step " + std::to_string(last) + " but the header says the run made " +
                         std::to_string(c.steps) + " steps: the file was cut short (copy it again or run the chain again)");
  return c;
}

// A copy is not a second chain: the same file named twice, two runs of one
// parameter file with the same seed (they repeat each other state for state),
// or two files holding the same states.
void refuse_copies(const std::vector<StoredChain>& chains) {
  for (size_t a = 0; a < chains.size(); ++a)
    for (size_t b = 0; b < a; ++b) {
      const StoredChain& x = chains[a];
      const StoredChain& y = chains[b];
      std::string why;
      if (same_file(x.file, y.file))
        why = "is the same file as " + y.file + ", named twice";
      else if (x.seed > 0 && x.seed == y.seed && x.parfile == y.parfile)
        why = "comes from the same parameter file (" + x.parfile + ") and seed (" + std::to_string(x.seed) + ") as " +
              y.file + ", so it repeats that chain; run each chain with its own --seed";
      else if (x.step == y.step && x.columns == y.columns)
        why = "holds the same states as " + y.file + ": a copy of one chain is not a second chain";
      if (!why.empty()) throw InputError(x.file, 0, why);
    }
}

// The state of lowest chi-square among every state of the chains, burn-in
// included: chi-square, then the parameters in the order of the columns.
std::vector<double> lowest_state(const std::vector<StoredChain>& chains) {
  const StoredChain* at = nullptr;
  size_t k_at = 0;
  for (const StoredChain& c : chains)
    for (size_t k = 0; k < c.step.size(); ++k)
      if (at == nullptr || c.columns[0][k] < at->columns[0][k_at]) at = &c, k_at = k;
  std::vector<double> state;
  if (at != nullptr)
    for (const std::vector<double>& column : at->columns) state.push_back(column[k_at]);
  return state;
}

// The states of each chain that entered the pooled table, for the figures.
void add_kept_states(const std::vector<StoredChain>& chains, const std::vector<std::vector<size_t>>& keep,
                     std::vector<FigureChain>& out) {
  for (size_t m = 0; m < chains.size(); ++m) {
    FigureChain& f = out.emplace_back();
    f.columns.resize(chains[m].columns.size());
    for (size_t k : keep[m]) {
      f.step.push_back(chains[m].step[k]);
      for (size_t j = 0; j < f.columns.size(); ++j) f.columns[j].push_back(chains[m].columns[j][k]);
    }
  }
}

}  // namespace

ChainStatTable combine_chains(const std::vector<std::string>& folders, double burn_fraction, Console& con,
                              std::string* parameter_file, std::vector<double>* best,
                              std::vector<FigureChain>* pooled_states) {
  std::vector<StoredChain> chains;
  for (const std::string& f : folders) chains.push_back(read_chain(f));
  const StoredChain& first = chains.front();
  if (parameter_file != nullptr) *parameter_file = first.parfile;
  if (best != nullptr) *best = lowest_state(chains);
  long long thinning = 1, retained = 0, burn = 0;
  for (const StoredChain& c : chains) {
    if (c.index != first.index || c.names != first.names)
      throw InputError(c.file, 0, "its parameters differ from those of " + first.file +
                                      ": combine chains of the same parameter file");
    thinning = std::max(thinning, c.thinning);
  }
  refuse_copies(chains);
  // Each chain after its burn-in at the coarsest thinning (the recorder's
  // thinnings are powers of two, so every coarser grid lies on a finer one).
  std::vector<std::vector<size_t>> keep(chains.size());
  size_t n = SIZE_MAX;
  for (size_t m = 0; m < chains.size(); ++m) {
    const StoredChain& c = chains[m];
    const long long b = burn_steps(c.steps, burn_fraction);
    for (size_t k = 0; k < c.step.size(); ++k)
      if (c.step[k] > b && c.step[k] % thinning == 0) keep[m].push_back(k);
    n = std::min(n, keep[m].size());
    // The states before the first one kept are the burn-in.
    if (!keep[m].empty()) burn += c.step[keep[m].front()] - thinning;
  }
  if (n < 4) throw FatalError("Too few states after the burn-in to combine the chains (" + std::to_string(n) + " in the shortest)");
  // The last n states of each: the same number from every chain. What a longer
  // chain loses here, just after its burn-in, is said, and not called burn-in.
  std::string cut;
  long long shortened = 0;
  for (size_t m = 0; m < chains.size(); ++m) {
    std::vector<size_t>& k = keep[m];
    const long long dropped = static_cast<long long>(k.size() - n) * thinning;
    if (dropped > 0) cut += " " + chains[m].file + " by " + std::to_string(dropped) + ",";
    shortened += dropped;
    k.erase(k.begin(), k.end() - static_cast<long>(n));
    retained += static_cast<long long>(n) * thinning;
  }

  ChainStatTable t;
  t.chains = static_cast<int>(chains.size());
  t.thinning = thinning;
  t.retained_steps = retained;
  t.burn_in = burn;
  t.shortened = shortened;
  std::vector<std::vector<double>> per_chain(chains.size());
  std::vector<double> pooled;
  add_rows(t, first.index, first.names, [&](int column, int i, const std::string& name) {
    pooled.clear();
    std::vector<std::span<const double>> spans;
    for (size_t m = 0; m < chains.size(); ++m) {
      per_chain[m].clear();
      for (size_t k : keep[m]) per_chain[m].push_back(chains[m].columns[static_cast<size_t>(column)][k]);
      pooled.insert(pooled.end(), per_chain[m].begin(), per_chain[m].end());
      spans.emplace_back(per_chain[m]);
    }
    ChainStatRow r = row_of(i, name, pooled);
    const ConvergenceValues v = rank_normalised_convergence(spans);
    r.rhat = v.rhat;
    r.ess = v.ess_bulk;
    r.tau = static_cast<double>(retained) / v.ess_bulk;  // steps per effective sample
    return r;
  });
  // The table first: a folder that cannot take the file must not lose it.
  print_chainstat(con, t);
  if (!cut.empty()) {
    cut.pop_back();
    con.line("The chains were cut to the " + std::to_string(static_cast<long long>(n) * thinning) +
             " steps after the burn-in of the shortest; steps dropped after the burn-in:" + cut);
  }
  con.out().flush();
  write_chainstat(combined_chainstat_path(), t);
  if (pooled_states) add_kept_states(chains, keep, *pooled_states);
  return t;
}

}  // namespace zorvik
