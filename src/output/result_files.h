// The fitted curves on disk: one result file per fitted data set (measured and
// calculated values and their difference), the listing of all data sets appended
// to the run's output file, and the initial-curve files written at the start of
// every run. gnuplot scripts plot these files.
#pragma once

#include "core/console.h"
#include "core/run_tables.h"
#include "models/workspace.h"
#include "output/chain_file_writer.h"
#include "output/trace_files.h"
#include "output/param_file_writer.h"
#include "sampler/run_loop.h"

namespace zorvik {

// What outwrite writes (the numbers are those of the program's tradition).
enum class WriteMode {
  curves = 0,         // one result file per fitted data set
  listing = 1,        // every data set appended to the run's output file
  molecules = 10,     // the pair table, "d.dat" and the XYZ files
  molecule_views = 20  // the XYZ files only, for the viewer
};

// Writes the fitted curves at the current parameters `run.params.par`. The
// run is only read: the models are evaluated on a copy of the parameters. (The
// broken-line model writes its intercept into its parameters; the curves are
// written right after compara has stored that same value in the chain's.)
//
// curves: for each fitted data set k = 1 … nfunc, the file
//   nomout(k) is replaced by " #x ydat ycalc diff" and one record
//   "(4(e15.7,2x))" per point of the fit range: x, ydat, ycalc, diff = ydat − ycalc.
//   Data sets on the molecular models get the header
//   " #x ydat ycalc diff RDF" and records "(5(e15.7,2x))" whose fifth value is
//   the molecular term alone: the model evaluated again with the background
//   polynomial p2 … p7 set to zero.
//   Two data sets with the same result name leave the later one in the file.
// listing: appends to nomout(0), for every data set k = 1 … nfunc, fitted or
//   not: " Function:" + nomout(k), " #x ydat ycalc diff", and one record
//   "(6(es15.7,2x))" per point: x, ydat, ycalc, diff.
// molecules, molecule_views: the molecule-geometry writers (write_molecules).
//
// Where the model has no value for a data set (model number 0, or a number
// that selects no routine in that slot) ycalc is written as 0.
void outwrite(WriteMode writemode, const Run& run, ModelWorkspace& ws, Console& con);

// The molecule writers (molecule_files.cpp), selected by the model numbers of
// data sets 1 and 2: molecules prints the pair table and writes "d.dat"
// and the XYZ files, molecule_views the XYZ files only: "molec.xyz" (models 1,
// 4, 5, 6), "molect.xyz" and "molecg.xyz" (model 2, trans and gauche
// conformers); model 3 prints "pelotudo" and waits for the Enter key. Models
// 4 … 6 are written only when no C2F2Cl4 model (1 … 3) is in the fit.
void write_molecules(WriteMode writemode, const Run& run, Console& con);

// The initial-curve files: for each fitted data set i, the file
// "inicif<i>.dat" (i without leading zeros) in the working directory holding the
// line "#x y ycalc" and one free-format line " x y ycalc" per point of the fit
// range, ycalc at the current parameters (0 where the model has no value).
// The models are evaluated on params.par itself, after their rules (the broken
// line's joined intercept) have set its derived values, so that the chi-square
// of the run's start is evaluated at the values the curves show.
void write_initial_curves(const RunSettings& settings, const FitFunctions& data, FitParameters& params,
                          ModelWorkspace& ws);

// The result files as the chain writes them: the initial curves at the start of
// a run, outwrite(WriteMode::curves, …) and the parameter file at every write interval, and
// chain.dat as the chain grows.
class ResultFiles final : public RunOutputs {
 public:
  void initial_curves(const RunSettings& settings, const FitFunctions& data, FitParameters& params,
                      ModelWorkspace& ws) override {
    write_initial_curves(settings, data, params, ws);
  }
  void write_interval(const Run& run, ModelWorkspace& ws, Console& con) override {
    outwrite(WriteMode::curves, run, ws, con);
  }
  void chain_recorded(const Run& run, const ChainRecorder& chain, ChainMoment moment) override {
    chain_file_.update(run, chain, moment);
  }
  void open_traces(const Run& run) override { traces_.open(run); }
  void reopen_traces(const Run& run, StateReader& in) override { traces_.reopen(run, in); }
  void save_traces(StateWriter& out) override { traces_.save(out); }
  void chain_state(const Run& run) override { traces_.chain_state(run); }
  void interval_traces(const Run& run, std::int64_t icycle, const std::array<double, 3>& pct) override {
    traces_.interval(run, icycle, pct);
  }
  void flush_traces() override { traces_.flush(); }
  void parameter_file(const Run& run) override {
    pfinwrite(run.settings.parfile.str(), run.settings, run.data, run.params);
  }
  void save(StateWriter& out) const override { chain_file_.save(out); }
  void restore(StateReader& in) override { chain_file_.restore(in); }

 private:
  ChainFileWriter chain_file_;
  TraceFiles traces_;
};

}  // namespace zorvik
