// Every file the program writes, in one place: the name of each file and where
// it goes when the run has an output folder, for the routines that write the
// files, for the plot scripts that read them back, and for the check at reading
// that no file the run writes is a file it reads (or anything but a regular
// file). A new output file gets its name here and a row in output_catalogue.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/run_tables.h"

namespace zorvik {

// `name` inside the output folder (its first four characters), or `name` alone
// when the folder has no directory part.
inline std::string in_folder(const Name15& folder, std::string_view name) {
  const std::string d = folder_dir(folder);
  return d.empty() ? std::string(name) : d + "/" + std::string(name);
}

// Glk.dat, parstat.dat and the chain files: inside the folder whenever one is
// in use (not "pelotudo").
inline std::string folder_file_path(const Name15& folder, std::string_view name) {
  return folder == kNoFolder ? std::string(name) : in_folder(folder, name);
}

// The distribution files, peaks.dat, d.dat and pini.par: inside the folder only
// when its name begins with "t", otherwise in the working directory.
inline std::string t_folder_file_path(const Name15& folder, std::string_view name) {
  return folder[0] == 't' ? in_folder(folder, name) : std::string(name);
}

// ---- the fixed names ----------------------------------------------------------------

inline constexpr const char* kConvolutionFile = "convf.dat";  // the centred resolution, at reading
inline constexpr const char* kJumpFile = "jump.dat";          // the steps, every write interval
inline constexpr const char* kMoveFile = "move.dat";          // the same with a header
inline constexpr const char* kEvidenceFile = "evidence.dat";  // --evidence
inline constexpr const char* kGetparFile = "getpar.dat";      // the prompt's getpar
inline constexpr const char* kProblemFile = "Problemeps.dat"; // a failed loss inversion (models 50, 51)
// The molecule viewer's files: one conformer, or the trans and gauche ones.
inline constexpr const char* kMoleculeFile = "molec.xyz";
inline constexpr const char* kTransFile = "molect.xyz";
inline constexpr const char* kGaucheFile = "molecg.xyz";
// The stems of the gnuplot scripts (".plt") and of the figures they print (".eps").
inline constexpr const char* kPlotStems[] = {"f", "f2", "f2m", "chi", "gpar", "ct", "cts", "phncc", "p2cc", "pk"};

inline std::string starting_copy_path(const Name15& folder) { return t_folder_file_path(folder, "pini.par"); }
inline std::string initial_curve_path(int set) { return "inicif" + std::to_string(set) + ".dat"; }
inline std::string chain_trace_path(const Name15& folder) { return folder_file_path(folder, "MMchain.dat"); }
inline std::string chainstat_path(const Name15& folder) { return folder_file_path(folder, "chainstat.dat"); }
inline std::string seeded_chain_path(const Name15& folder) { return folder_file_path(folder, "chain.dat"); }
// --combine writes its statistics in the working directory.
inline std::string combined_chainstat_path() { return "chainstat.dat"; }
// The report folder (results.json, the figures and index.html of a run) by the
// rule of chainstat.dat; --combine writes it in the working directory, as its
// chainstat.dat.
inline constexpr const char* kReportFolder = "report";
inline std::string report_folder_path(const Name15& folder) { return folder_file_path(folder, kReportFolder); }
inline std::string combined_report_folder_path() { return kReportFolder; }
inline std::string results_json_path(const std::string& report_folder) { return report_folder + "/results.json"; }
// The report's page, gnuplot's messages, and the stems of its figures: each a
// data file (".dat"), a script (".gp") and the figure (".png", ".svg"); one
// "set<n>" per fitted data set.
inline constexpr const char* kReportPage = "index.html";
inline constexpr const char* kReportLog = "gnuplot.log";
inline constexpr const char* kReportStems[] = {"corner", "corr", "trace", "ladder"};
inline std::string report_set_stem(int set) { return "set" + std::to_string(set); }
// The checkpoint of --checkpoint FILE (the command line names it): FILE, forced
// to the disk; its unforced slots FILE.recent0 and FILE.recent1, written in
// turn; and the side files FILE.states0 and FILE.states1 of the recorded
// states, one in use at a time.
inline std::string recent_checkpoint_path(const std::string& checkpoint, int slot) {
  return checkpoint + ".recent" + std::to_string(slot);
}
inline std::string checkpoint_side_path(const std::string& checkpoint, int which) {
  return checkpoint + ".states" + std::to_string(which);
}
inline std::string distribution_path(const Name15& folder, int par) {
  // Parameter numbers take as many digits as they need ("Gp7.dat", "Gp100.dat").
  return t_folder_file_path(folder, "Gp" + std::to_string(par) + ".dat");
}
inline std::string likelihood_distribution_path(const Name15& folder) { return folder_file_path(folder, "Glk.dat"); }
inline std::string parstat_path(const Name15& folder) { return folder_file_path(folder, "parstat.dat"); }
inline std::string peaks_path(const Name15& folder) { return t_folder_file_path(folder, "peaks.dat"); }
inline std::string distances_path(const Name15& folder) { return t_folder_file_path(folder, "d.dat"); }
// The bivariate histogram of "cgparpar i j": "gparpar" and i, j in two columns each.
std::string bivariate_path(int i, int j);

// ---- the catalogue ------------------------------------------------------------------

// What names a file the program writes: the parameter file itself (rewritten at
// every write interval), a name the parameter file gives (with its data set or
// contour number), a fixed name, or the checkpoint the command line names.
enum class OutputOrigin { parameter_file, result_file, output_file, chi_file, contour_file, fixed, checkpoint };

struct OutputEntry {
  std::string path;
  std::string role;  // "the result file", "chainstat.dat (the whole-chain statistics)"
  OutputOrigin origin = OutputOrigin::fixed;
  int number = 0;    // the data set of a result file, the contour of a contour file
  bool folder = false;  // a folder the program creates (and may find there already), not a file
};

// Every file that a run of these tables may write, the prompt's commands
// included: a file written only by the molecule models (d.dat and the XYZ
// files) when `molecules` is set, chain.dat only with --seed, the checkpoint's
// files only with --checkpoint (or --resume); every other fixed name always,
// whatever the run's options, since the prompt may write it.
std::vector<OutputEntry> output_catalogue(const RunSettings& settings, const FitFunctions& data,
                                          const FitParameters& params, bool molecules);

}  // namespace zorvik
