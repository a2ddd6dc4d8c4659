#include "core/output_paths.h"

#include "core/record_format.h"

namespace zorvik {

std::string bivariate_path(int i, int j) { return format_record("('gparpar',i2,i2,'.dat')", {i, j}); }

namespace {

void add(std::vector<OutputEntry>& c, std::string path, std::string role) {
  c.push_back({std::move(path), std::move(role), OutputOrigin::fixed, 0});
}

// The files of the chain and its statistics, and of the distributions.
void add_chain_files(std::vector<OutputEntry>& c, const RunSettings& s) {
  const Name15& f = s.folder;
  add(c, starting_copy_path(f), "the starting copy of the parameter file, written at reading");
  add(c, kConvolutionFile, "the centred resolution, written at reading");
  add(c, kJumpFile, "a trace of the steps, written by every run");
  add(c, kMoveFile, "a trace of the steps, written by every run");
  add(c, chain_trace_path(f), "the chain record of gparmode 2 and 3");
  add(c, chainstat_path(f), "the whole-chain statistics, written by every run");
  c.push_back({report_folder_path(f), "the report folder, written by every run", OutputOrigin::fixed, 0, true});
  add(c, results_json_path(report_folder_path(f)), "the results of the run for programs, written by every run");
  if (s.seed > 0) add(c, seeded_chain_path(f), "the chain file of --seed");
  if (!s.checkpoint.empty()) {
    c.push_back({s.checkpoint, "the checkpoint of --checkpoint", OutputOrigin::checkpoint, 0});
    for (int k = 0; k < 2; ++k) {
      c.push_back({recent_checkpoint_path(s.checkpoint, k), "an unforced checkpoint of --checkpoint",
                   OutputOrigin::checkpoint, 0});
      c.push_back({checkpoint_side_path(s.checkpoint, k), "the recorded states of --checkpoint",
                   OutputOrigin::checkpoint, 0});
    }
  }
  add(c, likelihood_distribution_path(f), "the chi-square distribution, written at the end and by cgpar");
  add(c, parstat_path(f), "the summary of the distributions, written at the end and by cgpar");
  for (int i = 1; i <= s.npar; ++i)
    add(c, distribution_path(f, i),
        "the distribution of parameter " + std::to_string(i) + ", written at the end and by cgpar");
  for (int i = 1; i <= s.npar; ++i)
    for (int j = 1; j <= s.npar; ++j)
      add(c, bivariate_path(i, j), "the histogram of parameters " + std::to_string(i) + " and " + std::to_string(j) +
                                       ", written by cgparpar");
}

// The report folder's files (figures of data sets 1 … nfunc).
void add_report_files(std::vector<OutputEntry>& c, const std::string& dir, int nfunc) {
  add(c, dir + "/" + kReportPage, "the report's page, written at the end of a batch run and by report");
  add(c, dir + "/" + kReportLog, "gnuplot's messages on the report's figures");
  std::vector<std::string> stems(std::begin(kReportStems), std::end(kReportStems));
  for (int i = 1; i <= nfunc; ++i) stems.push_back(report_set_stem(i));
  for (const std::string& stem : stems)
    for (const char* ext : {".dat", ".gp", ".png", ".svg"})
      add(c, dir + "/" + stem + ext, "a figure of the report and its data and script");
}

// The files of the prompt's commands, the plots and the special models.
void add_other_files(std::vector<OutputEntry>& c, const RunSettings& s, bool molecules) {
  add(c, kEvidenceFile, "the evidence ladder of --evidence");
  add(c, peaks_path(s.folder), "the peak decomposition, written by pk<n>");
  add(c, kGetparFile, "the parameters of getpar");
  add(c, kProblemFile, "the failed loss inversion of models 50 and 51");
  for (const char* stem : kPlotStems) {
    add(c, std::string(stem) + ".plt", "a gnuplot script of the plot commands");
    add(c, std::string(stem) + ".eps", "a figure of the plot commands in print mode");
  }
  add_report_files(c, report_folder_path(s.folder), s.nfunc);
  if (!molecules) return;
  add(c, distances_path(s.folder), "the pair distances of the molecule models");
  for (const char* name : {kMoleculeFile, kTransFile, kGaucheFile})
    add(c, name, "a molecule file of the molecule models");
}

}  // namespace

std::vector<OutputEntry> output_catalogue(const RunSettings& s, const FitFunctions& d, const FitParameters& p,
                                          bool molecules) {
  std::vector<OutputEntry> c;
  c.push_back({s.parfile.str(), "the parameter file itself", OutputOrigin::parameter_file, 0});
  for (int i = 1; i <= s.nfunc; ++i) {
    if (d.opfit(i) > 0) c.push_back({d.nomout(i).str(), "the result file", OutputOrigin::result_file, i});
    add(c, initial_curve_path(i), "the initial curve of data set " + std::to_string(i) + ", written by every run");
  }
  c.push_back({d.nomout(0).str(), "the output file", OutputOrigin::output_file, 0});
  c.push_back({s.chifile.str(), "the chi-square file", OutputOrigin::chi_file, 0});
  for (int k = 1; k <= p.ncont; ++k)
    c.push_back({p.namecont(k).str(), "the contour file", OutputOrigin::contour_file, k});
  add_chain_files(c, s);
  add_other_files(c, s, molecules);
  return c;
}

}  // namespace zorvik
