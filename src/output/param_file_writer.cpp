#include "output/param_file_writer.h"

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "core/files.h"
#include "core/free_format.h"
#include "core/record_format.h"

namespace zorvik {

namespace {

bool needs_quotes(std::string_view v) {
  if (v.empty()) return true;
  if (v[0] == '\'' || v[0] == '"') return true;
  return v.find_first_of(" ,\t") != std::string_view::npos;
}

std::string quoted(std::string_view v) {
  std::string q = "'";
  for (char c : v) {
    q += c;
    if (c == '\'') q += '\'';
  }
  return q + "'";
}

// One line of the fixed-column layout, field by field. Every field is first
// written exactly as its edit descriptor says. Where that would not read back to
// the same meaning — a number too wide for its field (asterisks), a non-zero
// value that would print as zero, a file name longer than its field, a text with
// blanks — that one field is written in a form that does (the shortest exact
// number, the whole or quoted text), right-justified in its field when it fits
// and wider when it does not. A field that would touch the previous one gets one
// separating blank. Blanks (x) at the end of a record are not written.
class FieldLine {
 public:
  FieldLine& blanks(int n) {
    pending_ += n;
    return *this;
  }
  FieldLine& real(const char* desc, double v) {
    std::string f = format_one(desc, FmtValue(v));
    double back = 0.0;
    const bool overflow = f.find('*') != std::string::npos;
    const bool lost = v != 0.0 && (!parse_real(trim(f), back) || back == 0.0);
    if (overflow || lost) f = justify(shortest(v), f.size());
    return put(f);
  }
  FieldLine& integer(const char* desc, long long v) {
    std::string f = format_one(desc, FmtValue(v));
    if (f.find('*') != std::string::npos) f = justify(std::to_string(v), f.size());
    return put(f);
  }
  // aN of a fixed-length field: `whole` keeps a longer value whole instead of
  // cutting it (file names, whose cut form would name another file).
  FieldLine& text(const char* desc, std::string_view padded, bool whole) {
    std::string f = format_one(desc, FmtValue(padded));
    std::string_view value = padded;
    while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
    std::string_view shown = trim(f);
    const bool cut = value.size() > shown.size() && value.substr(0, shown.size()) == shown;
    if (whole && cut)
      f = justify(needs_quotes(value) ? quoted(value) : std::string(value), f.size());
    else if (needs_quotes(shown))
      f = justify(quoted(shown), f.size());
    return put(f);
  }
  // A literal comment: written as its descriptor says.
  FieldLine& comment(const char* desc, std::string_view literal) {
    return put(format_one(desc, FmtValue(literal)));
  }
  std::string str() const { return s_; }

 private:
  static std::string format_one(const char* desc, const FmtValue& v) {
    std::string format = "(";
    format.append(desc).push_back(')');
    return record_format(format).format(std::span<const FmtValue>(&v, 1));
  }
  static std::string_view trim(std::string_view f) {
    while (!f.empty() && f.front() == ' ') f.remove_prefix(1);
    while (!f.empty() && f.back() == ' ') f.remove_suffix(1);
    return f;
  }
  static std::string justify(const std::string& v, size_t width) {
    return v.size() < width ? std::string(width - v.size(), ' ') + v : v;
  }
  FieldLine& put(const std::string& f) {
    s_.append(static_cast<size_t>(pending_), ' ');
    pending_ = 0;
    if (!f.empty() && f.front() != ' ' && !s_.empty() && s_.back() != ' ') s_ += ' ';
    s_ += f;
    return *this;
  }
  std::string s_;
  int pending_ = 0;
};

// Appends one record and its newline.
void add(std::string& out, const FieldLine& l) { out += l.str() + '\n'; }

// Records 1 to 3a: the run line, the column header and the data sets, each
// followed by its resolution line.
void write_run_and_data_sets(std::string& out, const RunSettings& s, const FitFunctions& d) {
  add(out, FieldLine()
          .text("a20", s.title.padded(), false)
          .integer("i2", s.interactive).blanks(2)
          .integer("i2", s.plt).blanks(2)
          .integer("i2", s.nfunc).blanks(2)
          .comment("a55", "!title,interactive(0:no/1:yes),plt (0:read/1:gen),nfunc"));
  // 2: column header.
  out += format_record("(a5,16x,a3,2x,a4,1x,a6,19x,a4,11x,a4,8x,a8)",
                       {"nomin", "opt", "Nint", "nomout", "xmin", "xmax", "Function"}) + '\n';
  // 3 and 3a: data sets, each followed by its resolution line.
  for (int i = 1; i <= s.nfunc; ++i) {
    const bool log = d.logrange(i) != 0;
    add(out, FieldLine()
            .text("a20", d.nomin(i).padded(), true).blanks(1)
            .text("a4", d.fileop(i).padded(), false).blanks(1)
            .integer("i4", d.ninterp(i)).blanks(1)
            .text("a20", d.nomout(i).padded(), true)
            .real("es15.4", log ? std::pow(10.0, d.kin(i)) : d.kin(i))
            .real("es15.4", log ? std::pow(10.0, d.kfin(i)) : d.kfin(i))
            .integer("i5", d.opfit(i)).blanks(2)
            .comment("a30", "! fitting(0:no/n:function)"));
    if (d.fileop(i) == "cf")
      add(out, FieldLine()
              .text("a14", d.nameconv(i).padded(), true)
              .real("es15.5", d.xmaxconv(i))
              .real("es15.5", d.zeroconv(i)).blanks(2)
              .comment("a15", "!name,xmax,zero"));
  }
}

// Records 4 to 12: output files and chain settings.
void write_chain_settings(std::string& out, const RunSettings& s, const FitFunctions& d) {
  add(out, FieldLine()
          .text("a20", d.nomout(0).padded(), true).blanks(1)
          .text("a20", s.chifile.padded(), true).blanks(1)
          .comment("a11", "!outputfile"));
  add(out, FieldLine().real("F12.6", s.temp).blanks(2).comment("a34", "!Temperature, next line sigmaexp"));
  {
    FieldLine l;
    for (int i = 1; i <= s.nfunc; ++i) l.real("F12.6", d.sigmae(i, 0));
    add(out, l);
  }
  add(out, FieldLine().integer("I8", s.npar).blanks(2 + 32).comment("a5", "!npar"));
  add(out, FieldLine().integer("I8", s.ncycles).integer("I8", s.nwrite).blanks(2 + 24).comment("a18", "!Ciclos tot, write"));
  add(out, FieldLine()
          .integer("I4", s.varpar).blanks(1)
          .integer("i4", s.gparmode).blanks(1)
          .real("F12.6", s.incgpar)
          .real("F12.6", s.incgchi)
          .real("F12.6", s.notused).blanks(1)
          .comment("a50", "!varpar,gpar(0:no/1:yes), incgpar, incgchi,notused"));
  add(out, FieldLine().integer("I8", s.annealing).blanks(2 + 31).comment("a11", "!annealing"));
  add(out, FieldLine()
          .integer("I2", s.step).blanks(1)
          .real("f10.5", s.Tin)
          .real("f10.5", s.Tfn)
          .real("f10.5", s.incT).blanks(1 + 8)
          .comment("a", "! step,Tin,Tfn,incT"));
  add(out, FieldLine().real("F8.5", s.convfactor).blanks(34).comment("a", "!Acceptance factor"));
}

// Records 13: the parameters, in the order of the file they came from.
void write_parameters(std::string& out, const RunSettings& s, const FitParameters& p) {
  for (int l = 1; l <= s.npar; ++l) {
    const int k = p.orden(l);
    add(out, FieldLine()
            .integer("i3", k).blanks(2)
            .text("a10", p.namepar(k).padded(), false).blanks(1)
            .text("a2", p.logpar(k).padded(), false).blanks(1)
            .real("ES14.7", p.par(k))
            .real("ES12.4", p.move(k)).blanks(1)
            .real("ES12.4", p.parmin(k)).blanks(1)
            .real("ES12.4", p.parmax(k)));
  }
}

// Records 14 to 17: groups and relations.
void write_groups_and_relations(std::string& out, const FitParameters& p) {
  add(out, FieldLine().integer("i5", p.ngroups).blanks(2).comment("a14", "!Rel. igualdad"));
  for (int g = 1; g <= p.ngroups; ++g) {
    // Ten values a line: the size, then the members.
    std::vector<int> values{p.ign(g)};
    for (int j = 1; j <= p.ign(g); ++j) values.push_back(p.parig(g, j));
    for (size_t j0 = 0; j0 < values.size(); j0 += 10) {
      FieldLine l;
      for (size_t j = j0; j < values.size() && j < j0 + 10; ++j) l.integer("i4", values[j]);
      add(out, l);
    }
  }
  add(out, FieldLine().integer("i5", p.nrel).blanks(2).comment("a", "!Rel. "));
  for (int r = 1; r <= p.nrel; ++r) add(out, FieldLine().integer("i3", p.parrel(r, 1)).integer("i3", p.parrel(r, 2)));
}

// Records 18 to 23: contours and peaks.
void write_contours_and_peaks(std::string& out, const FitParameters& p) {
  add(out, FieldLine().integer("i5", p.ncont).blanks(2).comment("a", "!Num. contornos"));
  for (int c = 1; c <= p.ncont; ++c) {
    add(out, FieldLine()
            .integer("i3", p.contpar(c, 1))
            .integer("i3", p.contpar(c, 2)).blanks(2)
            .text("a", p.namecont(c).padded(), true));
    add(out, FieldLine()
            .real("f10.5", p.ctminx(c))
            .real("f10.5", p.ctmaxx(c))
            .real("f10.5", p.ctminy(c))
            .real("f10.5", p.ctmaxy(c))
            .real("f10.5", p.ctdx(c))
            .real("f10.5", p.ctdy(c)));
  }
  // 21 to 23: peaks.
  add(out, FieldLine().integer("i5", p.npeaks).blanks(2).comment("a7", "!Npeaks"));
  for (int k = 1; k <= p.npeaks; ++k) {
    add(out, FieldLine().integer("i5", p.nparpeak(k)).blanks(2).comment("a18", "!num of parameters"));
    for (int j = 1; j <= p.nparpeak(k); ++j)
      add(out, FieldLine().integer("i5", p.parpeak(k, j)).blanks(2).real("f12.6", p.valpeak(k, j)));
  }
}

}  // namespace

std::string parameter_file_text(const RunSettings& s, const FitFunctions& d, const FitParameters& p) {
  std::string out;
  write_run_and_data_sets(out, s, d);
  write_chain_settings(out, s, d);
  write_parameters(out, s, p);
  write_groups_and_relations(out, p);
  write_contours_and_peaks(out, p);
  return out;
}

void pfinwrite(const std::string& path, const RunSettings& settings, const FitFunctions& data,
               const FitParameters& params) {
  AtomicFile f(path);
  f.stream() << parameter_file_text(settings, data, params);
  f.commit();
}

}  // namespace zorvik
