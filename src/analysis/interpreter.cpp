// The command prompt. Each command is one word, tested against the command
// table (kCommands below) in a fixed order (so that, for example, "pchi" is the chi-square plot and
// not the plot of a data set, which takes every other word starting with "p");
// some commands ask one follow-up question. The prompt itself computes little: it
// validates, asks and hands the work to the analysis and output routines.
#include "analysis/interpreter.h"

#include <array>
#include <cmath>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/contours.h"
#include "analysis/covariance.h"
#include "analysis/distributions.h"
#include "analysis/report_folder.h"
#include "core/files.h"
#include "core/free_format.h"
#include "core/output_paths.h"
#include "core/table.h"
#include "models/catalogue.h"
#include "output/getpar_file.h"
#include "output/param_file_writer.h"
#include "output/peaks_file.h"
#include "output/plot_scripts.h"
#include "output/result_files.h"
#include "output/shell_commands.h"
#include "sampler/compara.h"

namespace zorvik {

namespace {

using Command = Fixed<15>;

constexpr const char* kPrompt = "ZoRvIk> ";

// One free-format read from the keyboard: as many values as there are targets,
// taken from as many lines as needed; the rest of the last line is dropped.
// False at the end of input or when a value is missing or does not convert.
bool read_values(Console& con, std::initializer_list<FreeTarget> targets) {
  auto next = targets.begin();
  std::vector<FreeToken> tokens;
  while (next != targets.end()) {
    const auto line = con.read_line();
    if (!line) return false;
    if (!split_free(*line, tokens)) return false;
    for (const FreeToken& t : tokens) {
      if (next == targets.end()) break;
      if (t.null || !next->store(t)) return false;
      ++next;
    }
  }
  return true;
}

// The reply to input that matches no command: one number from the run's
// generator picks one of two words. At the end of input nothing is said: the
// prompt that follows ends the session.
void not_understood(RunLoop& loop, Console& con) {
  if (con.input_ended()) return;
  float x = 0.0f;
  loop.ranlux.ranlux(&x, 1);
  con.line(x < 0.5f ? "NARF, I do not understand!!" : "PUIT, I do not understand!!");
}

// A number typed at the prompt is checked before it reaches a table: a slip is
// refused with the range that is allowed and the prompt comes back, so the
// session keeps its histograms and its end-of-run files. True when refused.
bool refuse_parameter(Console& con, long long i, int npar, std::string_view others = "") {
  if (i >= 1 && i <= npar) return false;
  con.line("No parameter " + std::to_string(i) + ": the parameters are 1 to " + std::to_string(npar) +
           std::string(others));
  return true;
}

PlotRequest request(PlotKind kind) {
  PlotRequest r;
  r.kind = kind;
  return r;
}

// ---- commands ---------------------------------------------------------------------

void show_chi(const Run& run, Console& con) {
  con.line("Averaged chisq:  ", run.chain.chisq(0));
  for (int i = 1; i <= run.settings.nfunc; ++i)
    if (is_fitted(run.data.opfit(i))) con.record("(a6,i3,2x,a7,es12.6)", "File: ", i, "chisq :", run.chain.chisq(i));
}

// "showmol": the molecule geometry, then the viewer on the file the models wrote
// (one conformer for model 1, trans or gauche for model 2).
void show_molecule(const Run& run, ModelWorkspace& ws, Console& con) {
  outwrite(WriteMode::molecule_views, run, ws, con);
  const FitFunctions& d = run.data;
  auto uses = [&d](int m) { return d.opfit(1) == m || d.opfit(2) == m; };
  // molec.xyz: C2F2Cl4 given by distances, or (without a C2F2Cl4 model) CCl4
  // and the dichloroethylenes.
  if (uses(1) || (!uses(2) && !uses(3) && (uses(4) || uses(5) || uses(6)))) view_molecule(con, "molec.xyz");
  if (uses(2)) {
    con.line("Trans (t) or gauche (g) molecule?");
    const auto answer = con.read_token();
    if (answer && *answer == "t") view_molecule(con, "molect.xyz");
    if (answer && *answer == "g") view_molecule(con, "molecg.xyz");
  }
}

// "par": the parameters two per line (a last line with one when npar is odd).
void list_parameters(const Run& run, Console& con) {
  const FitParameters& p = run.params;
  const int npar = run.settings.npar;
  for (int i = 1; i <= npar; i += 2) {
    if (i + 1 <= npar)
      con.record("(i2,1x,a5,1x,2f8.3,5x,i2,1x,a5,1x,2f8.3)", i, p.namepar(i), p.par(i), p.move(i), i + 1,
                 p.namepar(i + 1), p.par(i + 1), p.move(i + 1));
    else
      con.record("(i2,1x,a5,1x,2f8.3)", i, p.namepar(i), p.par(i), p.move(i));
  }
}

// The new step of parameter k for the action word: "a" the value itself, "r"
// the value relative to the parameter's magnitude; any other word no change.
double new_step(const FitParameters& p, int k, const std::string& action, double v) {
  if (action == "a") return v;
  if (action == "r") return std::abs(p.par(k) * v);
  return p.move(k);
}

// Sets the steps of the parameters k for which `chosen` holds, or none of them
// when one would not be a finite number (1e308 times a value above 1 is
// infinite): such a step would be written to the parameter file, whose reader
// then refuses it. True when the steps were set.
template <class Chosen>
bool set_finite_steps(FitParameters& p, Console& con, int k1, int k2, const std::string& action, double v,
                      Chosen chosen) {
  for (int k = k1; k <= k2; ++k) {
    if (chosen(k) && !std::isfinite(new_step(p, k, action, v))) {
      con.line("Parameter " + std::to_string(k) +
               " would get a step that is not a finite number: the steps are left as they were");
      return false;
    }
  }
  for (int k = k1; k <= k2; ++k)
    if (chosen(k)) p.move(k) = new_step(p, k, action, v);
  return true;
}

// "reset": one step for every free parameter; fixed parameters stay fixed.
bool reset_steps(const RunSettings& s, const FitFunctions& d, FitParameters& p, Console& con) {
  con.line("relative (r) or absolute (a), and value");
  std::string action;
  double v = 0.0;
  if (!read_values(con, {action, v})) return false;
  if (set_finite_steps(p, con, 1, s.npar, action, v, [&p](int k) { return p.move(k) != 0.0; }))
    pfinwrite(s.parfile.str(), s, d, p);
  return true;
}

// "setpar": one step for a range of parameters, fixed ones included (a fixed
// parameter given a step moves in the all-parameters mode and is fitted after
// the next reading of the parameter file).
bool set_steps(const RunSettings& s, const FitFunctions& d, FitParameters& p, Console& con) {
  con.line("Action,number: ");
  std::string action;
  double v = 0.0;
  if (!read_values(con, {action, v})) return false;
  con.line("first and last parameter to set: ");
  int k1 = 0, k2 = 0;
  if (!read_values(con, {k1, k2})) return false;
  const int npar = s.npar;
  if (k2 >= k1 && (refuse_parameter(con, k1, npar) || refuse_parameter(con, k2, npar))) return true;
  if (set_finite_steps(p, con, k1, k2, action, v, [](int) { return true; })) pfinwrite(s.parfile.str(), s, d, p);
  return true;
}

// "pgpar": the estimates of one distribution, then its plot. Parameter 0 is the
// likelihood: −log(evidence) and −log of the most probable likelihood; a
// negative number the chi-square distribution itself.
bool plot_distribution(const Run& run, Console& con) {
  con.line("Which parameter (0:likelihood)?");
  int i = 0;
  if (!read_values(con, {i})) return false;
  if (i >= 1 && refuse_parameter(con, i, run.settings.npar, ", 0 the likelihood, a negative number the chi-square"))
    return true;
  if (i >= 1 && run.params.move(i) == 0.0) {
    con.line("Parameter not allowed to move!");
    return true;
  }
  // The estimates and the files plotted (Gp<i>.dat, Glk.dat) come from "cgpar"
  // over the chain as it stands.
  if (!run.dist.pdfready) {
    con.line("you should first calculate gpar (cgpar)");
    return true;
  }
  const DistributionResults& r = run.dist;
  if (i >= 1)
    con.line("media, highest probability values", r.pmed(i), r.pmax(i));
  else if (i == 0)
    con.line("media, highest probability values", r.mlogev, r.chiprob / 2.0);
  else
    con.line("media, highest probability values", r.chimedia, r.chiprob);
  PlotRequest q = request(PlotKind::distribution);
  q.ip = i;
  plot(q, run, con);
  return true;
}

bool plot_parameter_chi(const Run& run, Console& con) {
  con.line("Which parameter?");
  int i = 0;
  if (!read_values(con, {i})) return false;
  if (i >= 1 && refuse_parameter(con, i, run.settings.npar)) return true;
  if (i >= 1 && run.params.move(i) == 0.0) {
    con.line("Parameter not allowed to move!");
    return true;
  }
  PlotRequest q = request(PlotKind::bin_chisq);
  q.ip = i;
  plot(q, run, con);
  return true;
}

// "cgparpar", "pcg", "pcgs": the chain contour of a pair, computed first or not.
bool chain_contour(const Run& run, Console& con, bool compute, PlotKind kind) {
  con.line("which parameters (i,j)?");
  int i = 0, j = 0;
  if (!read_values(con, {i, j})) return false;
  // A negative first number asks for the map without empty lines between its rows.
  const int npar = run.settings.npar;
  if (refuse_parameter(con, std::abs(static_cast<long long>(i)), npar,
                       " (a negative first number: the map without empty lines)") ||
      refuse_parameter(con, j, npar))
    return true;
  if (compute) contornmcmc(i, j, run, con);
  PlotRequest q = request(kind);
  q.i = i;
  q.j = j;
  q.cname = bivariate_path(i, j);
  plot(q, run, con);
  return true;
}

// "getpar": a parameter repeated once per data set against the data sets' first
// z value, parameter k1 going with data set 1.
bool extract_parameters(const Run& run, Console& con) {
  con.line("first and last parameter to extract: ");
  int k1 = 0, k2 = 0;
  if (!read_values(con, {k1, k2})) return false;
  if (k2 >= k1) {
    if (refuse_parameter(con, k1, run.settings.npar) || refuse_parameter(con, k2, run.settings.npar)) return true;
    // One parameter per data set, and there are at most kMaxFunc z values.
    if (k2 - k1 + 1 > kMaxFunc) {
      con.line("At most " + std::to_string(kMaxFunc) + " parameters can be extracted, one per data set: " +
               std::to_string(k1) + " to " + std::to_string(k2) + " are " + std::to_string(k2 - k1 + 1));
      return true;
    }
  }
  std::vector<std::pair<double, double>> rows;
  for (int k = k1; k <= k2; ++k) {
    const int j = k - k1 + 1;
    const double zj = run.data.z(j, 1);
    const double pk = run.params.par(k);
    rows.emplace_back(zj, pk);
    if (run.params.move(k) != 0.0) con.line(zj, pk);
  }
  write_getpar(rows);
  plot(request(PlotKind::getpar), run, con);
  return true;
}

// "pc", "pcs": the grid contour of a request of the parameter file.
bool grid_contour(const Run& run, Console& con, PlotKind kind) {
  con.line("Which contour number?");
  int c = 0;
  if (!read_values(con, {c})) return false;
  const FitParameters& p = run.params;
  if (c < 1 || c > p.ncont) {
    if (kind == PlotKind::grid_surface)
      con.pause("No such contour!");
    else
      con.line("No such contour!");
    return true;
  }
  // The map is the file "cc" writes.
  if (!file_exists(p.namecont(c).str())) {
    con.line("No file " + p.namecont(c).str() + " yet: you should first calculate the contours (cc)");
    return true;
  }
  PlotRequest q = request(kind);
  q.k = c;
  q.i = p.contpar(c, 1);
  q.j = p.contpar(c, 2);
  plot(q, run, con);
  return true;
}

void toggle_print(RunSettings& s, Console& con) {
  if (s.printmode == 0) {
    con.line("Print option activated");
    con.line("Type print again to see figs on the screen");
    s.printmode = 1;
  } else {
    con.line("Print option deactivated");
    con.line("Type print again to print figs");
    s.printmode = 0;
  }
}

// The data set named by a plot word: "p<n>", "pk<n>", "pm<n>" with n = 1 … 20,
// "ps" the first and "pg" the second; any other word the first.
int plotted_data_set(const std::string& w) {
  if (w == "ps") return 1;
  if (w == "pg") return 2;
  for (int n = 1; n <= kMaxFunc; ++n) {
    const std::string num = std::to_string(n);
    if (w == "p" + num || w == "pk" + num || w == "pm" + num) return n;
  }
  return 1;
}

// The plot of one data set; the second letter of the word picks the variant:
// "m" the best state found (which becomes the current state: params.par and the
// chain's chi-squares change), "k" the peak decomposition, anything else the
// current curves.
void plot_data_set(const std::string& word, Run& run, ModelWorkspace& ws, Console& con) {
  const int n = plotted_data_set(word);
  if (n > run.settings.nfunc) {
    con.line("Not such a function");
    return;
  }
  con.line("plotting curve:", n);
  const char variant = word.size() > 1 ? word[1] : ' ';
  PlotRequest q = request(PlotKind::result_curve);
  q.nf = n;

  if (variant == 'm') {
    con.line("Recalculating function and par file for: min chisq");
    if (run.chain.has_minimum())
      for (int i = 1; i <= run.settings.npar; ++i) run.params.par(i) = run.chain.parchimin(i);
    compara(run.settings, run.data, run.params, run.chain, ws);
    pfinwrite(run.data.nomout(0).str(), run.settings, run.data, run.params);
    outwrite(WriteMode::listing, run, ws, con);
    plot(q, run, con);
    return;
  }

  if (variant == 'k') {
    const int npeaks = run.params.npeaks;
    if (npeaks == 0) con.line("PUIT! there is no peak defined in par file");
    peaks(n, run, ws, con);
    // The dielectric sums have scripts with their named terms; other models
    // number their peaks, except the whole-curve spectra, which have none.
    const ModelInfo* model = find_model(run.data.opfit(n));
    const PeakScript script = model ? model->peak_script : PeakScript::numbered;
    if (script == PeakScript::hn_cc1_cc2) q.kind = PlotKind::peaks_hn_cc1_cc2;
    if (script == PeakScript::hn_cc) q.kind = PlotKind::peaks_hn_cc;
    if (script == PeakScript::pl_cc1_cc2) q.kind = PlotKind::peaks_pl_cc1_cc2;
    if (q.kind != PlotKind::result_curve) plot(q, run, con);
    if (script == PeakScript::numbered) {
      q.kind = PlotKind::peaks;
      q.components = npeaks;
      plot(q, run, con);
    }
    return;
  }

  plot(q, run, con);
}

// ---- the command table -------------------------------------------------------------

// What a command leaves the prompt to do.
enum class Reply { Done, NotUnderstood, End, Continue, Reload };

// Everything a command may work on, and the word that was typed.
struct Session {
  Run& run;
  ModelWorkspace& ws;
  Console& con;
  const Command& command;
  const ChainRecorder& chain;
};

Reply understood_if(bool ok) { return ok ? Reply::Done : Reply::NotUnderstood; }

Reply edit_parameter_file(Session& x) {
  x.con.record("(a5,a40)", "edit ", x.run.settings.parfile);
  edit(x.con, x.run.settings.parfile.padded());
  return Reply::Done;
}

Reply covariance(Session& x) {
  if (x.run.dist.pdfready)
    covar(x.run, x.con);
  else
    x.con.line("You should first calculate PDF (cgpar)");
  return Reply::Done;
}

Reply evidence_summary(Session& x) {
  if (x.run.dist.pdfready)
    show_evidence_summary(x.run, x.run.dist, x.con);
  else
    x.con.line("you should first calculate gpar (cgpar)");
  return Reply::Done;
}

template <const char* Axes>
Reply set_axes(Session& x) {
  x.run.settings.plotaxes = Axes;
  return Reply::Done;
}
constexpr char kLinLin[] = "nn ", kLogLin[] = "ln ", kLinLog[] = "nl ", kLogLog[] = "ll ";

Reply show_help(Session& x) {
  x.con.line("options: h:help / hf: help functions / hp: help plot");
  help(x.con, x.command.padded());
  return Reply::Done;
}

Reply all_grid_contours(Session& x) {
  const FitParameters& p = x.run.params;
  for (int c = 1; c <= p.ncont; ++c) {
    x.con.record("(a22,1x,i2,1x,a20)", "Calculating cont.", c, p.namecont(c));
    contorn(c, x.run.settings, x.run.data, x.run.params, x.run.chain, x.ws, x.con);
  }
  return Reply::Done;
}

Reply distributions(Session& x) {
  if (cgpar_if_enabled(x.run, x.ws, x.run.dist, x.con)) x.run.dist.pdfready = true;
  return Reply::Done;
}

// How a typed word is matched: against the names of the entry (trailing blanks
// ignored), or by its first letter.
enum class Match { Word, FirstLetter };

// One command of the prompt: the words that select it (a name and its aliases,
// or the first letters that select it), and the routine that carries it out.
// Commands that need more than their word ask for it themselves (a parameter
// number, a step, a file), as the help text tells the user.
struct CommandEntry {
  Match match;
  std::array<const char*, 3> words;  // unused slots are null
  Reply (*handler)(Session&);
};

// The table is searched in this order and the first match wins: "pchi", "pc",
// "pgpar", … come before the entry that takes every other word starting with
// "p" (the plot of a data set), which is therefore the last.
constexpr CommandEntry kCommands[] = {
    {Match::Word, {"end", "fin", "fi"}, [](Session&) { return Reply::End; }},
    {Match::Word, {"e"}, edit_parameter_file},
    {Match::Word, {"covar"}, covariance},
    {Match::Word, {"c"}, [](Session&) { return Reply::Continue; }},
    {Match::Word, {"showchi", "sc"}, [](Session& x) { return show_chi(x.run, x.con), Reply::Done; }},
    {Match::Word, {"showpmin"}, evidence_summary},
    {Match::Word, {"gnn", "nn"}, set_axes<kLinLin>},
    {Match::Word, {"glx", "ln"}, set_axes<kLogLin>},
    {Match::Word, {"gly", "nl"}, set_axes<kLinLog>},
    {Match::Word, {"glxy", "ll"}, set_axes<kLogLog>},
    {Match::FirstLetter, {"h", "H"}, show_help},
    {Match::Word, {"cp"}, [](Session&) { return Reply::Reload; }},
    {Match::Word, {"showd"}, [](Session& x) { return outwrite(WriteMode::molecules, x.run, x.ws, x.con), Reply::Done; }},
    {Match::Word, {"showmol"}, [](Session& x) { return show_molecule(x.run, x.ws, x.con), Reply::Done; }},
    {Match::Word, {"par"}, [](Session& x) { return list_parameters(x.run, x.con), Reply::Done; }},
    {Match::Word, {"zorvik", "ZoRvIk"}, [](Session& x) { return zorvik(x.con), Reply::Done; }},
    {Match::Word, {"pchi"}, [](Session& x) { return plot(request(PlotKind::chisq_trace), x.run, x.con), Reply::Done; }},
    {Match::Word, {"reset"},
     [](Session& x) { return understood_if(reset_steps(x.run.settings, x.run.data, x.run.params, x.con)); }},
    {Match::Word, {"setpar", "sp"},
     [](Session& x) { return understood_if(set_steps(x.run.settings, x.run.data, x.run.params, x.con)); }},
    {Match::Word, {"cc"}, all_grid_contours},
    {Match::Word, {"report"}, [](Session& x) { return write_current_report(x.run, x.ws, x.chain, x.con), Reply::Done; }},
    {Match::Word, {"cgpar"}, distributions},
    {Match::Word, {"pgpar", "1"}, [](Session& x) { return understood_if(plot_distribution(x.run, x.con)); }},
    {Match::Word, {"pparchi"}, [](Session& x) { return understood_if(plot_parameter_chi(x.run, x.con)); }},
    {Match::Word, {"cgparpar"}, [](Session& x) { return understood_if(chain_contour(x.run, x.con, true, PlotKind::chain_contour)); }},
    {Match::Word, {"pgparpar", "pcg"}, [](Session& x) { return understood_if(chain_contour(x.run, x.con, false, PlotKind::chain_contour)); }},
    {Match::Word, {"pgparpars", "pcgs"},
     [](Session& x) { return understood_if(chain_contour(x.run, x.con, false, PlotKind::chain_surface)); }},
    {Match::Word, {"getpar", "gp"}, [](Session& x) { return understood_if(extract_parameters(x.run, x.con)); }},
    {Match::Word, {"pc"}, [](Session& x) { return understood_if(grid_contour(x.run, x.con, PlotKind::grid_contour)); }},
    {Match::Word, {"print"}, [](Session& x) { return toggle_print(x.run.settings, x.con), Reply::Done; }},
    {Match::Word, {"pcs"}, [](Session& x) { return understood_if(grid_contour(x.run, x.con, PlotKind::grid_surface)); }},
    {Match::FirstLetter, {"p"}, [](Session& x) { return plot_data_set(x.command.str(), x.run, x.ws, x.con), Reply::Done; }},
};

bool matches(const CommandEntry& e, const Command& command) {
  for (const char* w : e.words) {
    if (w == nullptr) break;
    if (e.match == Match::Word ? command == w : command[0] == w[0]) return true;
  }
  return false;
}

const CommandEntry* find_command(const Command& command) {
  for (const CommandEntry& e : kCommands)
    if (matches(e, command)) return &e;
  return nullptr;
}

}  // namespace

PromptExit interpreter(Run& run, ModelWorkspace& ws, RunLoop& loop, Console& con) {
  con.record("(a,es15.5)", "minimum chisquare found:", run.chain.parchimin(0));
  run.dist.pdfready = false;

  while (true) {
    con.out() << kPrompt;
    const auto token = con.read_token();
    if (!token) {
      con.empty_line();
      con.line("End of keyboard input: the session ends.");
      return PromptExit::End;
    }
    const Command command(*token);
    const CommandEntry* entry = find_command(command);
    Session session{run, ws, con, command, loop.recorder};
    switch (entry ? entry->handler(session) : Reply::NotUnderstood) {
      case Reply::End:
        return PromptExit::End;
      case Reply::Continue:
        return PromptExit::Continue;
      case Reply::Reload:
        return PromptExit::Reload;
      case Reply::NotUnderstood:
        not_understood(loop, con);
        break;
      case Reply::Done:
        break;
    }
  }
}

}  // namespace zorvik
