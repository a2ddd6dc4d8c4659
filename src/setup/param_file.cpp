#include "setup/param_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "core/errors.h"
#include "core/files.h"
#include "core/free_format.h"
#include "core/table.h"
#include "core/record_format.h"
#include "models/catalogue.h"
#include "output/shell_commands.h"
#include "setup/output_check.h"

namespace zorvik {

namespace {

// ---- reading ---------------------------------------------------------------

// A count read from the file: negative counts are input errors, counts beyond
// the capacity of their table are index-range errors.
void check_count(const FreeReader& rd, int count, const char* what, const char* table, int dimension,
                 int capacity) {
  if (count < 0)
    throw InputError(rd.name(), rd.line(),
                     std::string(what) + ": expected a count from 0 to " + std::to_string(capacity) +
                         ", found " + std::to_string(count));
  check_index_at(rd.name(), rd.line(), table, dimension, 1, capacity, count == 0 ? 1 : count);
}

// A parameter number named in a group, relation or peak.
void check_parameter(const FreeReader& rd, int k) { check_index_at(rd.name(), rd.line(), "par", 1, 1, kMaxPar, k); }

// A name that the plot scripts write between double quotes must not be able
// to end its string there: a double quote would close it (and what follows
// would run as gnuplot commands), a line end would end the command.
void check_script_name(const FreeReader& rd, int line, const std::string& what, std::string_view name) {
  if (name.find_first_of("\"\n\r") == std::string_view::npos) return;
  throw InputError(rd.name(), line,
                   what + " " + shown_token(name) +
                       " holds a double quote or a line end, which the gnuplot scripts cannot take in a name");
}

// Every table the file fills starts from scratch at each reading, so an
// edit-and-reread cycle or a reload sees nothing of the previous file.
void reset_tables(FitFunctions& d, FitParameters& p) {
  for (int i = 1; i <= kMaxFunc; ++i) {
    d.nomin(i) = "";
    d.fileop(i) = "";
    d.nomout(i) = "";
    d.kin(i) = d.kfin(i) = 0.0;
    d.opfit(i) = 0;
    d.nameconv(i) = "";
    d.xmaxconv(i) = d.zeroconv(i) = 0.0;
    d.sigmae(i, 0) = 0.0;
    d.logrange(i) = 0;
  }
  d.ninterp.fill(0);
  d.parline.fill(0);
  d.nomout(0) = "";
  // A parameter that the new file no longer defines must not keep its old
  // value, step, limits, name or kind: the parameter tables start as in a
  // fresh process.
  p = FitParameters{};
}

// The lines on which the reading found what later messages name.
struct RecordLines {
  std::vector<int> resolution = std::vector<int>(kMaxFunc + 1, 0);  // record 3a of data set i
  std::vector<int> contour = std::vector<int>(kMaxCont + 1, 0);     // record 19 of contour c
  int output = 0;                                                   // record 4
};

// Record 1, the run line, and record 2, the column header.
void read_run_line(FreeReader& rd, RunSettings& s, Console& con) {
  const std::string file = rd.name();
  con.empty_line();
  con.line("## FICHERO DE PARAMETROS ##");
  rd.read("record 1 (run line): title, interactive, plt, nfunc", {s.title, s.interactive, s.plt, s.nfunc});
  if (s.nfunc < 1)
    throw InputError(file, rd.line(), "record 1 (run line): expected nfunc from 1 to 20, found " +
                                          std::to_string(s.nfunc));
  check_index_at(file, rd.line(), "nomin", 1, 1, kMaxFunc, s.nfunc);
  con.line("Titulo:  ", s.title);
  con.line("Functions to fit:  ", s.nfunc);
  if (s.interactive == 1) con.line("DIALOG ON");
  if (s.plt == 0) con.line("I will read plt files");
  if (s.plt == 1) con.line("I will generate plt files");
  con.empty_line();

  // Record 2: the column header.
  std::string dum;
  rd.read("record 2 (column header)", {dum});
  con.line("dum:  ", dum);
}

// Record 3 of data set i: its files, range and model; the output folder when
// the data file lies in one.
void read_data_set_line(FreeReader& rd, int i, RunSettings& s, FitFunctions& d, Console& con) {
  const std::string file = rd.name();
  const std::string rec = "record 3 (data set " + std::to_string(i) + ")";
  rd.read(rec + ": nomin, fileop, ninterp, nomout, kin, kfin, opfit",
          {d.nomin(i), d.fileop(i), d.ninterp(i), d.nomout(i), d.kin(i), d.kfin(i), d.opfit(i)});
  const int data_line = rd.line();
  d.parline(i) = data_line;
  con.record("(a15,1x,a3,1x,i4,1x,a15,2f10.5,i3,2x,a21)", d.nomin(i), d.fileop(i), d.ninterp(i),
             d.nomout(i), d.kin(i), d.kfin(i), d.opfit(i));
  check_script_name(rd, data_line, rec + ": the result file", d.nomout(i).trimmed());
  if (d.nomin(i)[4] == '/' || d.nomin(i)[4] == '\\') {
    s.folder = d.nomin(i).first(4);
    check_script_name(rd, data_line, rec + ": the output folder", s.folder.trimmed());
  }
  con.line("folder= ", s.folder);
  if (!(s.folder == kNoFolder) && !directory_exists(s.folder.str())) mkdir(con, s.folder.padded());

  if (d.opfit(i) == 0) {
    con.record("('Function ',i3,' will NOT be fited')", i);
  } else {
    const std::string problem = model_slot_problem(d.opfit(i), i, d.fileop(i).str());
    if (!problem.empty())
      throw InputError(file, data_line,
                       "data set " + std::to_string(i) + " (" + d.nomin(i).str() + ", model " +
                           std::to_string(d.opfit(i)) + "): " + problem);
    if (is_fitted(d.opfit(i))) {
      con.record("('Function',i3,1x,' fitted from ',es15.6,' to',es15.6)", i, d.kin(i), d.kfin(i));
      ++s.nfitfunc;
      con.line("***********NFUN:", s.nfitfunc);
    }
  }
}

// Record 3a of a data set whose resolution is read from a file.
void read_resolution_line(FreeReader& rd, int i, FitFunctions& d, RecordLines& lines, Console& con) {
  con.line("Convolution function will be read from file");
  rd.read("record 3a (resolution of data set " + std::to_string(i) + "): nameconv, xmaxconv, zeroconv",
          {d.nameconv(i), d.xmaxconv(i), d.zeroconv(i)});
  lines.resolution[static_cast<size_t>(i)] = rd.line();
  if (std::fabs(d.zeroconv(i)) >= std::fabs(d.xmaxconv(i))) {
    con.line("**ERROR: zeroconv MUST be smaller than xmaxconv!!");
    throw ProgramStop(1);
  }
  con.record("(a6,a15,a6,f12.6)", "File: ", d.nameconv(i), "Xmax: ", d.xmaxconv(i));
  if (d.zeroconv(i) >= 0)
    con.line("Origin of conv function: ", d.zeroconv(i));
  else
    con.line("Origin of conv function will be maximum y value");
}

// Records 3 and 3a: the data sets; at least one must be fitted.
void read_data_sets(FreeReader& rd, RunSettings& s, FitFunctions& d, RecordLines& lines, Console& con) {
  for (int i = 1; i <= s.nfunc; ++i) {
    read_data_set_line(rd, i, s, d, con);
    if (d.fileop(i) == "cf") read_resolution_line(rd, i, d, lines, con);
  }
  con.line("Number of functions that can  be fitted:", s.nfunc);
  con.line("Number of functions that will be fitted:", s.nfitfunc);
  if (s.nfitfunc == 0)
    throw InputError(rd.name(), 0,
                     "no data set is fitted: every data-set line has model number 0, so there is "
                     "nothing to fit");
}

// Records 4 to 6: output files, temperature, sigmas.
void read_outputs_and_sigmas(FreeReader& rd, RunSettings& s, FitFunctions& d, RecordLines& lines, Console& con) {
  rd.read("record 4 (output files): nomout, chifile", {d.nomout(0), s.chifile});
  lines.output = rd.line();
  con.line("Output file:", d.nomout(0));
  con.line("Output chisq file:", s.chifile);
  rd.read("record 5 (temperature): temp", {s.temp});
  con.line("Temperature for MCMC: ", s.temp);
  con.empty_line();
  rd.begin();
  for (int i = 1; i <= s.nfunc; ++i)
    rd.value("record 6 (sigmas): sigma of data set " + std::to_string(i), d.sigmae(i, 0));
  rd.end();
  {
    std::vector<FreeItem> items{FreeItem("Sigmas exp")};
    for (int i = 1; i <= s.nfunc; ++i) items.emplace_back(d.sigmae(i, 0));
    con.line_items(items);
  }
  s.sigma_ratio = d.sigmae(2, 0) / d.sigmae(1, 0);
  con.line("sigma2/sigma1= ", s.sigma_ratio);
}

// Simulated annealing replaces ncycles by the steps of its schedule: nwrite ·
// step write intervals at each of the temperatures from Tin to Tfn by incT.
void apply_annealing_schedule(const FreeReader& rd, RunSettings& s, Console& con) {
  const std::string file = rd.name();
  con.line("Annealing will be done", s.step, s.Tin, s.Tfn, s.incT);
  if (s.incT == 0.0)
    throw InputError(file, rd.line(), "record 11: annealing needs a temperature step incT other than 0");
  // nT temperature stages, rounded to the nearest integer (halves away from zero).
  const double stages = std::round(std::fabs(s.Tfn - s.Tin) / s.incT) + 1.0;
  const double total = static_cast<double>(s.nwrite) * s.step * stages;
  if (total < 0.0)
    throw InputError(file, rd.line(),
                     "record 11: the annealing schedule gives a negative number of steps (" + shortest(total) +
                         "): step must not be negative");
  if (!(std::fabs(total) <= std::numeric_limits<int>::max()))
    throw InputError(file, rd.line(),
                     "record 11: the annealing schedule asks for more steps than a run can hold (" +
                         shortest(total) + ")");
  s.ncycles = static_cast<int>(total);
  con.line("Total number of cicles, therefore:", s.ncycles);
  s.temp = s.Tin;
  con.line("Initital temperature is therefore set to:", s.temp);
}

// Records 7 to 12: the chain settings.
void read_chain_settings(FreeReader& rd, RunSettings& s, Console& con) {
  const std::string file = rd.name();
  rd.read("record 7 (parameter count): npar", {s.npar});
  if (s.npar < 1)
    throw InputError(file, rd.line(), "record 7: expected npar from 1 to 100, found " + std::to_string(s.npar));
  check_index_at(file, rd.line(), "par", 1, 1, kMaxPar, s.npar);
  con.line("Num. parametros:  ", s.npar);
  rd.read("record 8 (cycles): ncycles, nwrite", {s.ncycles, s.nwrite});
  if (s.ncycles < 0)
    throw InputError(file, rd.line(),
                     "record 8: the number of steps ncycles must not be negative, found " + std::to_string(s.ncycles));
  if (s.nwrite < 1)
    throw InputError(file, rd.line(),
                     "record 8: the write interval nwrite must be at least 1 step, found " + std::to_string(s.nwrite));
  con.line("Num. ciclos, num write  ", s.ncycles, s.nwrite);
  rd.read("record 9 (proposal and histograms): varpar, gparmode, incgpar, incgchi, notused",
          {s.varpar, s.gparmode, s.incgpar, s.incgchi, s.notused});
  con.line("variar parametros:", s.varpar);
  if (s.gparmode == 0) con.line("Gpar and Gchi will NOT be calculated");
  if (s.gparmode == 1) con.line("Gpar, Glk and Gchi calculated with increments", s.incgpar, s.incgchi, s.notused);
  rd.read("record 10 (annealing switch): annealing", {s.annealing});
  rd.read("record 11 (annealing schedule): step, Tin, Tfn, incT", {s.step, s.Tin, s.Tfn, s.incT});
  if (s.annealing == 1) apply_annealing_schedule(rd, s, con);
  rd.read("record 12 (acceptance factor): convfactor", {s.convfactor});
  con.line("Factor convergencia  ", s.convfactor);
}

// A parameter line that cannot give a chain: limits the wrong way round (no
// value lies between them; equal limits are a parameter held at one value),
// or a free parameter whose step kind the chain step does not know. A fixed
// parameter's kind is never used and is left as written.
void check_parameter_line(const FreeReader& rd, int k, const Name15& name, const Word3& kind, double m, double lo,
                          double hi) {
  const std::string who = "record 13 (parameter " + std::to_string(k) + ", " + name.str() + "): ";
  if (lo > hi)
    throw InputError(rd.name(), rd.line(),
                     who + "the lower limit " + shortest(lo) + " is above the upper limit " + shortest(hi) +
                         ": expected min <= max");
  // The kinds the chain step applies (StepKind): any other would never move it.
  if (m == 0.0 || step_kind(kind) != StepKind::Unmoved) return;
  throw InputError(rd.name(), rd.line(),
                   who + "unknown step kind " + shown_token(kind.trimmed()) +
                       ": expected n, a, al, p or l (a parameter with step 0 is fixed and may have any kind)");
}

// Records 13: the parameters. False when a start value lies outside its limits
// and the dialog asks to stop reading (to edit the file).
bool read_parameters(FreeReader& rd, const RunSettings& s, FitParameters& p, Console& con,
                     const OutOfLimitsDialog& ask_edit) {
  const std::string file = rd.name();
  p.nfit = 0;
  std::vector<int> line_of(kMaxPar + 1, 0);
  for (int l = 1; l <= s.npar; ++l) {
    int k = 0;
    Name15 name;
    Word3 kind;
    double v = 0, m = 0, lo = 0, hi = 0;
    rd.read("record 13 (parameter line " + std::to_string(l) + "): number, name, step kind, value, step, min, max",
            {k, name, kind, v, m, lo, hi});
    con.record("(i4,a10,a3,4es15.6)", k, name, kind, v, m, lo, hi);
    check_index_at(file, rd.line(), "namepar", 1, 1, kMaxPar, k);
    check_parameter_line(rd, k, name, kind, m, lo, hi);
    check_script_name(rd, rd.line(), "record 13 (parameter " + std::to_string(k) + "): the name", name.trimmed());
    if (line_of[k] != 0)
      throw InputError(file, rd.line(),
                       "parameter " + std::to_string(k) + " is defined twice (also on line " +
                           std::to_string(line_of[k]) + ")");
    line_of[k] = rd.line();
    p.namepar(k) = name.trimmed();
    p.logpar(k) = kind.trimmed();
    p.par(k) = v;
    p.move(k) = m;
    p.parmin(k) = lo;
    p.parmax(k) = hi;
    p.orden(l) = k;
    p.incgg(k) = m / s.incgpar;
    // Equal limits leave the parameter no room: it is fixed, whatever its step.
    if (m != 0 && lo == hi) {
      con.line("Parameter", k, "(" + std::string(name.trimmed()) + ") has equal limits: it is fixed (step 0)");
      p.move(k) = m = 0;
    }
    if (m != 0) p.parfit(++p.nfit) = k;
    if ((v > hi || v < lo) && ask_edit(p.namepar(k))) return false;
  }
  con.line("Parameters to fit:", p.nfit);
  if (p.nfit == 0) con.line("NO PARAMETER WILL BE FITTED!!!!!");
  return true;
}

// Records 14 to 17: equality groups and order relations.
void read_groups_and_relations(FreeReader& rd, FitParameters& p, Console& con) {
  rd.read("record 14 (group count): ngroups", {p.ngroups});
  check_count(rd, p.ngroups, "record 14 (group count)", "ign", 1, kMaxGroups);
  con.record("(a5,i3)", "nig=", p.ngroups);
  for (int g = 1; g <= p.ngroups; ++g) {
    const std::string rec = "record 15 (group " + std::to_string(g) + ")";
    rd.begin();
    rd.value(rec + ": size", p.ign(g));
    check_count(rd, p.ign(g), rec.c_str(), "parig", 2, kMaxMembers);
    for (int j = 1; j <= p.ign(g); ++j) {
      rd.value(rec + ": member " + std::to_string(j), p.parig(g, j));
      check_parameter(rd, p.parig(g, j));
    }
    rd.end();
    std::vector<FreeItem> items{FreeItem(p.ign(g))};
    for (int j = 1; j <= p.ign(g); ++j) items.emplace_back(p.parig(g, j));
    con.line_items(items);
  }

  // Records 16 and 17: order relations.
  rd.read("record 16 (relation count): nrel", {p.nrel});
  check_count(rd, p.nrel, "record 16 (relation count)", "parrel", 1, kMaxRel);
  con.record("(a5,i3)", "nrel=", p.nrel);
  for (int r = 1; r <= p.nrel; ++r) {
    rd.read("record 17 (relation " + std::to_string(r) + "): first parameter, second parameter",
            {p.parrel(r, 1), p.parrel(r, 2)});
    check_parameter(rd, p.parrel(r, 1));
    check_parameter(rd, p.parrel(r, 2));
    con.line(p.parrel(r, 1), p.parrel(r, 2));
  }
}

// Records 18 to 20: contour requests.
void read_contours(FreeReader& rd, const RunSettings& s, FitParameters& p, RecordLines& lines, Console& con) {
  const std::string file = rd.name();
  con.line("contornos:");
  rd.read("record 18 (contour count): ncont", {p.ncont});
  check_count(rd, p.ncont, "record 18 (contour count)", "contpar", 1, kMaxCont);
  con.line("ncont", p.ncont);
  for (int c = 1; c <= p.ncont; ++c) {
    const std::string rec = "record 19 (contour " + std::to_string(c) + ")";
    rd.read(rec + ": first parameter, second parameter, name", {p.contpar(c, 1), p.contpar(c, 2), p.namecont(c)});
    lines.contour[static_cast<size_t>(c)] = rd.line();
    // The map evaluates the chi-square over parameters 1 … npar; a negative first
    // number only asks for a map without empty lines between its rows.
    const int ci = std::abs(p.contpar(c, 1)), cj = p.contpar(c, 2);
    for (int q : {ci, cj})
      if (q < 1 || q > s.npar)
        throw InputError(file, rd.line(),
                         rec + ": parameter " + std::to_string(q) + " is not one of the parameters 1 to npar = " +
                             std::to_string(s.npar));
    check_script_name(rd, rd.line(), rec + ": the file", p.namecont(c).trimmed());
    con.line(p.namecont(c), p.contpar(c, 1), p.contpar(c, 2));
    rd.read("record 20 (contour grid " + std::to_string(c) + "): xmin, xmax, ymin, ymax, dx, dy",
            {p.ctminx(c), p.ctmaxx(c), p.ctminy(c), p.ctmaxy(c), p.ctdx(c), p.ctdy(c)});
    // 666 stands for "the parameter's own limit".
    if (p.ctminx(c) == 666) p.ctminx(c) = p.parmin(ci);
    if (p.ctmaxx(c) == 666) p.ctmaxx(c) = p.parmax(ci);
    if (p.ctminy(c) == 666) p.ctminy(c) = p.parmin(cj);
    if (p.ctmaxy(c) == 666) p.ctmaxy(c) = p.parmax(cj);
    con.line(p.ctminx(c), p.ctmaxx(c), p.ctminy(c), p.ctmaxy(c), p.ctdx(c), p.ctdy(c));
  }
}

// The entries of peak k, ten a line; continuation lines carry a blank label.
void print_peak_entries(const FitParameters& p, int k, Console& con) {
  for (int j0 = 1; j0 <= std::max(1, p.nparpeak(k)); j0 += 10) {
    std::vector<FmtValue> ints{FmtValue(j0 == 1 ? "par:" : "")}, vals{FmtValue(j0 == 1 ? "value:" : "")};
    for (int j = j0; j <= std::min(p.nparpeak(k), j0 + 9); ++j) {
      ints.emplace_back(p.parpeak(k, j));
      vals.emplace_back(p.valpeak(k, j));
    }
    con.out() << record_format("(a7,10i12)").format(ints) << '\n';
    con.out() << record_format("(a7,10f12.6)").format(vals) << '\n';
  }
}

// Records 21 to 23: peak definitions, which a hand-written file may omit.
void read_peaks(FreeReader& rd, FitParameters& p, Console& con) {
  const std::string file = rd.name();
  p.npeaks = 0;
  if (!rd.try_read({p.npeaks})) p.npeaks = 0;
  if (p.npeaks >= 1) {
    check_index_at(file, rd.line(), "nparpeak", 1, 1, kMaxPeaks, p.npeaks);
    con.line("Peaks to plot:", p.npeaks);
    for (int k = 1; k <= p.npeaks; ++k) {
      rd.read("record 22 (peak " + std::to_string(k) + "): number of entries", {p.nparpeak(k)});
      check_count(rd, p.nparpeak(k), "record 22", "parpeak", 2, kMaxPeakEntries);
      con.record("(a5,i5,a20,i5)", "Peak ", k, " num of parameters: ", p.nparpeak(k));
      for (int j = 1; j <= p.nparpeak(k); ++j) {
        rd.read("record 23 (peak " + std::to_string(k) + ", entry " + std::to_string(j) + "): parameter, value",
                {p.parpeak(k, j), p.valpeak(k, j)});
        check_parameter(rd, p.parpeak(k, j));
      }
      print_peak_entries(p, k, con);
    }
  }
}

// The files the reading names for reading, and every file the run may write
// (core/output_paths.h), each with the record and line that names it.
void check_file_names(const RunSettings& s, const FitFunctions& d, const FitParameters& p,
                      const RecordLines& lines) {
  std::vector<InputFile> inputs;
  bool molecules = false;
  for (int i = 1; i <= s.nfunc; ++i) {
    const std::string set = "data set " + std::to_string(i);
    const std::string at = "line " + std::to_string(d.parline(i));
    inputs.push_back({d.nomin(i).str(), "the data file of " + set + " (record 3, " + at + ")", d.parline(i)});
    const int res = lines.resolution[static_cast<size_t>(i)];
    if (d.fileop(i) == "cf")
      inputs.push_back({d.nameconv(i).str(),
                        "the resolution file of " + set + " (record 3a, line " + std::to_string(res) + ")", res});
    molecules = molecules || in_family(d.opfit(i), ModelFamily::molecular);
  }
  std::vector<CheckedOutput> outputs;
  for (OutputEntry& e : output_catalogue(s, d, p, molecules)) {
    CheckedOutput o{std::move(e), "", 0};
    const int n = o.entry.number;
    switch (o.entry.origin) {
      case OutputOrigin::result_file:
        o.record = "record 3 (data set " + std::to_string(n) + ")";
        o.line = d.parline(n);
        break;
      case OutputOrigin::output_file:
      case OutputOrigin::chi_file:
        o.record = "record 4";
        o.line = lines.output;
        break;
      case OutputOrigin::contour_file:
        o.record = "record 19 (contour " + std::to_string(n) + ")";
        o.line = lines.contour[static_cast<size_t>(n)];
        break;
      default:
        break;
    }
    outputs.push_back(std::move(o));
  }
  check_output_files(s.parfile.str(), inputs, outputs);
}

// Equality groups and order relations applied to the values read.
void apply_groups_and_relations(FitParameters& p) {
  for (int g = 1; g <= p.ngroups; ++g)
    for (int j = 2; j <= p.ign(g); ++j) p.par(p.parig(g, j)) = p.par(p.parig(g, 1));
  // Order relations par(a) >= par(b): a value below its partner is mirrored about it.
  for (int r = 1; r <= p.nrel; ++r) {
    const int a = p.parrel(r, 1), b = p.parrel(r, 2);
    if (p.par(b) > p.par(a)) p.par(a) = 2 * p.par(b) - p.par(a);
  }
}

}  // namespace

ReadOutcome parread(Run& run, Console& con, const OutOfLimitsDialog& ask_edit) {
  RunSettings& s = run.settings;
  FitFunctions& d = run.data;
  FitParameters& p = run.params;

  reset_tables(d, p);
  s.nfitfunc = 0;
  s.printmode = 0;

  FreeReader rd = s.parfile_text.empty() ? FreeReader::open(s.parfile.str()) : FreeReader(s.parfile.str(), s.parfile_text);
  // A folder chosen by the parameter file's own name ("t123.par").
  check_script_name(rd, 0, "the output folder taken from the parameter file's name,", s.folder.trimmed());

  RecordLines lines;
  read_run_line(rd, s, con);
  read_data_sets(rd, s, d, lines, con);
  read_outputs_and_sigmas(rd, s, d, lines, con);
  read_chain_settings(rd, s, con);
  if (!read_parameters(rd, s, p, con, ask_edit)) return ReadOutcome::Reread;
  read_groups_and_relations(rd, p, con);
  read_contours(rd, s, p, lines, con);
  read_peaks(rd, p, con);
  check_file_names(s, d, p, lines);
  apply_groups_and_relations(p);
  return ReadOutcome::Done;
}

void warn_joint_temperature(const RunSettings& s, Console& con) {
  if (s.annealing == 1 || s.temp != 1.0 || s.nfitfunc < 2) return;
  const int n = s.nfitfunc;
  char t[32];
  std::snprintf(t, sizeof t, "%.6g", 1.0 / n);
  std::string m = "WARNING: ";
  m += std::to_string(n) + " data sets fitted at T = 1 (chi-square is their mean): their joint likelihood needs T = 1/";
  m += std::to_string(n) + " = " + t;
  con.line(m);
}

}  // namespace zorvik
