#include "output/results_json.h"

#include "core/files.h"
#include "core/output_paths.h"
#include "output/shell_commands.h"

#ifdef ZORVIK_HAVE_JSON
#include <nlohmann/json.hpp>
#endif

namespace zorvik {

#ifdef ZORVIK_HAVE_JSON

namespace {

using nlohmann::json;

// The length of the UTF-8 sequence at s[i] (0 when it is not one): the
// well-formed sequences of the Unicode standard, table 3-7 (no overlong forms,
// no surrogates, nothing above U+10FFFF).
size_t utf8_length(const std::string& s, size_t i) {
  const auto at = [&](size_t k) { return k < s.size() ? static_cast<unsigned char>(s[k]) : 0u; };
  const unsigned c = at(i);
  const auto cont = [&](size_t k, unsigned lo = 0x80, unsigned hi = 0xBF) { return at(k) >= lo && at(k) <= hi; };
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return cont(i + 1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    const unsigned lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
    return cont(i + 1, lo, hi) && cont(i + 2) ? 3 : 0;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    const unsigned lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
    return cont(i + 1, lo, hi) && cont(i + 2) && cont(i + 3) ? 4 : 0;
  }
  return 0;
}

// The name as UTF-8: itself when it is UTF-8, otherwise each byte a Latin-1
// character.
std::string utf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const size_t n = utf8_length(s, i);
    if (n == 0) {
      std::string out;
      for (unsigned char c : s) {
        if (c < 0x80) {
          out += static_cast<char>(c);
        } else {
          out += static_cast<char>(0xC0 | (c >> 6));
          out += static_cast<char>(0x80 | (c & 0x3F));
        }
      }
      return out;
    }
    i += n;
  }
  return s;
}

json parameter_json(const ReportParameter& p) {
  json j = {{"index", p.index}, {"name", utf8(p.name)}, {"best", p.best}, {"mean", p.mean}, {"sd", p.sd},
            {"q025", p.q025},   {"q16", p.q16},         {"q50", p.q50},   {"q84", p.q84},   {"q975", p.q975},
            {"tau", p.tau},     {"ess", p.ess}};
  if (p.rhat) j["rhat"] = *p.rhat;
  return j;
}

json settings_json(const RunReport& r) {
  json j = {{"parameter_file", utf8(r.parameter_file)},
            {"seed", r.seed ? json(*r.seed) : json(nullptr)},
            {"steps", r.steps},
            {"burn_in", r.burn_in},
            {"thinning", r.thinning},
            {"chains", r.chains},
            {"proposal_mode", r.proposal_mode},
            {"proposal", r.proposal_name},
            {"temperature", r.temperature}};
  return j;
}

json sets_json(const RunReport& r) {
  json sets = json::array();
  for (const ReportDataSet& s : r.sets)
    sets.push_back({{"number", s.number},
                    {"file", utf8(s.file)},
                    {"model", s.model},
                    {"points", s.points},
                    {"chisq", s.chisq},
                    {"reduced_chisq", s.points > 0 ? s.chisq / s.points : std::nan("")}});
  return sets;
}

json optimum_json(const RunReport& r) {
  if (!r.optimum) return nullptr;
  const ReportOptimum& o = *r.optimum;
  json values = json::array();
  for (size_t k = 0; k < o.values.size(); ++k) {
    json v = {{"value", o.values[k]}};
    if (k < r.parameters.size()) v = {{"index", r.parameters[k].index}, {"name", utf8(r.parameters[k].name)},
                                      {"value", o.values[k]}};
    values.push_back(v);
  }
  return {{"method", o.method},       {"parameters", values}, {"chisq", o.chisq},
          {"evaluations", o.evaluations}, {"converged", o.converged}, {"note", o.note}};
}

json evidence_json(const RunReport& r) {
  if (!r.evidence) return nullptr;
  const ReportEvidence& e = *r.evidence;
  json rungs = json::array();
  for (size_t k = 0; k < e.beta.size(); ++k)
    rungs.push_back({{"beta", e.beta[k]}, {"mean_ln_l", e.mean_ln_l[k]}, {"error", e.mean_ln_l_error[k]}});
  return {{"ln_z", e.ln_z}, {"error", e.error}, {"rungs", rungs}};
}

}  // namespace

bool results_json_available() { return true; }

std::string results_json_text(const RunReport& r) {
  json parameters = json::array();
  for (const ReportParameter& p : r.parameters) parameters.push_back(parameter_json(p));
  json figures = json::array();
  for (const std::string& f : r.figures) figures.push_back(utf8(f));
  const int k = static_cast<int>(r.parameters.size());
  json j = {{"kind", r.kind},
            {"settings", settings_json(r)},
            {"parameters", parameters},
            {"chisq", r.chisq_row ? parameter_json(*r.chisq_row) : json(nullptr)},
            {"best_chisq", r.best_chisq},
            {"data_sets", sets_json(r)},
            {"total_points", r.total_points},
            {"reduced_chisq", r.total_points > k ? r.best_chisq / (r.total_points - k) : std::nan("")},
            {"aic", r.sets.empty() ? std::nan("") : r.aic},
            {"bic", r.sets.empty() ? std::nan("") : r.bic},
            {"optimum", optimum_json(r)},
            {"evidence", evidence_json(r)},
            {"verdict", utf8(r.verdict)},
            {"figures", figures}};
  return j.dump(2) + "\n";
}

#else

bool results_json_available() { return false; }
std::string results_json_text(const RunReport&) { return ""; }

#endif

void write_results_json(const std::string& report_folder, const RunReport& report, Console& con) {
  if (!results_json_available()) {
    con.line("results.json was not written: this build has no JSON library (install nlohmann-json3-dev and build again)");
    return;
  }
  if (!directory_exists(report_folder)) mkdir(con, report_folder);
  AtomicFile file(results_json_path(report_folder));
  file.stream() << results_json_text(report);
  file.commit();
}

}  // namespace zorvik
