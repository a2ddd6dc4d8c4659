// Reading of the measured curves and of the instrument resolution.
//
// Every fitted data set is read point by point from its file (x, y and, as the
// error option asks, a sigma and a third column); the fit range kin < x <= kfin
// is located, the sigma statistics reported, and for convolved data sets the
// resolution function is centred on its origin and the x grid extended on both
// sides by the kernel half-width, so that the rectangle-rule convolution
//     y(x_j) = dx * sum_k model(x_k) * R(x_j - x_k)
// can run over grid points beyond both ends of the fit range. The whole-curve
// dielectric models fit log10(eps'') against log10(f); their data and range are
// turned into decimal logarithms here, once.
#include "setup/data_file.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/files.h"
#include "core/free_format.h"
#include "core/output_paths.h"
#include "core/table.h"
#include "models/catalogue.h"
#include "models/diffusion.h"
#include "output/resolution_file.h"
#include "output/shell_commands.h"

namespace zorvik {

namespace {

// Every point read starts with this third-column value and keeps it when the
// file has no such column. It is 666.6 stored in single precision
// (666.5999755859375 as a double): the echo of the first points and the result
// files print it, and their digits must stay those of that value.
const double kNoThirdColumn = static_cast<double>(666.6f);

// The running maximum of a resolution function starts here, so that the first
// line with y above it becomes the origin.
constexpr double kResolutionMaxStart = -100.0;

// Columns of a point line, from the data set's option and error option s0.
struct PointLayout {
  int columns;     // values the line must hold
  bool has_m;      // third column (resolution function of option "c")
  bool has_sigma;  // per-point sigma in the last column
  const char* expected;
};

PointLayout point_layout(bool option_c, double s0) {
  if (option_c) {
    if (s0 == 0.0) return {4, true, true, "x y m sigma (four numbers)"};
    return {3, true, false, "x y m (three numbers)"};  // s0 < 0 is rejected before reading
  }
  if (s0 == 0.0) return {3, false, true, "x y sigma (three numbers)"};
  return {2, false, false, "x y (two numbers)"};
}

// The next line of the reader that holds something; blank lines are skipped as
// a list-directed read skips them. Returns its number, or 0 at the end of the
// file. `whole` is false when the line has a quote that is not closed; `text`
// is the line as read.
int next_nonblank(FreeReader& r, std::vector<FreeToken>& tokens, bool& whole, const std::string** text = nullptr) {
  while (const std::string* line = r.next_raw_line()) {
    whole = split_free(*line, tokens);
    if (text != nullptr) *text = line;
    if (!tokens.empty() || !whole) return r.line();
  }
  return 0;
}

// Whether a word is a number written with a decimal comma: digits, one comma,
// digits, and perhaps an exponent ("0,25", "-1,5e3").
bool decimal_comma_word(std::string_view w) {
  size_t k = 0;
  if (k < w.size() && (w[k] == '+' || w[k] == '-')) ++k;
  auto digits = [&] {
    const size_t start = k;
    while (k < w.size() && std::isdigit(static_cast<unsigned char>(w[k]))) ++k;
    return k > start;
  };
  if (!digits() || k >= w.size() || w[k] != ',') return false;
  ++k;
  if (!digits()) return false;
  if (k < w.size() && (w[k] == 'e' || w[k] == 'E' || w[k] == 'd' || w[k] == 'D')) {
    ++k;
    if (k < w.size() && (w[k] == '+' || w[k] == '-')) ++k;
    if (!digits()) return false;
  }
  return k == w.size();
}

// A line of numbers written with decimal commas ("0,25  12,3"): the free
// format takes a comma for a separator, so the line would read as other
// numbers (0, 25, 12) and be fitted as such. Such a line has blank-separated
// words of the form digits,digits; a line of comma-separated values ("0.25,12.3"
// or "1,5") is one word and is read as the values it lists. Only the first
// `read` words are looked at: they hold every value the read takes (each word
// gives at least one), and what follows them is never read.
void refuse_decimal_comma(const std::string& file, int line, std::string_view text, size_t read) {
  std::vector<std::string_view> words;
  size_t k = 0;
  while (k < text.size()) {
    while (k < text.size() && (text[k] == ' ' || text[k] == '\t' || text[k] == '\r')) ++k;
    const size_t start = k;
    while (k < text.size() && text[k] != ' ' && text[k] != '\t' && text[k] != '\r') ++k;
    if (k > start) words.push_back(text.substr(start, k - start));
  }
  if (words.size() < 2) return;
  for (size_t k = 0; k < words.size() && k < read; ++k)
    if (decimal_comma_word(words[k]))
      throw InputError(file, line,
                       "expected numbers with a decimal point, found " + shown_token(words[k]) +
                           ", which reads as two values (a comma separates values): write the decimal comma as a point");
}

// Converts the first `count` tokens to finite reals. On failure, `found`
// describes what stood in their place.
bool parse_numbers(const std::vector<FreeToken>& tokens, bool whole, int count, double* out,
                   std::string& found) {
  for (int k = 0; k < count; ++k) {
    if (k >= static_cast<int>(tokens.size())) {
      if (!whole) {
        found = "a quoted text that is not closed";
      } else {
        found = "only " + std::to_string(tokens.size()) + (tokens.size() == 1 ? " value" : " values");
      }
      return false;
    }
    const FreeToken& t = tokens[static_cast<size_t>(k)];
    if (t.null) {
      found = "an empty value between two commas";
      return false;
    }
    if (t.quoted || !parse_real(t.text, out[k])) {
      found = shown_token(t.text);
      return false;
    }
  }
  return true;
}

// A token that a list-directed read would take as a number but that is not a
// finite one (NaN, Inf): the first line is then a point line, which is
// rejected with its line number rather than skipped as a header.
bool is_nonfinite_word(const std::string& text) {
  std::string s;
  for (char c : text) s += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) s.erase(0, 1);
  return s == "nan" || s == "inf" || s == "infinity" || s.rfind("nan(", 0) == 0;
}

// The "zvalues" header: the word, the count nz (at most 10) and nz values, all
// on the first line.
void read_zvalues(FitFunctions& d, int i, const FreeReader& r, int line, const std::vector<FreeToken>& tokens,
                  bool whole) {
  const std::string expected = "expected zvalues, the count nz and nz numbers on the first line";
  int nz = 0;
  if (tokens.size() < 2 || tokens[1].null || tokens[1].quoted || !parse_int(tokens[1].text, nz)) {
    const std::string found = tokens.size() < 2 ? std::string("no count")
                              : tokens[1].null  ? std::string("an empty value between two commas")
                                                : shown_token(tokens[1].text);
    throw InputError(r.name(), line, expected + ", found " + found);
  }
  if (nz > kMaxZ) check_index_at(r.name(), line, "z", 2, 1, kMaxZ, nz);
  if (nz < 0) throw InputError(r.name(), line, expected + ", found the count " + std::to_string(nz));
  std::vector<FreeToken> values(tokens.begin() + 2, tokens.end());
  std::vector<double> z(static_cast<size_t>(nz) + 1);
  std::string found;
  if (!parse_numbers(values, whole, nz, z.data(), found))
    throw InputError(r.name(), line, expected + ", found " + found + " after the count " + std::to_string(nz));
  for (int k = 1; k <= nz; ++k) d.z(i, k) = z[static_cast<size_t>(k - 1)];
  d.nz = nz;
}

// The first line of a data file: a number starts the points at once; a word is
// a header, and the header "zvalues" carries the z values of the data set. True
// when the first line (its number in `first`, its values in `tokens`) is the
// first point.
bool read_first_line(FitFunctions& d, int i, FreeReader& r, std::vector<FreeToken>& tokens, bool& whole, int& first,
                     const PointLayout& layout, Console& con) {
  const std::string file = d.nomin(i).str();
  const std::string* text = nullptr;
  first = next_nonblank(r, tokens, whole, &text);
  if (first == 0) throw InputError(file, 0, "the data file is empty: expected points " + std::string(layout.expected));
  double first_value = 0.0;
  const bool numeric_value = !tokens.empty() && !tokens[0].null && !tokens[0].quoted &&
                             parse_real(tokens[0].text, first_value);
  if (numeric_value || (!tokens.empty() && !tokens[0].quoted && is_nonfinite_word(tokens[0].text))) {
    refuse_decimal_comma(file, first, *text, static_cast<size_t>(layout.columns));
    if (numeric_value) con.line(first_value);
    return true;
  }
  if (!tokens.empty() && tokens[0].text == "zvalues") {
    refuse_decimal_comma(file, first, *text, kMaxZ + 2);
    read_zvalues(d, i, r, first, tokens, whole);
    con.empty_line();
    // The label, the file and its z values on one line.
    std::vector<FreeItem> items{FreeItem("Z values read from file: "), FreeItem(d.nomin(i))};
    for (int k = 1; k <= d.nz; ++k) items.emplace_back(d.z(i, k));
    con.line_items(items);
    con.empty_line();
  }
  return false;
}

// The points of the fit range as read: how many, how many with a weight
// (sigma not 0), and the lines of the first and the last.
struct RangeWeights {
  int points = 0, weighted = 0, first_line = 0, last_line = 0;
  void note(int line, double sigma) {
    if (points++ == 0) first_line = line;
    last_line = line;
    if (sigma != 0.0) ++weighted;
  }
};

// The points of data set i, up to the first x beyond the fit range, with the
// fit range imin … imin + ndatin − 1 and the running sum of the sigmas.
void read_points(FitFunctions& d, int i, FreeReader& r, std::vector<FreeToken>& tokens, bool& whole, int first,
                 bool first_is_point, const PointLayout& layout, Console& con) {
  const std::string file = d.nomin(i).str();
  const double s0 = d.sigmae(i, 0);
  double* xi = d.xi.row(i);
  double* yi = d.yi.row(i);
  double* sig = d.sigmae.row(i);
  double* mi = d.mi.row(i);
  int previous_line = 0;
  RangeWeights range;
  for (int j = 1; j <= kMaxPoints; ++j) {
    sig[j] = s0;
    mi[j] = kNoThirdColumn;
    const std::string* text = nullptr;
    const int line = first_is_point ? first : next_nonblank(r, tokens, whole, &text);
    first_is_point = false;
    if (line == 0) break;  // end of the file: the normal end
    if (text != nullptr) refuse_decimal_comma(file, line, *text, static_cast<size_t>(layout.columns));
    double v[4] = {0.0, 0.0, 0.0, 0.0};
    std::string found;
    if (!parse_numbers(tokens, whole, layout.columns, v, found))
      throw InputError(file, line, "expected " + std::string(layout.expected) + ", found " + found);
    // The fit range is found by reading up to the first x beyond it, which
    // selects the right points only when x never falls.
    if (j > 1 && v[0] < xi[j - 1])
      throw InputError(file, line,
                       "x = " + shortest(v[0]) + " is below x = " + shortest(xi[j - 1]) + " of line " +
                           std::to_string(previous_line) + ": the points must be sorted by increasing x");
    previous_line = line;
    xi[j] = v[0];
    yi[j] = v[1];
    if (layout.has_m) mi[j] = v[2];
    if (layout.has_sigma) sig[j] = v[layout.columns - 1];

    // A zero sigma stays in the data; the chi-square leaves such points out.
    if (sig[j] == 0.0) con.record("(a6,i5,a19)", "ERROR ", j, "CAN NOT BE ZERO!!");
    d.sigmamed(i) += sig[j];
    if (j < 5) con.record("(4es15.6)", xi[j], yi[j], sig[j], mi[j]);
    if (xi[j] > d.kfin(i)) break;  // sorted data: the first point beyond the range ends the reading
    if (xi[j] > d.kin(i)) {
      if (d.ndatin(i) == 0) d.imin(i) = j;
      ++d.ndatin(i);
      range.note(line, sig[j]);
    }
    if (j == kMaxPoints) {
      con.line("ERROR: Final del fichero!!!!");
      con.line("kfin too big or more than " + std::to_string(kMaxPointsInRange) + " points up to kfin in " + file);
      con.line("Points read: ", d.ndatin(i));
      // The last point of the range counted from the first point read; when no
      // point was in range, the last point read.
      con.line("kmax=", xi[d.ndatin(i) > 0 ? d.ndatin(i) : kMaxPoints]);
      throw InputError(file, line,
                       "point " + std::to_string(kMaxPoints) + " (x = " + shortest(xi[j]) +
                           ") does not lie beyond the fit range (xmax = " + shortest(d.kfin(i)) + "): a data set holds at most " +
                           std::to_string(kMaxPointsInRange) + " points up to xmax; lower xmax or thin the file");
    }
  }
  // A point with sigma 0 carries no weight (the warning above); a fitted data
  // set none of whose points carries weight would add chi-square 0 whatever
  // the model, and every number of the run would be wrong without a sign.
  if (range.points > 0 && range.weighted == 0)
    throw InputError(file, range.first_line,
                     "every point of the fit range (lines " + std::to_string(range.first_line) + " to " +
                         std::to_string(range.last_line) +
                         ") has sigma 0, so none carries weight: expected a sigma other than 0 on some of them");
}

// Option "c" takes the resolution from the data grid, whose origin must then be
// at x = 0.
void warn_convolution_origin(Console& con) {
  con.empty_line();
  con.empty_line();
  con.line("*****************************************");
  con.line("***   WARNING   WARNING WARNING       ***");
  con.line("*****************************************");
  con.line("** CONVOLUTION SHOULD START WITH X=0.0 **");
  con.line("*****************************************");
  con.line("* You will run into trouble, my friend! *");
  con.line("*****************************************");
  con.empty_line();
  con.empty_line();
}

// The mean sigma, the number of points and the fit range; no point in range
// stops the program.
void report_fit_range(FitFunctions& d, int i, Console& con) {
  const double* xi = d.xi.row(i);
  // The sum covers every point read (also those below the range and the first
  // one beyond it), the divisor only the points in range. With no point in
  // range there is no mean to report: the data set is refused just below.
  con.empty_line();
  if (d.ndatin(i) > 0) {
    d.sigmamed(i) /= d.ndatin(i);
    if (d.sigmamed(i) > 0.0) con.line("Arithmetic media of sigma", d.sigmamed(i));
    if (d.sigmamed(i) < 0.0) con.line("**** Poisson distribution used ****");
  }

  con.line("Number of points in function", d.ndatin(i));
  if (d.ndatin(i) == 0) {
    con.line("ERROR: this function contains no points!!!");
    con.line(d.nomin(i));
    throw ProgramStop(1);
  }
  const int last = d.imin(i) + d.ndatin(i) - 1;
  con.line("Inicial", d.imin(i), xi[d.imin(i)]);
  con.line("Final", last, xi[last]);
  con.empty_line();
  con.empty_line();
}

// Reads data set i into xi, yi, sigmae, mi, locates the fit range and prints
// the statistics.
void read_data_set(FitFunctions& d, int i, Console& con) {
  const std::string file = d.nomin(i).str();
  const bool option_c = d.fileop(i) == "c";
  const PointLayout layout = point_layout(option_c, d.sigmae(i, 0));

  FreeReader r = FreeReader::open(file);
  con.line("First lines of input file: ", d.nomin(i), "  x   y    sigma     m");
  d.ndatin(i) = 0;
  d.sigmamed(i) = 0.0;

  std::vector<FreeToken> tokens;
  bool whole = true;
  int first = 0;
  const bool first_is_point = read_first_line(d, i, r, tokens, whole, first, layout, con);
  read_points(d, i, r, tokens, whole, first, first_is_point, layout, con);
  if (option_c && d.xi(i, 1) != 0.0) warn_convolution_origin(con);
  report_fit_range(d, i, con);
}

// Option "c": the third data column is the resolution, measured on the data
// grid with its origin at the first point. It is shifted one place (first
// point at index 0) and mirrored, R(-k) = R(k), over half the data range.
void prepare_column_resolution(FitFunctions& d, int i) {
  const int n_last = d.imin(i) + d.ndatin(i) - 1;
  const int half = n_last / 2;
  // The grid length follows from the number of points the data file gives.
  check_index_at(d.nomin(i).str(), 0, "xc", 2, -kMaxConvHalf, kMaxConvHalf, n_last + half);
  const double x1 = d.xi(i, 1);
  const double dx = std::abs(d.xi(i, 2) - x1);
  d.imaxconv(i) = half;
  double* xc = d.xc.row(i);
  double* mi = d.mi.row(i);
  // Increasing j: mi[j] is read before the step j + 1 overwrites it.
  for (int j = 1; j <= n_last + half; ++j) {
    xc[j] = x1 + (j - 1) * dx;
    mi[j - 1] = mi[j];
    mi[-(j - 1)] = mi[j];
  }
  for (int j = 0; j >= -half; --j) xc[j] = x1 + (j - 1) * dx;
}

// A resolution file is sampled on a regular grid rising in x: the convolution
// takes its values point by point at whole multiples of the data step, without
// resampling. Every step x_j - x_(j-1) must be positive and lie within
// kResolutionStepTolerance of the median step, which one wrong line cannot
// move (a mean step would be moved by a missing line and would blame the
// regular lines); the first line that breaks this is named. The tolerance of
// 1 % of a step accepts the rounding of x values written with a few digits
// more than the step needs (0.0100 +- 0.00005 on a step of 0.01 is 0.5 %),
// while a sample displaced by 1 % of a step moves the kernel by far less than
// the rectangle rule of the convolution resolves (its error is of the order of
// the step itself). A missing line, a doubled one or a change of step is a
// whole step off and is refused.
constexpr double kResolutionStepTolerance = 1e-2;

void check_resolution_grid(const std::string& file, const std::vector<double>& x, const std::vector<int>& line_of,
                           int n) {
  std::vector<double> steps;
  for (size_t j = 2; j <= static_cast<size_t>(n); ++j) steps.push_back(x[j] - x[j - 1]);
  if (steps.empty()) return;
  std::nth_element(steps.begin(), steps.begin() + static_cast<long>(steps.size() / 2), steps.end());
  const double median = steps[steps.size() / 2];
  for (size_t j = 2; j <= static_cast<size_t>(n); ++j) {
    const double step = x[j] - x[j - 1];
    if (!(step > 0.0))
      throw InputError(file, line_of[j],
                       "x = " + shortest(x[j]) + " is not above x = " + shortest(x[j - 1]) + " of line " +
                           std::to_string(line_of[j - 1]) + ": the resolution must be sorted by increasing x");
    if (std::fabs(step - median) > kResolutionStepTolerance * median)
      throw InputError(file, line_of[j],
                       "the step from x = " + shortest(x[j - 1]) + " (line " + std::to_string(line_of[j - 1]) +
                           ") to x = " + shortest(x[j]) + " is " + shortest(step) + ", but the file's median step is " +
                           shortest(median) + ": the resolution must be sampled on a regular step (within 1 %)");
  }
}

// The kernel of data set i centred on line `origin` of the resolution file,
// with the half-width the window allows on the nearer side, and the grid xc of
// the convolution on the data's x step.
void centre_resolution(FitFunctions& d, int i, const std::string& file, const std::vector<double>& mini, int origin,
                       int ilow, int ihigh) {
  d.iiniconv(i) = origin;
  const int half = std::min(std::abs(origin - ihigh), std::abs(origin - ilow));
  d.imaxconv(i) = half;

  const int n_last = d.imin(i) + d.ndatin(i) - 1;
  // Lines of the scratch table beyond the last one read hold 0. The kernel's
  // half-width comes from the resolution file.
  check_index_at(file, 0, "mini", 1, 1, kMaxResLines, origin - half);
  check_index_at(file, 0, "mini", 1, 1, kMaxResLines, origin + half);
  check_index_at(file, 0, "mi", 2, -kMaxConvHalf, kMaxConvHalf, half);
  check_index_at(file, 0, "xc", 2, -kMaxConvHalf, kMaxConvHalf, n_last + half);
  double* mi = d.mi.row(i);
  for (int k = -half; k <= half; ++k) mi[k] = mini[static_cast<size_t>(origin + k)];
  const double x1 = d.xi(i, 1);
  const double dx = std::abs(d.xi(i, 2) - x1);
  double* xc = d.xc.row(i);
  for (int j = -half; j <= n_last + half; ++j) xc[j] = x1 + (j - 1) * dx;
}

// Option "cf": the resolution is read from its own file (one header line, then
// x y), on the same x step as the data, and centred on its origin: the line of
// maximum y (zeroconv < 0) or the last line with x <= zeroconv. The kernel
// reaches as far as the window +-xmaxconv allows on the nearer side.
void prepare_file_resolution(FitFunctions& d, int i, Console& con) {
  const std::string file = d.nameconv(i).str();
  FreeReader r = FreeReader::open(file);
  con.line("First lines of van file: ", d.nameconv(i));
  if (!r.next_raw_line())  // the first line is a header
    throw InputError(file, 0, "the resolution file is empty: expected a header line, then lines of x y");

  std::vector<double> xcini(kMaxResLines + 1, 0.0), mini(kMaxResLines + 1, 0.0);
  std::vector<int> line_of(kMaxResLines + 1, 0);
  const double zeroconv = d.zeroconv(i);
  const double xmaxconv = d.xmaxconv(i);
  double ymax = kResolutionMaxStart;
  int origin = 0, ilow = 0, ihigh = 0, nread = 0;
  bool origin_found = false;
  std::vector<FreeToken> tokens;
  bool whole = true;
  for (int j = 1; j <= kMaxResLines; ++j) {
    const std::string* text = nullptr;
    const int line = next_nonblank(r, tokens, whole, &text);
    if (line == 0) break;
    refuse_decimal_comma(file, line, *text, 2);
    double v[2];
    std::string found;
    if (!parse_numbers(tokens, whole, 2, v, found))
      throw InputError(file, line, "expected x y (two numbers), found " + found);
    xcini[j] = v[0];
    mini[j] = v[1];
    line_of[j] = line;
    nread = j;
    // The 10000th line is stored, but the reading ends before it is examined.
    if (j == kMaxResLines) break;
    if (j < 5) con.line(v[0], v[1]);
    if (zeroconv < 0.0) {
      if (mini[j] > ymax) {  // strictly greater: the first of equal maxima wins
        ymax = mini[j];
        origin = j;
        origin_found = true;
      }
    } else if (!origin_found && xcini[j] > zeroconv) {
      origin = j - 1;  // the last line not beyond the origin
      origin_found = true;
    }
    if (ilow == 0 && xcini[j] >= -xmaxconv) ilow = j;
    if (ihigh == 0 && xcini[j] >= xmaxconv) ihigh = j;
  }
  if (nread == 0) {
    con.line("ERROR: this convolution function contains no points!");
    con.line(d.nameconv(i));
    throw ProgramStop(1);
  }
  check_resolution_grid(file, xcini, line_of, nread);
  // A file that never reaches the window edge (or the origin x) is taken up to
  // its last line: the window then ends there. A maximum search that never
  // rose above its start value takes the first line of greatest y.
  if (ilow == 0) ilow = nread;
  if (ihigh == 0) ihigh = nread;
  if (!origin_found) {
    if (zeroconv < 0.0) {
      origin = 1;
      for (int j = 2; j <= nread; ++j)
        if (mini[j] > mini[origin]) origin = j;
    } else {
      origin = nread;
    }
  }
  centre_resolution(d, i, file, mini, origin, ilow, ihigh);
}

// Every reading starts from the state of a fresh process: tables left over from
// an earlier reading (after an edit, or a reload from the prompt) must not leak
// into this one. The error options in sigmae(i, 0) come from the parameter file
// and stay.
void clear_data_tables(FitFunctions& d, int nfunc) {
  for (int i = 1; i <= nfunc; ++i) {
    d.xi.fill_row(i, 0.0);
    d.yi.fill_row(i, 0.0);
    d.mi.fill_row(i, 0.0);
    d.xc.fill_row(i, 0.0);
    d.z.fill_row(i, 0.0);
    double* sig = d.sigmae.row(i);
    for (int j = 1; j <= kMaxPoints; ++j) sig[j] = 0.0;
    d.imin(i) = 0;
    d.ndatin(i) = 0;
    d.imaxconv(i) = 0;
    d.iiniconv(i) = 0;
    d.sigmamed(i) = 0.0;
  }
  d.nz = 0;
}

// A data file that does not exist: true when the user chose to edit the
// parameter file (the reading then starts again).
bool ask_missing_data_file(const FitFunctions& d, int i, const RunSettings& settings, Console& con) {
  con.empty_line();
  con.empty_line();
  con.record("(a15,a15)", d.nomin(i), "does not exist!!!!");
  con.record("(a18,a4,a8)", "Change file", d.nomin(i).first(4), "? (y/n)");
  if (con.yes_no()) {
    con.line("edit ", settings.parfile);
    edit(con, settings.parfile.padded());
    return true;
  }
  return false;
}

// Resolution functions and convolution grids, in slot order; "convf.dat" is
// rewritten for every data set and ends with the last one. A data set that
// is not fitted is not prepared (nothing reads its grid) and counts as one
// without a resolution: a single line k = 0.
void prepare_resolutions(FitFunctions& d, int nfunc, Console& con) {
  for (int i = 1; i <= nfunc; ++i) {
    const bool fitted = is_fitted(d.opfit(i));
    if (fitted && d.fileop(i) == "c") {
      prepare_column_resolution(d, i);
    } else if (fitted && d.fileop(i) == "cf") {
      prepare_file_resolution(d, i, con);
    } else {
      d.imaxconv(i) = 0;
    }
    write_convf(d, i);
  }
}

// The whole-curve dielectric models are fitted on logarithmic scales: x, y and
// the fit range of data set i become decimal logarithms.
void take_logarithms(FitFunctions& d, int i, RunSettings& settings, Console& con) {
  con.line("**** CALCULATING logarithm for x and y ***");
  const int n_last = d.imin(i) + d.ndatin(i) - 1;
  double* xi = d.xi.row(i);
  double* yi = d.yi.row(i);
  // A frequency or loss that is not positive has no logarithm: inside the fit
  // range it would turn the chi-square into NaN, so it is refused.
  for (int j = d.imin(i); j <= n_last; ++j) {
    if (!(xi[j] > 0.0) || !(yi[j] > 0.0))
      throw InputError(d.nomin(i).str(), 0,
                       "data set " + std::to_string(i) + " (model " + std::to_string(d.opfit(i)) +
                           ") is fitted on logarithmic scales, but point " + std::to_string(j) +
                           " of the fit range has x = " + shortest(xi[j]) + ", y = " + shortest(yi[j]) +
                           "; frequency and loss must be positive");
  }
  for (int j = 1; j <= n_last; ++j) {
    xi[j] = std::log10(xi[j]);
    yi[j] = std::log10(yi[j]);
  }
  if (d.kin(i) <= 0.0) {
    con.line("ERROR: Incorrect Kin or Kfin");
    con.line(d.kin(i), d.kfin(i));
    throw ProgramStop(1);
  }
  d.kin(i) = std::log10(d.kin(i));
  d.kfin(i) = std::log10(d.kfin(i));
  d.logrange(i) = 1;
  // The values are logarithms already: both plot axes linear.
  settings.plotaxes = "nn";
}

}  // namespace

ReadOutcome dataread(RunSettings& settings, FitFunctions& d, Console& con) {
  const int nfunc = settings.nfunc;
  clear_data_tables(d, nfunc);
  // The number of z values each file gives in its "zvalues" header (0 without
  // one); d.nz keeps the count of the last header read.
  int nz_of[kMaxFunc + 1] = {};

  for (int i = 1; i <= nfunc; ++i) {
    if (!is_fitted(d.opfit(i))) continue;
    // A third column of resolution leaves no column for anything but a sigma
    // per point or a constant sigma; Poisson counts have no layout with it.
    if (d.fileop(i) == "c" && d.sigmae(i, 0) < 0.0)
      throw InputError(d.nomin(i).str(), 0,
                       "option \"c\" cannot be used with Poisson errors (negative sigma option) for data set " +
                           std::to_string(i) + " (model " + std::to_string(d.opfit(i)) + ")");

    if (!file_exists(d.nomin(i).str())) {
      if (ask_missing_data_file(d, i, settings, con)) return ReadOutcome::Reread;
      // Without an edit there is nothing to read; no empty file is left behind.
      throw InputError(d.nomin(i).str(), 0, "the data file does not exist");
    }
    const int nz_before = d.nz;
    d.nz = -1;  // set by a "zvalues" header of this file
    read_data_set(d, i, con);
    nz_of[i] = d.nz < 0 ? 0 : d.nz;
    if (d.nz < 0) d.nz = nz_before;
  }
  for (int i = 1; i <= nfunc; ++i)
    if (!is_fitted(d.opfit(i))) d.ndatin(i) = 0;

  prepare_resolutions(d, nfunc, con);

  for (int i = 1; i <= nfunc; ++i) {
    if (const ModelInfo* m = find_model(d.opfit(i)); !m || !m->whole_curve) continue;
    take_logarithms(d, i, settings, con);
  }

  // The rotation models weight their lines with spherical Bessel functions of
  // q*R: without a positive q they would report and wait at every evaluation.
  for (int i = 1; i <= nfunc; ++i) {
    if (!is_fitted(d.opfit(i))) continue;
    const std::string problem = q_problem(d.opfit(i), d.z.row(i), nz_of[i]);
    if (!problem.empty()) throw InputError(d.nomin(i).str(), 0, "data set " + std::to_string(i) + ": " + problem);
  }
  return ReadOutcome::Done;
}

}  // namespace zorvik
