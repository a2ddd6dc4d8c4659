#include "sampler/run_loop.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <string>

#include "core/errors.h"
#include "core/files.h"
#include "core/interrupt.h"
#include "core/output_paths.h"
#include "core/record_format.h"
#include "models/functions.h"
#include "sampler/changepar.h"
#include "sampler/compara.h"
#include "sampler/histograms.h"
#include "sampler/run_state.h"

namespace zorvik {

float process_cpu_seconds() { return static_cast<float>(std::clock()) / static_cast<float>(CLOCKS_PER_SEC); }

namespace {

// Relative rise of the chi-square between two write intervals below which the
// chain counts as converged (a single-precision constant).
constexpr float kConvergence = 0.001f;

// Why the chi-square term of a point is not finite, as the end of a sentence
// ("… has the model value m" + reason); empty when the reason is the value itself.
std::string infinite_term_reason(double y, double m, double sigma) {
  if (!std::isfinite(m)) return "";
  if (sigma > 0.0) return ", whose term (y - m)^2/sigma^2 with y = " + shortest(y) + " and sigma = " + shortest(sigma) +
                          " is not finite";
  if (m < 0.0) return ", a negative expected count for the Poisson term";
  if (m == 0.0 && y > 0.0) return ", an expected count of 0 where " + shortest(y) + " was counted (Poisson term)";
  return ", for which the Poisson term of the count " + shortest(y) + " is not a number";
}

// The starting state must have a finite chi-square: name the data set and the
// first point whose model value or chi-square term is not finite. The models are
// evaluated again on a copy of the parameters.
void check_finite_start(const Run& run, ModelWorkspace& ws) {
  if (std::isfinite(run.chain.chisq(0))) return;
  const FitFunctions& d = run.data;
  ParameterCopy par(run.params);
  for (int i = 1; i <= run.settings.nfunc; ++i) {
    if (!is_fitted(d.opfit(i)) || std::isfinite(run.chain.chisq(i))) continue;
    evaluate_data_set(i, d, run.settings.npar, par.v, ws);
    for (int j = d.imin(i); j < d.imin(i) + d.ndatin(i); ++j) {
      const double m = ws.ycalc(j);
      const double y = d.yi(i, j);
      const double s = d.sigmae(i, j);
      if (std::isfinite(m) && std::isfinite(point_chisq(y, m, s))) continue;
      throw FatalError("The chi-square of the starting parameters is not a finite number: data set " +
                       std::to_string(i) + " (" + d.nomin(i).str() + ", model " + std::to_string(d.opfit(i)) +
                       "), point " + std::to_string(j) + " at x = " + shortest(d.xi(i, j)) + " has the model value " +
                       shortest(m) + infinite_term_reason(y, m, s) +
                       ". Change the start values in the parameter file.");
    }
    throw FatalError("The chi-square of the starting parameters is not a finite number in data set " +
                     std::to_string(i) + " (" + d.nomin(i).str() + "). Change the start values in the parameter file.");
  }
  throw FatalError("The chi-square of the starting parameters is not a finite number. Change the start values.");
}

void print_asterisks(Console& con, int n, int lines) {
  for (int k = 0; k < lines; ++k) con.line(std::string(static_cast<size_t>(n), '*'));
}

// Step adaptation toward the target acceptance: a parameter accepted more often
// than convfactor/nfit per proposal gets a longer step, one accepted less often a
// shorter one, by at most a factor 10 per interval.
void adapt_steps(const RunSettings& s, FitParameters& p, ChainState& ch, bool whole_state) {
  for (int i = 1; i <= s.npar; ++i) {
    if (!(p.move(i) > 0.0)) continue;
    // The proposals that move several parameters at a time learn their own
    // steps: the accepted fraction is that of all steps, and move stays.
    if (whole_state) {
      ch.paracc(i) = static_cast<double>(ch.stepcount(2) + ch.stepcount(3)) / s.nwrite;
      continue;
    }
    ch.paracc(i) = static_cast<double>(ch.npardown(1, i) + ch.npardown(2, i)) / s.nwrite;
    const StepKind kind = p.kind(i);
    const bool adaptive = kind == StepKind::Adaptive || kind == StepKind::AdaptiveLog;
    if (!adaptive || s.temp == 0.0) continue;
    double f = 0.5;
    if (ch.npardown(1, i) != 0 && ch.stepcount(2) != 0) {
      f = ch.paracc(i) / (s.convfactor / p.nfit);
      if (f < 0.1) f = 0.1;
      if (f > 10.0) f = 10.0;
    }
    p.move(i) = std::fabs(f * p.move(i));
    if (kind == StepKind::AdaptiveLog) {
      // The step of an "al" parameter stays between 1 % and 50 % of its magnitude.
      const double mag = std::fabs(p.par(i));
      if (p.move(i) > mag * 0.5) p.move(i) = mag * 0.5;
      if (mag / 100 > p.move(i)) p.move(i) = mag / 100;
    }
  }
}

// The formats of the progress records on the console, parsed once per run.
struct RunRecords {
  RecordLine progress{"(i12,2x,es9.3,2x,21(es9.3,2x))"};
  RecordLine progress_head{"(i12,2x,es9.3,2x,5(es9.3,2x))"};
  RecordLine progress_tail{"(9x,21(es9.3,2x))"};
};

// The run's uniform numbers: the numbers of nblock = 1,000,000/(npar + 2) steps
// generated at a time, so that a step costs no generator call. The step at
// icycle = k·nblock (slot nblock − 1) generates the next block, continuing the
// generator from the state saved after the previous one (numbers drawn at the
// prompt in between do not shift the chain's sequence), and takes its last slot;
// the steps after it take slots 0, 1, … of the same block. A proposal that needs
// more numbers than its step's slot takes the following slots.
class RunBlocks final : public UniformSource {
 public:
  RunBlocks(RunLoop& loop, int stride, std::int64_t first_icycle)
      : loop_(loop), stride_(stride), nblock_(kRandomBlock / stride) {
    o_ = static_cast<int>(((first_icycle - 2) % nblock_ + nblock_) % nblock_);  // the slot before the first step
  }
  StepUniforms next_block() override {
    o_ = o_ + 1 == nblock_ ? 0 : o_ + 1;
    if (o_ == nblock_ - 1) {
      std::copy_n(loop_.saved_state, 25, loop_.block_state);
      loop_.block_count = stride_ * nblock_;
      loop_.ranlux.rluxin(loop_.saved_state);
      loop_.ranlux.ranlux(loop_.rvec.data(), stride_ * nblock_);
      loop_.ranlux.rluxut(loop_.saved_state);
    }
    return StepUniforms(loop_.rvec.data() + static_cast<size_t>(o_) * static_cast<size_t>(stride_));
  }
  // The slot of the last step (a proposal that takes more numbers moves it on).
  int slot() const { return o_; }
  void set_slot(int o) { o_ = o; }

 private:
  RunLoop& loop_;
  int stride_, nblock_, o_;
};

// A proposal that adapts during a warm-up of its own: the statistics of the
// whole chain discard at least the warm-up (its states are not yet those of a
// Markov chain with the posterior as its invariant distribution), whatever
// --burn asked; say so when the burn-in is raised.
void discard_warmup(RunSettings& s, long warmup, Console& con) {
  if (warmup <= 0 || s.ncycles <= 0) return;
  const double n = static_cast<double>(s.ncycles);
  if (warmup >= s.ncycles) {
    con.line("The proposal adapts during its warm-up of", warmup, "steps, longer than the run's", s.ncycles,
             "cycles: the whole chain adapts and its statistics have no sample. Ask for more cycles.");
    s.burn_fraction = std::nextafter(1.0, 0.0);
    return;
  }
  if (s.burn_fraction * n >= static_cast<double>(warmup)) return;
  const double raised = (static_cast<double>(warmup) + 0.5) / n;
  con.line("The statistics of the whole chain discard the proposal's warm-up of", warmup,
           "steps: the burn-in fraction is raised from", s.burn_fraction, "to", raised);
  s.burn_fraction = raised;
}

// The start of a run: the generator seeded, the models checked, the initial
// curves and the trace files written, the starting chi-square evaluated (and
// required to be finite), the first block of uniform numbers drawn. Changes the
// chain (chi-squares, the start as best state) and, through the models'
// write-back, params.par.
void start_run(Run& run, ModelWorkspace& ws, RunLoop& loop, RunOutputs& outputs, Console& con) {
  const RunSettings& s = run.settings;
  const int npar = s.npar;
  const int stride = npar + 2;
  // --seed N starts the generator from N: runs with different seeds are independent chains.
  const int seed = s.seed > 0 ? static_cast<int>(s.seed) : kRunSeed;
  loop.ranlux.rluxgo(kRunLuxury, seed, 0, 0);
  for (int i = 1; i <= s.nfunc; ++i)
    if (is_fitted(run.data.opfit(i))) check_model_ready(run.data.opfit(i), npar, con);
  outputs.initial_curves(s, run.data, run.params, ws);
  outputs.open_traces(run);
  compara(s, run.data, run.params, run.chain, ws);
  check_finite_start(run, ws);
  // Until a step lowers the chi-square, the start is the best state seen.
  run.chain.note_run_start(run.params.par.base(), npar);
  if (loop.proposal_varpar != s.varpar) {
    loop.proposal = make_proposal(s.varpar);
    loop.proposal_varpar = s.varpar;
  }
  if (loop.proposal) {
    loop.proposal->start(run);
    discard_warmup(run.settings, loop.proposal->warmup(), con);
  }

  const int nblock = kRandomBlock / stride;
  loop.rvec.assign(static_cast<size_t>(nblock) * stride, 0.0f);
  // The first block holds the run's steps; a proposal that takes more numbers
  // than its slot may need all of it.
  const bool takes_more = loop.proposal && loop.proposal->whole_state();
  const int first_block = takes_more ? nblock : std::min(nblock, s.ncycles);
  loop.ranlux.rluxut(loop.block_state);
  loop.block_count = std::max(first_block, 0) * stride;
  if (first_block > 0) loop.ranlux.ranlux(loop.rvec.data(), first_block * stride);
  loop.ranlux.rluxut(loop.saved_state);
  loop.recorder.begin_run(run.params, s.ncycles);
  loop.recorder.set_walkers(loop.proposal ? loop.proposal->walkers() : 1);
  outputs.chain_recorded(run, loop.recorder, ChainMoment::run_start);
}

// What a step leaves besides the state itself: the best state, the whole-chain
// record, the chain trace (gparmode 2) and the histograms of accepted values.
void record_step(const Run& run, ChainState& ch, HistogramStore& hist, RunLoop& loop, RunOutputs& outputs,
                 bool whole_state) {
  const RunSettings& s = run.settings;
  const FitParameters& p = run.params;
  const double* par = p.par.base();
  const int ip = ch.ipchanged;
  if (ip > 0) ++ch.npardown(ch.stepresult, ip);

  // Best state: only a step that lowered the chi-square can set a new minimum.
  if (ch.stepresult == kChiDown && ch.chisq(0) < ch.downhill_bound()) {
    ch.parchimin(0) = ch.chisq(0);
    for (int i = 1; i <= s.npar; ++i) ch.parchimin(i) = par[i];
    ch.minimum_is_start = false;
  }
  loop.recorder.record(par, ch.chisq(0));
  if (s.gparmode == 2) outputs.chain_state(run);
  if (whole_state) {
    // Every state of the chain, a refused step repeating the
    // state, so that the histograms are the posterior's. The chi-square
    // histogram takes one entry per parameter entry, as in the one-parameter
    // mode, which is what its normalisation counts.
    if (s.gparmode != 0) {
      for (int k = 1; k <= p.nfit; ++k) {
        const int i = p.parfit(k);
        if (p.move(i) > 0.0) {
          gparameter(i, s, p, ch, hist);
          gparameter(0, s, p, ch, hist);
        }
        ch.parmed(i) += par[i];
      }
    }
  } else if (ch.stepresult > 0 && s.gparmode != 0 && ip != 0) {
    if (p.move(ip) > 0.0) gparameter(ip, s, p, ch, hist);
    gparameter(0, s, p, ch, hist);
    ch.parmed(ip) += par[ip];
  }
}

// The CPU time of the first two write intervals gives the estimate of the run
// time, printed in the largest unit that keeps it below 60 (up to days).
void report_run_time(const RunSettings& s, ChainState& ch, const RunLoop& loop, std::int64_t icycle,
                     bool& estimate_ready, Console& con) {
  const std::int64_t nwrite = s.nwrite;
  if (icycle > 2 * nwrite) return;
  if (icycle == nwrite) ch.t1 = loop.clock();
  if (icycle == 2 * nwrite) {
    ch.t2 = loop.clock();
    con.empty_line();
    print_asterisks(con, 36, 2);
    ch.trun = static_cast<float>(s.ncycles) * (ch.t2 - ch.t1) / static_cast<float>(s.nwrite);
    const float t = ch.trun;
    if (t < 60.0f)
      con.record("(a23,f12.6,a)", "** ESTIMATED RUN TIME:", t, " s");
    else if (t < 3600.0f)
      con.record("(a23,f12.6,a)", "** ESTIMATED RUN TIME:", t / 60.0f, " min");
    else if (t < 86400.0f)
      con.record("(a23,f12.6,a)", "** ESTIMATED RUN TIME:", t / 3600.0f, " h");
    else
      con.record("(a23,f12.6,a)", "** ESTIMATED RUN TIME:", t / 86400.0f, " DAYS!!!");
    estimate_ready = true;
  }
  print_asterisks(con, 36, 2);
  con.empty_line();
}

// Simulated annealing: every `step` write intervals the temperature falls by incT.
void anneal(RunSettings& s, ChainState& ch, Console& con) {
  if (s.annealing == 1 && ch.nintemp == s.step) {
    s.temp = s.temp - s.incT;
    print_asterisks(con, 47, 1);
    con.record("(a27,es15.5)", "Changing Temperature to T=", s.temp);
    print_asterisks(con, 47, 1);
    ch.nintemp = 1;
  } else {
    ++ch.nintemp;
  }
}

// The progress report of a write interval: the step, the time left and the
// chi-squares (six to ten data sets take two lines), then the percentages of
// unchanged, downhill and uphill steps, which it returns for the trace.
std::array<double, 3> report_progress(const RunSettings& s, const ChainState& ch, std::int64_t icycle,
                                      bool estimate_ready, RunRecords& rec, Console& con) {
  con.record("(a7,a11,a)", "   step", "  time left", "  chisq1,2,3...");
  const float left =
      estimate_ready ? ch.trun - static_cast<float>(icycle) * (ch.t2 - ch.t1) / static_cast<float>(s.nwrite) : 0.0f;
  if (s.nfunc >= 6 && s.nfunc <= 10) {
    rec.progress_head.clear().add(icycle).add(left);
    for (int k = 0; k <= 4; ++k) rec.progress_head.add(ch.chisq(k));
    rec.progress_head.write(con.out());
    rec.progress_tail.clear();
    for (int k = 5; k <= s.nfunc; ++k) rec.progress_tail.add(ch.chisq(k));
    rec.progress_tail.write(con.out());
  } else {
    rec.progress.clear().add(icycle).add(left);
    for (int k = 0; k <= s.nfunc; ++k) rec.progress.add(ch.chisq(k));
    rec.progress.write(con.out());
  }
  const std::array<double, 3> pct = {100.0 * ch.stepcount(1) / s.nwrite, 100.0 * ch.stepcount(2) / s.nwrite,
                                     100.0 * ch.stepcount(3) / s.nwrite};
  con.record("(a30,3(f6.2,'%',2x))", "no change, chidown, chiup:  ", pct[0], pct[1], pct[2]);
  con.empty_line();
  return pct;
}

// The write interval: report, adapt, anneal, write the traces, the result
// files and the parameter file. True when the convergence test ends the run.
// Changes settings.temp (annealing), the steps params.move, and the chain.
bool write_interval(Run& run, ModelWorkspace& ws, RunLoop& loop, RunOutputs& outputs, RunRecords& rec,
                    bool& estimate_ready, Console& con) {
  RunSettings& s = run.settings;
  ChainState& ch = run.chain;
  const std::int64_t icycle = ch.icycle;
  report_run_time(s, ch, loop, icycle, estimate_ready, con);
  anneal(s, ch, con);
  if (s.gparmode == 3) outputs.chain_state(run);
  compara(s, run.data, run.params, run.chain, ws);
  const std::array<double, 3> pct = report_progress(s, ch, icycle, estimate_ready, rec, con);
  adapt_steps(s, run.params, ch, loop.proposal && loop.proposal->whole_state());
  outputs.interval_traces(run, icycle, pct);

  ch.npardown.fill(0);
  ch.stepcount.fill(0);

  outputs.write_interval(run, ws, con);
  outputs.chain_recorded(run, loop.recorder, ChainMoment::write_interval);
  outputs.parameter_file(run);

  if (s.interactive == 2 || s.interactive == 3) {
    const double d = (ch.chisq(0) - ch.chiprev) / ch.chisq(0);
    if (0.0 < d && d < static_cast<double>(kConvergence)) return true;
    ch.chiprev = ch.chisq(0);
  }
  return false;
}

// Where the loop stands between two steps, besides the chain's own counters.
struct LoopPosition {
  int slot = 0;                // the block slot of the last step
  long long intervals = 0;     // write intervals done in this run
  bool estimate_ready = false;
  bool pending = false;        // the last step ended an interval that was not yet written
};

// The checkpoint of the run as it stands after step chain.icycle (sections in
// the order of core/checkpoint_io.h). `force`: to the disk whatever the time
// since the last forced one (a signal's stop, after which the job may go on
// elsewhere). The last interval of a finished run is not forced for being the
// last: forcing it would wait for the whole recorded chain to reach the disk,
// the largest part of the checkpoints' cost on a run of a few seconds, and a
// power cut after the run keeps what it keeps after any other interval.
void save_checkpoint(const Run& run, const ModelWorkspace& ws, RunLoop& loop, RunOutputs& outputs,
                     const LoopPosition& pos, bool force) {
  const auto start = std::chrono::steady_clock::now();
  // The previous checkpoint is whole, and its side file's bytes written, before
  // this one is made (its side file continues from them).
  loop.writer_seconds += loop.checkpoint_writer.wait();
  StateWriter& out = loop.checkpoint_writer.body();
  out.clear();
  out.put_string(loop.checkpoint_inputs);
  out.put<std::int64_t>(run.chain.icycle);  // where the run stands, for the resume's first line
  save_run_state(out, run);
  out.put_array(ws.chisq_par.data(), ws.chisq_par.size());
  out.put(ws.chisq_par_valid);
  out.put_array(loop.block_state, 25);
  out.put(loop.block_count);
  out.put_array(loop.saved_state, 25);
  out.put(pos);
  out.put(loop.proposal != nullptr);
  if (loop.proposal) loop.proposal->save(out);
  loop.spill.set_path(loop.checkpoint_path);
  loop.recorder.save(out, loop.spill, loop.checkpoint_writer.side());
  outputs.save_traces(out);
  outputs.save(out);
  const bool durable = force || !loop.forced_any || loop.spill.rewritten() ||
                       std::chrono::duration<double>(start - loop.last_forced).count() >= loop.checkpoint_sync;
  loop.checkpoint_writer.start(loop.checkpoint_path, loop.program_version, durable, loop.recent_slot);
  if (durable) {
    loop.forced_any = true;
    loop.last_forced = start;
    ++loop.checkpoints_forced;
  } else {
    loop.recent_slot = 1 - loop.recent_slot;
  }
  ++loop.checkpoints_written;
  loop.checkpoint_seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The start of a resumed run: everything save_checkpoint kept, in its order,
// the block of uniform numbers generated again from the generator's state
// before it.
void resume_run(Run& run, ModelWorkspace& ws, RunLoop& loop, RunOutputs& outputs, LoopPosition& pos) {
  StateReader& in = *loop.resume;
  const RunSettings& s = run.settings;
  restore_run_state(in, run);
  in.get_array(ws.chisq_par.data(), ws.chisq_par.size());
  in.get(ws.chisq_par_valid);
  in.get_array(loop.block_state, 25);
  in.get(loop.block_count);
  in.get_array(loop.saved_state, 25);
  in.get(pos);
  const int stride = s.npar + 2;
  const int nblock = kRandomBlock / stride;
  if (loop.block_count < 0 || loop.block_count > nblock * stride || pos.slot < 0 || pos.slot >= nblock)
    in.refuse("its block of random numbers does not fit the run");
  loop.rvec.assign(static_cast<size_t>(nblock) * stride, 0.0f);
  loop.ranlux.rluxin(loop.block_state);
  if (loop.block_count > 0) loop.ranlux.ranlux(loop.rvec.data(), loop.block_count);
  loop.ranlux.rluxin(loop.saved_state);
  loop.proposal = in.get<bool>() ? make_proposal(s.varpar) : nullptr;
  loop.proposal_varpar = s.varpar;
  if (loop.proposal) loop.proposal->restore(in);
  loop.spill.set_path(loop.checkpoint_path);
  loop.recorder.restore(in, loop.spill);
  outputs.reopen_traces(run, in);
  outputs.restore(in);
  if (!in.at_end()) in.refuse("it has state this program does not know (the file is damaged)");
  loop.resume.reset();
}

// A write interval, then the checkpoint when one is due. True when the
// convergence test ends the run (no checkpoint then: the run is ending).
bool interval_and_checkpoint(Run& run, ModelWorkspace& ws, RunLoop& loop, RunOutputs& outputs, RunRecords& rec,
                             LoopPosition& pos, const RunBlocks& blocks, Console& con) {
  pos.pending = false;
  if (write_interval(run, ws, loop, outputs, rec, pos.estimate_ready, con)) return true;
  ++pos.intervals;
  if (!loop.checkpoint_path.empty() && pos.intervals % loop.checkpoint_every == 0) {
    pos.slot = blocks.slot();
    save_checkpoint(run, ws, loop, outputs, pos, false);
  }
  return false;
}

}  // namespace

void run_chain(Run& run, ModelWorkspace& ws, RunLoop& loop, RunOutputs& outputs, Console& con) {
  const RunSettings& s = run.settings;
  ChainState& ch = run.chain;
  const int stride = s.npar + 2;
  const bool checkpoints = !loop.checkpoint_path.empty();
  const StopOnSignal stop_on_signal(checkpoints);
  LoopPosition pos;
  const bool resumed = loop.resume != nullptr;
  if (resumed)
    resume_run(run, ws, loop, outputs, pos);
  else
    start_run(run, ws, loop, outputs, con);
  RunRecords rec;

  // The step counter is 64 bits wide, so that a run of ncycles up to the
  // largest 32-bit count ends (a 32-bit counter would overflow after its last
  // step). Step numbers are only ever compared and printed; the block slot and
  // the position in the write interval, icycle mod nwrite, are kept as small
  // counters that wrap, so a step does no division.
  const std::int64_t first = resumed ? ch.icycle + 1 : loop.first_icycle;
  RunBlocks blocks(loop, stride, first);
  if (resumed) blocks.set_slot(pos.slot);
  Proposal* prop = loop.proposal.get();
  const bool whole_state = prop != nullptr && prop->whole_state();
  int in_interval = static_cast<int>((first - 1) % s.nwrite);  // the step before, mod nwrite
  // A run stopped right after the last step of an interval writes it first.
  bool ended = pos.pending && interval_and_checkpoint(run, ws, loop, outputs, rec, pos, blocks, con);
  for (ch.icycle = ended ? ch.icycle : first; !ended && ch.icycle <= s.ncycles; ++ch.icycle) {
    in_interval = in_interval + 1 == s.nwrite ? 0 : in_interval + 1;
    StepDraw draw{blocks.next_block(), &blocks};
    changepar(s, run.data, run.params, ch, ws, prop, draw, con);
    record_step(run, ch, run.hist, loop, outputs, whole_state);
    if (stop_signal() != 0) {
      ended = true;
      pos.pending = in_interval == 0;
      break;
    }
    if (in_interval != 0) continue;
    if (interval_and_checkpoint(run, ws, loop, outputs, rec, pos, blocks, con)) break;
  }
  outputs.flush_traces();
  outputs.chain_recorded(run, loop.recorder, ChainMoment::run_end);
  // A signal's stop keeps the step it stopped at, for --resume.
  if (checkpoints && stop_signal() != 0 && ended) {
    pos.slot = blocks.slot();
    save_checkpoint(run, ws, loop, outputs, pos, true);
  }
  // The last checkpoint is on the disk before the run goes on to its end.
  if (checkpoints) loop.writer_seconds += loop.checkpoint_writer.wait();
}

}  // namespace zorvik
