#include "sampler/run_loop.h"

#include <cmath>
#include <ctime>
#include <fstream>
#include <string>

#include "analysis/distributions.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/record_format.h"
#include "models/functions.h"
#include "output/result_files.h"
#include "sampler/changepar.h"
#include "sampler/compara.h"
#include "setup/param_file.h"

namespace zorvik {

float process_cpu_seconds() { return static_cast<float>(std::clock()) / static_cast<float>(CLOCKS_PER_SEC); }

namespace {

constexpr int kRandomBlock = 1000000;  // uniform numbers generated at a time
constexpr int kSeed = 314159265;
constexpr int kLuxury = 4;
// Relative rise of the chi-square between two write intervals below which the
// chain counts as converged (a single-precision constant).
constexpr float kConvergence = 0.001f;

// Formats records of a fixed format into one reused buffer of items.
class Records {
 public:
  explicit Records(const char* format) : format_(record_format(format)) { items_.reserve(256); }
  Records& clear() {
    items_.clear();
    return *this;
  }
  Records& add(const FmtValue& v) {
    items_.push_back(v);
    return *this;
  }
  void write(std::ostream& out) const {
    out << format_.format(std::span<const FmtValue>(items_.data(), items_.size())) << '\n';
  }

 private:
  const RecordFormat& format_;
  std::vector<FmtValue> items_;
};

struct TraceFiles {
  std::ofstream chi, jump, move, chain;
  std::string chi_name, chain_name;
  bool has_chain = false;

  // Flushes the files and stops, naming the file, when a write failed (a full
  // disk, a file that became unwritable): a trace that silently stops would
  // pass for a complete one.
  void flush() {
    const std::pair<std::ofstream*, const std::string*> files[] = {
        {&chi, &chi_name}, {&jump, &kJump}, {&move, &kMove}, {&chain, &chain_name}};
    for (const auto& [f, name] : files) {
      if (!f->is_open()) continue;
      f->flush();
      if (!*f) throw FatalError("Cannot write file \"" + *name + "\" (is the disk full?)");
    }
  }
  static inline const std::string kJump = "jump.dat", kMove = "move.dat";
};

std::string folder_path(const RunSettings& s, const std::string& name) {
  if (s.folder == kNoFolder) return name;
  return folder_dir(s.folder) + "/" + name;
}

void open_traces(const Run& run, TraceFiles& t) {
  const RunSettings& s = run.settings;
  const FitParameters& p = run.params;
  t.chi_name = s.chifile.str();
  t.chi = open_output(t.chi_name);
  Records head("(11x,a,1x,100a10)");
  head.add("#Cicle chitot nochange chidown chiup");
  for (int i = 1; i <= s.npar; ++i) head.add(p.namepar(i));
  head.write(t.chi);

  t.jump = open_output(TraceFiles::kJump);
  t.move = open_output(TraceFiles::kMove);
  Records mhead("(a,100a7)");
  mhead.add("#step ");
  for (int i = 1; i <= s.npar; ++i) mhead.add(p.namepar(i));
  mhead.write(t.move);

  t.has_chain = s.gparmode == 2 || s.gparmode == 3;
  if (t.has_chain) {
    t.chain_name = folder_path(s, "MMchain.dat");
    t.chain = open_output(t.chain_name);
    Records chead("(a,100a10)");
    chead.add("#step chi ");
    for (int i = 1; i <= s.npar; ++i) chead.add(p.namepar(i));
    chead.write(t.chain);
  }
}

void write_chain_record(const Run& run, Records& rec, std::ostream& out) {
  const RunSettings& s = run.settings;
  rec.clear().add(run.chain.icycle).add(run.chain.chisq(0));
  for (int i = 1; i <= s.npar; ++i) rec.add(run.params.par(i));
  for (int k = 1; k <= s.nfunc; ++k) rec.add(run.chain.chisq(k));
  rec.write(out);
}

// The starting state must have a finite chi-square: name the data set and the
// first point whose model value (or term) is not finite.
void check_finite_start(Run& run, ModelWorkspace& ws) {
  if (std::isfinite(run.chain.chisq(0))) return;
  const FitFunctions& d = run.data;
  for (int i = 1; i <= run.settings.nfunc; ++i) {
    if (d.opfit(i) <= 0 || std::isfinite(run.chain.chisq(i))) continue;
    evaluate_data_set(i, d, run.settings.npar, run.params.par.base(), ws);
    for (int j = d.imin(i); j < d.imin(i) + d.ndatin(i); ++j) {
      const double m = ws.ycalc(j);
      const double s = d.sigmae(i, j);
      const bool bad_value = !std::isfinite(m);
      const bool bad_log = s < 0.0 && m < 0.0;
      if (bad_value || bad_log)
        throw FatalError("The chi-square of the starting parameters is not a finite number: data set " +
                         std::to_string(i) + " (" + d.nomin(i).str() + ", model " + std::to_string(d.opfit(i)) +
                         "), point " + std::to_string(j) + " at x = " + shortest(d.xi(i, j)) + " has the model value " +
                         shortest(m) + (bad_log ? ", which has no logarithm for the Poisson term" : "") +
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
void adapt_steps(Run& run) {
  const RunSettings& s = run.settings;
  FitParameters& p = run.params;
  ChainState& ch = run.chain;
  for (int i = 1; i <= s.npar; ++i) {
    if (!(p.move(i) > 0.0)) continue;
    ch.paracc(i) = static_cast<double>(ch.npardown(1, i) + ch.npardown(2, i)) / s.nwrite;
    const bool adaptive = p.logpar(i) == "a" || p.logpar(i) == "al";
    if (!adaptive || s.temp == 0.0) continue;
    double f = 0.5;
    if (ch.npardown(1, i) != 0 && ch.stepcount(2) != 0) {
      f = ch.paracc(i) / (s.convfactor / p.nfit);
      if (f < 0.1) f = 0.1;
      if (f > 10.0) f = 10.0;
    }
    p.move(i) = std::fabs(f * p.move(i));
    if (p.logpar(i) == "al") {
      // The step of an "al" parameter stays between 1 % and 50 % of its magnitude.
      const double mag = std::fabs(p.par(i));
      if (p.move(i) > mag * 0.5) p.move(i) = mag * 0.5;
      if (mag / 100 > p.move(i)) p.move(i) = mag / 100;
    }
  }
}

}  // namespace

void run_chain(Run& run, ModelWorkspace& ws, RunLoop& loop, Console& con) {
  RunSettings& s = run.settings;
  FitParameters& p = run.params;
  ChainState& ch = run.chain;
  const int npar = s.npar;
  const int stride = npar + 2;

  // --seed N starts the generator from N: runs with different seeds are independent chains.
  const int seed = s.seed > 0 ? static_cast<int>(s.seed) : kSeed;
  loop.ranlux.rluxgo(kLuxury, seed, 0, 0);
  for (int i = 1; i <= s.nfunc; ++i)
    if (run.data.opfit(i) > 0) check_model_ready(run.data.opfit(i), npar, con);
  write_initial_curves(run, ws);
  TraceFiles traces;
  open_traces(run, traces);
  compara(run, ws);
  check_finite_start(run, ws);

  const int nblock = kRandomBlock / stride;
  loop.rvec.assign(static_cast<size_t>(nblock) * stride, 0.0f);
  const int first_block = std::min(nblock, s.ncycles);
  if (first_block > 0) loop.ranlux.ranlux(loop.rvec.data(), first_block * stride);
  loop.ranlux.rluxut(loop.saved_state);
  loop.recorder.begin_run(p, s.ncycles);

  Records chain_rec("(i12,2x,200es15.6)");
  Records chi_rec("(i12,1x,200(1x,es12.6))");
  Records jump_rec("(i12,1x,100(1x,es12.6))");
  Records move_rec("(i12,100es15.6)");
  Records progress("(i12,2x,es9.3,2x,21(es9.3,2x))");
  Records progress_head("(i12,2x,es9.3,2x,5(es9.3,2x))");
  Records progress_tail("(9x,21(es9.3,2x))");
  bool estimate_ready = false;

  double* par = p.par.base();
  for (ch.icycle = 1; ch.icycle <= s.ncycles; ++ch.icycle) {
    const int icycle = ch.icycle;
    // A new block of numbers, continuing the generator's own sequence.
    if (icycle % nblock == 0) {
      loop.ranlux.rluxin(loop.saved_state);
      loop.ranlux.ranlux(loop.rvec.data(), stride * nblock);
      loop.ranlux.rluxut(loop.saved_state);
    }
    const int o = (icycle - 1) % nblock;
    const float* rnums = loop.rvec.data() + static_cast<size_t>(o) * stride - 1;  // rnums[1 … npar+2]

    changepar(run, ws, rnums, con);
    const int ip = ch.ipchanged;
    if (ip > 0) ++ch.npardown(ch.stepresult, ip);

    // Best state: only a step that lowered the chi-square can set a new minimum.
    if (ch.stepresult == kChiDown && ch.chisq(0) < ch.parchimin(0)) {
      ch.parchimin(0) = ch.chisq(0);
      for (int i = 1; i <= npar; ++i) ch.parchimin(i) = par[i];
    }
    loop.recorder.record(par, ch.chisq(0));
    if (s.gparmode == 2) write_chain_record(run, chain_rec, traces.chain);
    if (ch.stepresult > 0 && s.gparmode != 0 && ip != 0) {
      if (p.move(ip) > 0.0) gparameter(run, ip);
      gparameter(run, 0);
      ch.parmed(ip) += par[ip];
    }

    if (icycle % s.nwrite != 0) continue;

    // ---- write interval ----
    if (icycle <= 2 * s.nwrite) {
      if (icycle == s.nwrite) ch.t1 = loop.clock();
      if (icycle == 2 * s.nwrite) {
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

    if (s.annealing == 1) {
      if (ch.nintemp == s.step) {
        s.temp = s.temp - s.incT;
        print_asterisks(con, 47, 1);
        con.record("(a27,es15.5)", "Changing Temperature to T=", s.temp);
        print_asterisks(con, 47, 1);
        ch.nintemp = 1;
      } else {
        ++ch.nintemp;
      }
    } else {
      ++ch.nintemp;
    }

    if (s.gparmode == 3) write_chain_record(run, chain_rec, traces.chain);
    compara(run, ws);

    // Progress report.
    con.record("(a7,a11,a)", "   step", "  time left", "  chisq1,2,3...");
    const float left =
        estimate_ready ? ch.trun - static_cast<float>(icycle) * (ch.t2 - ch.t1) / static_cast<float>(s.nwrite) : 0.0f;
    if (s.nfunc >= 6 && s.nfunc <= 10) {
      progress_head.clear().add(icycle).add(left);
      for (int k = 0; k <= 4; ++k) progress_head.add(ch.chisq(k));
      progress_head.write(con.out());
      progress_tail.clear();
      for (int k = 5; k <= s.nfunc; ++k) progress_tail.add(ch.chisq(k));
      progress_tail.write(con.out());
    } else {
      progress.clear().add(icycle).add(left);
      for (int k = 0; k <= s.nfunc; ++k) progress.add(ch.chisq(k));
      progress.write(con.out());
    }
    const double pct[3] = {100.0 * ch.stepcount(1) / s.nwrite, 100.0 * ch.stepcount(2) / s.nwrite,
                           100.0 * ch.stepcount(3) / s.nwrite};
    con.record("(a30,3(f6.2,'%',2x))", "no change, chidown, chiup:  ", pct[0], pct[1], pct[2]);
    con.empty_line();

    adapt_steps(run);

    chi_rec.clear().add(icycle).add(ch.chisq(0)).add(pct[0]).add(pct[1]).add(pct[2]);
    for (int i = 1; i <= npar; ++i) chi_rec.add(100.0 * ch.paracc(i));
    for (int k = 1; k <= s.nfunc; ++k) chi_rec.add(ch.chisq(k));
    chi_rec.write(traces.chi);
    jump_rec.clear().add(icycle);
    for (int i = 1; i <= npar; ++i) jump_rec.add(p.move(i));
    jump_rec.write(traces.jump);
    move_rec.clear().add(icycle);
    for (int i = 1; i <= npar; ++i) move_rec.add(p.move(i));
    move_rec.write(traces.move);
    traces.flush();

    ch.npardown.fill(0);
    ch.stepcount.fill(0);

    outwrite(0, run, ws, con);
    pfinwrite(s.parfile.str(), s, run.data, p);

    if (s.interactive == 2 || s.interactive == 3) {
      const double d = (ch.chisq(0) - ch.chiprev) / ch.chisq(0);
      if (0.0 < d && d < static_cast<double>(kConvergence)) break;
      ch.chiprev = ch.chisq(0);
    }
  }
  traces.flush();
}

}  // namespace zorvik
