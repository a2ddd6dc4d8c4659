// The figures of the report folder (report_figures.h). The program computes
// everything a figure shows (bands, densities, credible regions, correlations)
// and writes it as numbers; the gnuplot scripts only draw, so a figure can be
// redrawn or restyled from its data file without the program.
#include "output/report_figures.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numeric>

#include "core/files.h"
#include "core/output_paths.h"
#include "core/visible_text.h"
#include "models/catalogue.h"
#include "models/diffusion.h"

namespace zorvik {

namespace {

// Numbers in the data files: ten significant digits, and gnuplot's own word
// for a missing value.
std::string num(double v) {
  if (!std::isfinite(v)) return "NaN";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  return buf;
}

std::ofstream open_in(const std::string& folder, const std::string& name) { return open_output(folder + "/" + name); }

// The head of every script: both formats from one drawing, the PNG for the page
// and the SVG for a paper. Enhanced text is off, so names from files show as
// they are; the figures' own symbols are UTF-8.
void script_head(std::ostream& s, const std::string& stem, int width, int height) {
  s << "# " << stem << ": drawn from the data files beside this script (gnuplot " << stem << ".gp)\n"
    << "reset\nset encoding utf8\n"
    << "do for [fmt in 'png svg'] {\n"
    << "if (fmt eq 'png') { set terminal pngcairo size " << width << "," << height
    << " font 'Sans,10' noenhanced } else { set terminal svg size " << width << "," << height
    << " font 'Sans,10' noenhanced background rgb 'white' }\n"
    << "set output '" << stem << ".'.fmt\n";
}

void script_tail(std::ostream& s) { s << "unset multiplot\nset output\n}\n"; }

// ---- one fitted data set ------------------------------------------------------------

void write_set_data(std::ostream& d, const FigureSet& f) {
  d << "# x y sigma best q025 q16 q50 q84 q975 residual  (model curve quantiles over " << f.states
    << " states of the retained chain; residual = (y - best)/sigma)\n";
  for (size_t k = 0; k < f.x.size(); ++k) {
    const double r = f.sigma[k] > 0.0 ? (f.y[k] - f.best[k]) / f.sigma[k] : NAN;
    d << num(f.x[k]) << ' ' << num(f.y[k]) << ' ' << num(f.sigma[k]) << ' ' << num(f.best[k]);
    for (const auto& q : f.band) d << ' ' << num(q[k]);
    d << ' ' << num(r) << '\n';
  }
}

// Data with error bars, the 95 % and 68 % bands, the best fit; below, the
// residuals in units of sigma with the ±1 and ±2 lines.
void write_set_script(std::ostream& s, const FigureSet& f, const std::string& stem) {
  script_head(s, stem, 900, 700);
  // Two panels on one x axis, a gap between them so their tic labels never meet.
  s << "set multiplot\nset lmargin at screen 0.12\nset rmargin at screen 0.96\n"
    << "set tmargin at screen 0.92\nset bmargin at screen 0.37\nset format x ''\n"
    << "set ylabel " << gnuplot_string(f.y_title) << "\nset key horizontal center top outside\n"
    << (f.log_axes ? "set logscale xy 10\nset format y '%g'\n" : "") << "set autoscale xfix\n"
    << "plot '" << stem << ".dat' using 1:5:9 with filledcurves fc rgb '#c6dbef' title '95 % band', \\\n"
    << "  '' using 1:6:8 with filledcurves fc rgb '#6baed6' title '68 % band', \\\n"
    << "  '' using 1:4 with lines lw 2 lc rgb '#08306b' title 'best fit', \\\n"
    << "  '' using 1:2:3 with yerrorbars pt 7 ps 0.4 lc rgb 'black' title " << gnuplot_string(f.file) << "\n"
    << "unset logscale y\nset tmargin at screen 0.33\nset bmargin at screen 0.09\n"
    << "set format x '%g'\nset format y '%g'\nset xlabel " << gnuplot_string(f.x_title)
    << "\nset ylabel '(y − best)/σ'\nunset key\n"
    // The bands again, relative to the best fit and in units of σ: the model's
    // uncertainty against the noise, visible however precise the data are.
    << "plot '" << stem << ".dat' using 1:(($5-$4)/$3):(($9-$4)/$3) with filledcurves fc rgb '#c6dbef', \\\n"
    << "  '' using 1:(($6-$4)/$3):(($8-$4)/$3) with filledcurves fc rgb '#6baed6', \\\n"
    << "  '' using 1:10 with points pt 7 ps 0.4 lc rgb 'black', 0 lc rgb '#08306b', \\\n"
    << "  -1 dt 2 lc rgb 'gray', 1 dt 2 lc rgb 'gray', -2 dt 3 lc rgb 'gray', 2 dt 3 lc rgb 'gray'\n";
  script_tail(s);
}

// ---- the corner plot --------------------------------------------------------------------

constexpr int kCornerMax = 6;    // panels per side; more parameters: the most correlated ones
constexpr int kGrid = 32;        // cells per side of a pair's density
constexpr int kBins = 40;        // bins of a marginal density

// The retained states of every chain, pooled: [column][state].
std::vector<std::vector<double>> retained(const FigureInput& in) {
  std::vector<std::vector<double>> out;
  for (const FigureChain& c : in.chains) {
    if (out.empty()) out.resize(c.columns.size());
    for (size_t k = 0; k < c.step.size(); ++k)
      if (c.step[k] > in.burn_in)
        for (size_t j = 0; j < c.columns.size() && j < out.size(); ++j) out[j].push_back(c.columns[j][k]);
  }
  return out;
}

double correlation(const std::vector<double>& a, const std::vector<double>& b) {
  const double n = static_cast<double>(a.size());
  const double ma = std::accumulate(a.begin(), a.end(), 0.0) / n, mb = std::accumulate(b.begin(), b.end(), 0.0) / n;
  double sab = 0, saa = 0, sbb = 0;
  for (size_t k = 0; k < a.size(); ++k) {
    sab += (a[k] - ma) * (b[k] - mb);
    saa += (a[k] - ma) * (a[k] - ma);
    sbb += (b[k] - mb) * (b[k] - mb);
  }
  return saa > 0 && sbb > 0 ? sab / std::sqrt(saa * sbb) : 0.0;
}

// The range a panel shows: the draws' extent, widened where they do not vary.
std::pair<double, double> extent(const std::vector<double>& v) {
  const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
  const double pad = *hi > *lo ? 0.0 : std::max(std::abs(*lo) * 1e-6, 1e-12);
  return {*lo - pad, *hi + pad};
}

int cell(double v, std::pair<double, double> r, int n) {
  return std::clamp(static_cast<int>((v - r.first) / (r.second - r.first) * n), 0, n - 1);
}

// Counts smoothed by the 1-2-1 kernel along each axis, so that a few hundred
// effective draws give a region and not a scatter of cells.
std::vector<double> smoothed(const std::vector<double>& h, int nx, int ny) {
  std::vector<double> a(h.size(), 0.0), b(h.size(), 0.0);
  auto at = [&](const std::vector<double>& v, int i, int j) {
    return (i < 0 || j < 0 || i >= nx || j >= ny) ? 0.0 : v[static_cast<size_t>(i * ny + j)];
  };
  for (int i = 0; i < nx; ++i)
    for (int j = 0; j < ny; ++j) a[static_cast<size_t>(i * ny + j)] = at(h, i - 1, j) + 2 * at(h, i, j) + at(h, i + 1, j);
  for (int i = 0; i < nx; ++i)
    for (int j = 0; j < ny; ++j) b[static_cast<size_t>(i * ny + j)] = at(a, i, j - 1) + 2 * at(a, i, j) + at(a, i, j + 1);
  return b;
}

// The highest-density credible regions of a pair: each cell gets 2 inside the
// 68 % region, 1 inside the 95 % one, 0 outside. The cells are taken from the
// densest down until they hold the probability (highest posterior density).
std::vector<int> credible_levels(const std::vector<double>& density) {
  std::vector<size_t> order(density.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return density[a] > density[b]; });
  const double total = std::accumulate(density.begin(), density.end(), 0.0);
  std::vector<int> level(density.size(), 0);
  double sum = 0.0;
  for (size_t c : order) {
    if (sum >= 0.95 * total || density[c] <= 0.0) break;
    level[c] = sum < 0.68 * total ? 2 : 1;
    sum += density[c];
  }
  return level;
}

// corner.dat: per chosen parameter a block "x density" (its marginal), then per
// pair below the diagonal a block "x y level" of the credible regions; blocks
// are separated by two empty lines (gnuplot's "index").
void write_corner_data(std::ostream& d, const std::vector<std::vector<double>>& draws, const std::vector<int>& pick) {
  d << "# marginal blocks: x density; then pair blocks (row > column): x y level (2: 68 %, 1: 95 % region)\n";
  for (int p : pick) {
    const auto& v = draws[static_cast<size_t>(p)];
    const auto r = extent(v);
    std::vector<double> h(kBins, 0.0);
    for (double x : v) h[static_cast<size_t>(cell(x, r, kBins))] += 1.0;
    const std::vector<double> s = smoothed(h, kBins, 1);
    const double w = (r.second - r.first) / kBins, norm = std::accumulate(s.begin(), s.end(), 0.0) * w;
    for (int b = 0; b < kBins; ++b) d << num(r.first + (b + 0.5) * w) << ' ' << num(s[static_cast<size_t>(b)] / norm) << '\n';
    d << "\n\n";
  }
  for (size_t row = 1; row < pick.size(); ++row)
    for (size_t col = 0; col < row; ++col) {
      const auto& vx = draws[static_cast<size_t>(pick[col])];
      const auto& vy = draws[static_cast<size_t>(pick[row])];
      const auto rx = extent(vx), ry = extent(vy);
      std::vector<double> h(kGrid * kGrid, 0.0);
      for (size_t k = 0; k < vx.size(); ++k) h[static_cast<size_t>(cell(vx[k], rx, kGrid) * kGrid + cell(vy[k], ry, kGrid))] += 1;
      const std::vector<int> level = credible_levels(smoothed(h, kGrid, kGrid));
      for (int i = 0; i < kGrid; ++i) {
        for (int j = 0; j < kGrid; ++j)
          d << num(rx.first + (i + 0.5) * (rx.second - rx.first) / kGrid) << ' '
            << num(ry.first + (j + 0.5) * (ry.second - ry.first) / kGrid) << ' ' << level[static_cast<size_t>(i * kGrid + j)] << '\n';
        d << '\n';
      }
      d << '\n';
    }
}

// The parameters of the corner plot (columns of the draws, 1 …): all when few,
// otherwise those with the largest correlation with any other.
std::vector<int> corner_choice(const std::vector<std::vector<double>>& draws) {
  const int n = static_cast<int>(draws.size()) - 1;
  std::vector<int> pick(static_cast<size_t>(n));
  std::iota(pick.begin(), pick.end(), 1);
  if (n <= kCornerMax) return pick;
  std::vector<double> strongest(static_cast<size_t>(n + 1), 0.0);
  for (int a = 1; a <= n; ++a)
    for (int b = 1; b < a; ++b) {
      const double r = std::abs(correlation(draws[static_cast<size_t>(a)], draws[static_cast<size_t>(b)]));
      strongest[static_cast<size_t>(a)] = std::max(strongest[static_cast<size_t>(a)], r);
      strongest[static_cast<size_t>(b)] = std::max(strongest[static_cast<size_t>(b)], r);
    }
  std::stable_sort(pick.begin(), pick.end(), [&](int a, int b) { return strongest[static_cast<size_t>(a)] > strongest[static_cast<size_t>(b)]; });
  pick.resize(kCornerMax);
  std::sort(pick.begin(), pick.end());
  return pick;
}

void write_corner_script(std::ostream& s, const RunReport& r, const std::vector<int>& pick) {
  const int n = static_cast<int>(pick.size());
  const int side = std::min(1500, std::max(600, 240 * n));
  script_head(s, "corner", side, side);
  s << "set multiplot layout " << n << "," << n << " margins 0.1,0.98,0.08,0.98 spacing 0.015\n"
    << "unset key\nset tics font ',8'\nset xtics rotate by 45 right\nset cbrange [0:2]\nunset colorbox\n"
    << "set palette defined (0 'white', 1 '#9ecae1', 2 '#2171b5')\n";
  int pair_block = n;
  for (int row = 0; row < n; ++row)
    for (int col = 0; col < n; ++col) {
      if (col > row) {
        s << "set multiplot next\n";
        continue;
      }
      const ReportParameter& px = r.parameters[static_cast<size_t>(pick[static_cast<size_t>(col)] - 1)];
      const ReportParameter& py = r.parameters[static_cast<size_t>(pick[static_cast<size_t>(row)] - 1)];
      s << "set format x " << (row == n - 1 ? "'% h'" : "''") << "\nset xlabel " << (row == n - 1 ? gnuplot_string(px.name) : "''")
        << "\nset format y " << (col == 0 && row > 0 ? "'% h'" : "''") << "\nset ylabel "
        << (col == 0 && row > 0 ? gnuplot_string(py.name) : "''") << "\n";
      // The best state: a red line on the marginals, a red cross in the regions.
      if (row == col)
        s << "set autoscale x\nset autoscale xfix\nset yrange [0:*]\nset arrow 1 from first " << num(px.best) << ", graph 0 to first "
          << num(px.best) << ", graph 1 nohead lc rgb 'red' front\nplot 'corner.dat' index " << col
          << " using 1:2 with lines lw 2 lc rgb '#2171b5'\nunset arrow 1\n";
      else
        s << "set autoscale xy\nset autoscale xfix\nset autoscale yfix\nset label 1 '' at first " << num(px.best) << ", first "
          << num(py.best) << " point pt 3 ps 1.5 lw 2 lc rgb 'red' front\nplot 'corner.dat' index " << pair_block++
          << " using 1:2:3 with image\nunset label 1\n";
    }
  script_tail(s);
}

// corr.dat and corr.gp: the correlation matrix of every free parameter.
void write_correlations(const std::string& folder, const RunReport& r, const std::vector<std::vector<double>>& draws) {
  const int n = static_cast<int>(draws.size()) - 1;
  std::ofstream d = open_in(folder, "corr.dat");
  d << "# i j correlation (free parameters in file order, 0-based)\n";
  for (int a = 0; a < n; ++a) {
    for (int b = 0; b < n; ++b)
      d << a << ' ' << b << ' ' << num(correlation(draws[static_cast<size_t>(a + 1)], draws[static_cast<size_t>(b + 1)])) << '\n';
    d << '\n';
  }
  std::ofstream s = open_in(folder, "corr.gp");
  const int side = std::min(1400, 300 + 30 * n);
  script_head(s, "corr", side, side);
  s << "set title 'Correlations of the free parameters over the retained chain'\nset cbrange [-1:1]\n"
    << "set palette defined (-1 '#b2182b', 0 'white', 1 '#2166ac')\nset size square\nunset key\n"
    << "set xrange [-0.5:" << n - 0.5 << "]\nset yrange [" << n - 0.5 << ":-0.5]\nset xtics rotate by 60 right (";
  for (int a = 0; a < n; ++a) s << (a ? ", " : "") << gnuplot_string(r.parameters[static_cast<size_t>(a)].name) << ' ' << a;
  s << ")\nset ytics (";
  for (int a = 0; a < n; ++a) s << (a ? ", " : "") << gnuplot_string(r.parameters[static_cast<size_t>(a)].name) << ' ' << a;
  s << ")\nplot 'corr.dat' using 1:2:3 with image\n";
  script_tail(s);
}

// ---- the traces --------------------------------------------------------------------------

constexpr size_t kTracePoints = 1000;  // points drawn per chain: enough to see drift and mixing

void write_traces(const std::string& folder, const FigureInput& in, const RunReport& r) {
  std::ofstream d = open_in(folder, "trace.dat");
  d << "# step chisq";
  for (const ReportParameter& p : r.parameters) d << ' ' << visible_text(p.name);
  d << "  (one block per chain; at most " << kTracePoints << " states each, evenly spaced)\n";
  for (const FigureChain& c : in.chains) {
    const size_t stride = std::max<size_t>(1, (c.step.size() + kTracePoints - 1) / kTracePoints);
    for (size_t k = 0; k < c.step.size(); k += stride) {
      d << c.step[k];
      for (const auto& col : c.columns) d << ' ' << num(col[k]);
      d << '\n';
    }
    d << "\n\n";
  }
  const size_t panels = r.parameters.size() + 1;
  std::ofstream s = open_in(folder, "trace.gp");
  script_head(s, "trace", 900, static_cast<int>(std::min<size_t>(4000, 120 + 150 * panels)));
  s << "set multiplot layout " << panels << ",1 margins 0.14,0.97,0.06,0.97 spacing 0,0.012\nunset key\n"
    << "set object 1 rectangle from first 0, graph 0 to first " << in.burn_in
    << ", graph 1 fc rgb '#e6e6e6' fs solid noborder behind\nset tics font ',8'\nset format x ''\n";
  for (size_t j = 0; j < panels; ++j) {
    if (j + 1 == panels) s << "set format x '%g'\nset xlabel 'step (burn-in shaded)'\n";
    // The vertical range of the retained states: the start of a burn-in far
    // from the posterior is clipped rather than flattening what follows.
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    for (const FigureChain& c : in.chains)
      for (size_t k = 0; k < c.step.size(); ++k)
        if (c.step[k] > in.burn_in && std::isfinite(c.columns[j][k]))
          lo = std::min(lo, c.columns[j][k]), hi = std::max(hi, c.columns[j][k]);
    if (lo < hi) s << "set yrange [" << num(lo - 0.05 * (hi - lo)) << ':' << num(hi + 0.05 * (hi - lo)) << "]\n";
    else s << "set autoscale y\n";
    s << "set ylabel " << (j == 0 ? std::string("'χ²'") : gnuplot_string(r.parameters[j - 1].name))
      << "\nplot for [c=0:" << in.chains.size() - 1 << "] 'trace.dat' index c using 1:" << j + 2
      << " with lines lc rgb word('#08519c #e6550d #31a354 #756bb1 #636363 #d6616b', c % 6 + 1)\n";
  }
  script_tail(s);
}

// ---- the evidence ladder -----------------------------------------------------------------

void write_ladder(const std::string& folder, const ReportEvidence& e) {
  std::ofstream d = open_in(folder, "ladder.dat");
  d << "# beta mean_lnL error  (the rung at beta = 0 is left out of the logarithmic axis)\n";
  for (size_t k = 0; k < e.beta.size(); ++k)
    if (e.beta[k] > 0.0) d << num(e.beta[k]) << ' ' << num(e.mean_ln_l[k]) << ' ' << num(e.mean_ln_l_error[k]) << '\n';
  std::ofstream s = open_in(folder, "ladder.gp");
  script_head(s, "ladder", 800, 550);
  // ⟨ln L⟩ = −⟨χ²⟩/2 falls by decades from β = 1 to the first rungs: drawn
  // as −⟨ln L⟩ on logarithmic axes, every rung is seen.
  char title[96];
  std::snprintf(title, sizeof title, "ln Z = %.4f ± %.4f (thermodynamic integration)", e.ln_z, e.error);
  s << "set title '" << title << "'\nset logscale xy 10\nset format x '10^%L'\n"
    << "set xlabel 'inverse temperature β'\nset ylabel '−⟨ln L⟩_β = ⟨χ²⟩/2 at β'\nset key top right\n"
    << "plot 'ladder.dat' using 1:(-$2-$3):(-$2+$3) with filledcurves fc rgb '#c6dbef' title '± 1 standard error', \\\n"
    << "  '' using 1:(-$2) with linespoints pt 7 ps 0.6 lc rgb '#08306b' title '−⟨ln L⟩ of the rung'\n";
  script_tail(s);
}

// Runs "gnuplot script …" in the folder, its output into gnuplot.log there.
// Returns the exit status; 127 when gnuplot could not be started.
int run_gnuplot(const std::string& folder, const std::vector<std::string>& scripts) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return 127;
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0) _exit(126);
    const int fd = open("gnuplot.log", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) dup2(fd, 1), dup2(fd, 2);
    std::vector<char*> argv{const_cast<char*>("gnuplot")};
    for (const std::string& s : scripts) argv.push_back(const_cast<char*>(s.c_str()));
    argv.push_back(nullptr);
    execvp("gnuplot", argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return 127;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

void add_figure(RunReport& r, std::vector<std::string>& scripts, const std::string& stem) {
  scripts.push_back(stem + ".gp");
  r.figures.push_back(stem + ".png");
  r.figures.push_back(stem + ".svg");
}

}  // namespace

std::string gnuplot_string(std::string_view name) {
  std::string q = "'";
  for (char c : visible_text(name)) q += c == '\'' ? std::string("''") : std::string(1, c);
  return q + "'";
}

void choose_axes(FigureSet& set, int slot) {
  const ModelInfo* m = find_model(set.model);
  set.log_axes = false;
  if (m && m->family == ModelFamily::dielectric && m->whole_curve) {
    set.x_title = "log₁₀ (frequency f / Hz)";
    set.y_title = "log₁₀ ε″ (dielectric loss)";
  } else if (m && m->family == ModelFamily::dielectric) {
    set.log_axes = true;
    set.x_title = "frequency f (Hz)";
    set.y_title = "dielectric loss ε″";
  } else if (m && m->family == ModelFamily::molecular) {
    set.x_title = slot == 1 ? "momentum transfer q (Å⁻¹)" : "distance r (Å)";
    set.y_title = slot == 1 ? "structure factor S(q)" : "pair distribution g(r)";
  } else if (m && (m->needs_q || m->last_slot == kDiffusionSets)) {
    // The quasi-elastic models: one spectrum per momentum transfer.
    set.x_title = "energy transfer (unit of the data file)";
    set.y_title = "S(q, ω)";
  } else {
    set.x_title = "x (first column of the data file)";
    set.y_title = "y (second column of the data file)";
  }
}

std::string write_report_figures(const std::string& folder, const FigureInput& in, RunReport& report) {
  std::filesystem::create_directories(folder);
  std::vector<std::string> scripts;
  for (const FigureSet& f : in.sets) {
    const std::string stem = report_set_stem(f.number);
    std::ofstream d = open_in(folder, stem + ".dat"), s = open_in(folder, stem + ".gp");
    write_set_data(d, f);
    write_set_script(s, f, stem);
    add_figure(report, scripts, stem);
  }
  const std::vector<std::vector<double>> draws = retained(in);
  if (draws.size() > 1 && draws[0].size() >= 10 && draws.size() - 1 == report.parameters.size()) {
    const std::vector<int> pick = corner_choice(draws);
    std::ofstream d = open_in(folder, "corner.dat"), s = open_in(folder, "corner.gp");
    write_corner_data(d, draws, pick);
    write_corner_script(s, report, pick);
    d.close(), s.close();
    add_figure(report, scripts, "corner");
    if (pick.size() + 1 < draws.size()) {
      write_correlations(folder, report, draws);
      add_figure(report, scripts, "corr");
    }
    write_traces(folder, in, report);
    add_figure(report, scripts, "trace");
  }
  if (report.evidence && !report.evidence->beta.empty()) {
    write_ladder(folder, *report.evidence);
    add_figure(report, scripts, "ladder");
  }
  if (scripts.empty()) return "";
  const int status = run_gnuplot(folder, scripts);
  // Only the figures gnuplot drew are named (by the page and by results.json).
  std::erase_if(report.figures, [&folder](const std::string& f) { return !std::filesystem::exists(folder + "/" + f); });
  if (status == 127)
    return "gnuplot was not found: the report in " + folder + " has its tables and figure scripts but no figures";
  std::error_code ec;
  if (status != 0 || std::filesystem::file_size(folder + "/gnuplot.log", ec) > 0)
    return "gnuplot reported trouble with the report's figures: see " + folder + "/gnuplot.log";
  return "";
}

}  // namespace zorvik
