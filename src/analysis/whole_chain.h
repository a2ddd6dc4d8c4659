// Statistics of the whole chain after a run, and of several chains pooled.
//
// chainstat.dat: one header line (the columns, the steps retained, the burn-in,
// the thinning, and for pooled chains cut to a common length the steps cut),
// then per free parameter and last for the chi-square (index 0,
// name "chisq") the row
//   i name mean sd q025 q16 q50 q84 q975 tau ess          (one chain)
//   i name mean sd q025 q16 q50 q84 q975 tau ess rhat     (--combine)
// over every state of the chain after the burn-in (a rejected step repeats the
// current state), name blanks replaced by "_".
//
// The autocorrelation time and thinning. The recorder keeps every m-th state
// (sampler/chain_recorder.h). A chain of integrated time τ in steps gives a
// thinned series of time τ_m ≈ τ/m as long as τ ≫ m (for an exponential
// correlation e^(−t/T), τ = coth(1/2T), τ_m = coth(m/2T)), so tau = m·τ_m. When
// τ_m comes out near 1 the thinned states are nearly independent and m·τ_m ≈ m
// is only an upper bound: the thinning hides any correlation shorter than m
// steps. ess = retained steps / tau.
//
// chain.dat (written with --seed as the chain grows, output/chain_file_writer.h,
// read here by --combine): the thinned states of the whole chain, burn-in
// included; the header lines "# steps N thinning m seed s parfile f",
// "# parameters i1 i2 …" and "# step chisq name1 name2 …", then one line per
// state: the step after which it was taken, χ², the free parameters.
#pragma once

#include <string>
#include <vector>

#include "analysis/chain_stats.h"
#include "core/console.h"
#include "core/run_tables.h"
#include "output/chainstat_file.h"
#include "output/report_figures.h"
#include "sampler/chain_recorder.h"

namespace zorvik {

// The statistics of the recorded chain after discarding the first
// ⌊burn_fraction·steps⌋ steps.
ChainStatTable whole_chain_statistics(const ChainRecorder& chain, const FitParameters& params, double burn_fraction);


// The console block: mean ± sd, tau and ess of each free parameter (and rhat for
// pooled chains), then a warning naming the parameters whose chain is shorter
// than 50 tau, or for pooled chains those with rhat > 1.01.
void print_chainstat(Console& con, const ChainStatTable& table);

// The rule of thumb for a trustworthy autocorrelation time (and so for a chain
// long enough to quote its statistics): at least 50 τ (Sokal 1997; Goodman and
// Weare 2010).
inline constexpr double kMinTausPerChain = 50.0;
// Chains whose rank-normalised R̂ exceeds this have not mixed (Vehtari et al. 2021).
inline constexpr double kRhatLimit = 1.01;

// The end of a run: chainstat.dat (in the output folder whenever one is in use,
// like parstat.dat) and the console block. After a run that `ended` (not one a
// signal stopped) that printed the table of the distributions, one line says
// where the two tables differ. Returns the table.
ChainStatTable write_whole_chain_results(const Run& run, const ChainRecorder& chain, Console& con, bool ended = true);

// --combine: reads DIR/chain.dat of every folder (or the file itself when a
// name is a file), discards the first ⌊burn_fraction·steps⌋ steps of each,
// brings them to the coarsest thinning and to the length of the shortest (its
// last states; the console names the chains cut and by how much, the header
// sums it as "shortened"), writes chainstat.dat in the current folder with rhat
// and the bulk ESS, and prints the table. Refused, naming the file (and line):
// the same file twice, two files of one parameter file and seed or with the
// same states (a copy is not a second chain), a value that is not finite, states
// off the file's grid, or fewer states than the steps of the header (a file cut
// short).
// Returns the pooled table; `parameter_file` names the parameter file of the
// first chain's header, `best` receives the state of lowest chi-square among
// every state read (chi-square first, then the columns of the table), and
// `pooled` the states each chain contributes (for the report's figures).
ChainStatTable combine_chains(const std::vector<std::string>& folders, double burn_fraction, Console& con,
                              std::string* parameter_file = nullptr, std::vector<double>* best = nullptr,
                              std::vector<FigureChain>* pooled = nullptr);

}  // namespace zorvik
