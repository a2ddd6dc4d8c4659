// report/index.html (report_html.h): the numbers of a run beside its figures.
#include "output/report_html.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "core/files.h"
#include "core/output_paths.h"
#include "core/visible_text.h"

namespace zorvik {

namespace {

std::string num(double v, const char* format = "%.6g") {
  if (!std::isfinite(v)) return "–";
  char buf[40];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

// The chi-square of every data set at the best state, summed.
double total_chisq(const RunReport& r) {
  double t = 0.0;
  for (const ReportDataSet& s : r.sets) t += s.chisq;
  return t;
}

bool has_figure(const RunReport& r, const std::string& name) {
  return std::find(r.figures.begin(), r.figures.end(), name) != r.figures.end();
}

// A figure: the PNG, linked to its SVG when there is one.
void figure(std::ostream& h, const RunReport& r, const std::string& stem, const std::string& caption,
            bool wide = false) {
  if (!has_figure(r, stem + ".png")) return;
  const bool svg = has_figure(r, stem + ".svg");
  h << (wide ? "<figure class=\"wide\">" : "<figure>") << (svg ? "<a href=\"" + stem + ".svg\">" : "");
  h << "<img src=\"" << stem << ".png\" alt=\"" << html_escape(caption) << "\">" << (svg ? "</a>" : "")
    << "<figcaption>" << html_escape(caption) << "</figcaption></figure>\n";
}

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:1.5em;color:#222;max-width:1400px}"
    "table{border-collapse:collapse;margin:0.5em 0}td,th{padding:2px 8px;border-bottom:1px solid #ddd;"
    "text-align:right;font-variant-numeric:tabular-nums}th{background:#f0f0f0}td.name,th.name{text-align:left}"
    ".pair{display:flex;flex-wrap:wrap;gap:1.5em;align-items:flex-start}figure{margin:0;max-width:540px}"
    "figure.wide{max-width:760px}img{width:100%;border:1px solid #ccc}figcaption{font-size:90%;color:#555}"
    ".verdict{font-size:110%;padding:0.5em;background:#fff8dc;border-left:4px solid #e0b000}";

void run_section(std::ostream& h, const RunReport& r) {
  h << "<h1>Report: " << html_escape(r.parameter_file) << "</h1>\n<p>"
    << (r.kind == "combine" ? "Pooled chains" : r.kind == "evidence" ? "Evidence ladder" : "Run")
    << ": " << r.steps << " steps";
  if (r.chains > 1) h << " in " << r.chains << " chains";
  h << ", burn-in " << r.burn_in << " steps, thinning " << r.thinning;
  if (r.seed) h << ", seed " << *r.seed;
  if (!r.proposal_name.empty()) h << ", proposal " << html_escape(r.proposal_name) << " (varpar " << r.proposal_mode << ")";
  h << ", temperature " << num(r.temperature) << ".</p>\n";
  if (!r.verdict.empty()) h << "<p class=\"verdict\">" << html_escape(r.verdict) << "</p>\n";
}

void parameter_row(std::ostream& h, const ReportParameter& p, bool rhat) {
  h << "<tr><td>" << p.index << "</td><td class=\"name\">" << html_escape(p.name) << "</td>";
  for (double v : {p.best, p.mean, p.sd, p.q025, p.q16, p.q50, p.q84, p.q975}) h << "<td>" << num(v) << "</td>";
  h << "<td>" << num(p.tau, "%.4g") << "</td><td>" << num(p.ess, "%.4g") << "</td>";
  if (rhat) h << "<td>" << (p.rhat ? num(*p.rhat, "%.4f") : "–") << "</td>";
  h << "</tr>\n";
}

void parameter_section(std::ostream& h, const RunReport& r) {
  const bool rhat = std::any_of(r.parameters.begin(), r.parameters.end(), [](const ReportParameter& p) { return p.rhat.has_value(); });
  h << "<h2>Free parameters</h2>\n<div class=\"pair\"><div><table>\n<tr><th>#</th><th class=\"name\">name</th>"
       "<th>best</th><th>mean</th><th>sd</th><th>2.5 %</th><th>16 %</th><th>50 %</th><th>84 %</th><th>97.5 %</th>"
       "<th>τ (steps)</th><th>ESS</th>"
    << (rhat ? "<th>R̂</th>" : "") << "</tr>\n";
  for (const ReportParameter& p : r.parameters) parameter_row(h, p, rhat);
  if (r.chisq_row) parameter_row(h, *r.chisq_row, rhat);
  h << "</table>\n<p>Over every state of the retained chain (after the burn-in); best: the state of the lowest "
       "χ² the chain found.</p></div>\n";
  figure(h, r, "corner", "Marginal densities and 68 %/95 % credible regions; red: the best state", true);
  figure(h, r, "corr", "Correlation matrix of the free parameters");
  figure(h, r, "trace", "Traces of χ² and of every free parameter (burn-in shaded)");
  h << "</div>\n";
}

void fit_section(std::ostream& h, const RunReport& r) {
  if (r.sets.empty()) return;  // pooled chains: no data at hand
  h << "<h2>Fit of each data set</h2>\n<table>\n<tr><th>set</th><th class=\"name\">data file</th><th>model</th>"
       "<th>points</th><th>χ²</th><th>χ²/points</th></tr>\n";
  for (const ReportDataSet& s : r.sets)
    h << "<tr><td>" << s.number << "</td><td class=\"name\">" << html_escape(s.file) << "</td><td>" << s.model << "</td><td>"
      << s.points << "</td><td>" << num(s.chisq) << "</td><td>"
      << (s.points > 0 ? num(s.chisq / s.points, "%.4g") : "–") << "</td></tr>\n";
  const int dof = r.total_points - static_cast<int>(r.parameters.size());
  const double chain_chisq = r.chisq_row ? r.chisq_row->best : std::nan("");
  h << "</table>\n<p>Best state: the chain's χ² (the mean over the fitted data sets) " << num(chain_chisq)
    << ", total χ² " << num(total_chisq(r)) << "; reduced χ² over all sets "
    << (dof > 0 ? num(total_chisq(r) / dof, "%.4g") : "–") << " (" << r.total_points << " points, "
    << r.parameters.size() << " free parameters). AIC = " << num(r.aic) << ", BIC = " << num(r.bic) << ".</p>\n";
  h << "<div class=\"pair\">\n";
  for (const ReportDataSet& s : r.sets)
    figure(h, r, report_set_stem(s.number),
           "Data set " + std::to_string(s.number) + " (" + s.file + ", model " + std::to_string(s.model) +
               "): data, best fit, 68 % and 95 % posterior-"
           "predictive bands of the model curve, residuals (y − best)/σ");
  h << "</div>\n";
}

void optimum_section(std::ostream& h, const RunReport& r) {
  if (!r.optimum) return;
  const ReportOptimum& o = *r.optimum;
  h << "<h2>Polished optimum</h2>\n<p>" << html_escape(o.method) << " from the best state: χ² = " << num(o.chisq, "%.12g")
    << " after " << o.evaluations << " evaluations" << (o.converged ? "" : " (not converged)");
  if (!o.note.empty()) h << "; " << html_escape(o.note);
  h << ".</p>\n<table><tr><th class=\"name\">name</th><th>value</th></tr>\n";
  for (size_t k = 0; k < o.values.size() && k < r.parameters.size(); ++k)
    h << "<tr><td class=\"name\">" << html_escape(r.parameters[k].name) << "</td><td>" << num(o.values[k], "%.12g") << "</td></tr>\n";
  h << "</table>\n";
}

void evidence_section(std::ostream& h, const RunReport& r) {
  if (!r.evidence) return;
  h << "<h2>Evidence</h2>\n<div class=\"pair\"><p>ln Z = " << num(r.evidence->ln_z) << " ± " << num(r.evidence->error)
    << "</p>\n";
  figure(h, r, "ladder", "⟨ln L⟩ against β with its standard error");
  h << "</div>\n";
}

}  // namespace

std::string html_escape(std::string_view text) {
  std::string out;
  for (char c : visible_text(text)) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string report_html(const RunReport& r) {
  std::ostringstream h;
  h << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Report: " << html_escape(r.parameter_file)
    << "</title>\n<style>" << kStyle << "</style></head><body>\n";
  run_section(h, r);
  fit_section(h, r);
  parameter_section(h, r);
  optimum_section(h, r);
  evidence_section(h, r);
  h << "</body></html>\n";
  return h.str();
}

void write_report_html(const std::string& path, const RunReport& report) {
  AtomicFile f(path);
  f.stream() << report_html(report);
  f.commit();
}

}  // namespace zorvik

namespace zorvik {

void write_report_folder(RunReport& report, const FigureInput& figures, const std::string& folder, Console& con) {
  // The report comes after every file of the run is written: a folder that
  // cannot take it (a full disc, a file named like it) costs the report, said
  // in one line, and not the run's status.
  try {
    const std::string trouble = write_report_figures(folder, figures, report);
    write_report_html(folder + "/" + kReportPage, report);
    if (!trouble.empty()) con.line(trouble);
  } catch (const std::exception& e) {
    con.line("The report was not written: " + visible_text(e.what()));
  }
}

}  // namespace zorvik
