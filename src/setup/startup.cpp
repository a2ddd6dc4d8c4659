// Start-up: the banner, then the parameter file (command line or keyboard) and
// the output folder that a name beginning with "t" selects.
#include "setup/startup.h"

#include <optional>
#include <string>
#include <string_view>

#include "core/errors.h"
#include "core/files.h"
#include "core/output_paths.h"
#include "output/inversion_file.h"
#include "output/param_file_writer.h"
#include "output/shell_commands.h"
#include "sampler/histograms.h"
#include "setup/param_file.h"

namespace zorvik {

namespace {

// The box: 50 columns, "*" in the first and last, the name in block letters
// four rows high in between.
constexpr std::string_view kBanner[] = {
    "**************************************************",
    "*                                                *",
    "*    ZZZZZ   OOO   RRRR   V   V  IIIII  K   K    *",
    "*       Z   O   O  R   R  V   V    I    K  K     *",
    "*     Z     O   O  RRRR    V V     I    KKK      *",
    "*    ZZZZZ   OOO   R   R    V    IIIII  K   K    *",
    "*                                                *",
    "**************************************************",
};

std::string_view rtrim(std::string_view s) {
  const size_t last = s.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view() : s.substr(0, last + 1);
}

// Short answers at the prompt for the usual parameter files.
std::string expand_shorthand(std::string_view answer, bool at_prompt) {
  const std::string_view name = rtrim(answer);
  if (name == "p") return "pfin.par";
  if (at_prompt && name == "ra") return "prota.par";
  if (at_prompt && name == "r") return "prot.par";
  return std::string(answer);
}

bool exists(const Name40& name) { return file_exists(name.str()); }

}  // namespace

void print_banner(Console& con) {
  for (std::string_view l : kBanner) con.line(l);
  con.line("");
  con.empty_line();
  con.line("    (Max. Number of points for data file: 10 000)");
  for (int k = 0; k < 4; ++k) con.empty_line();
}

void choose_parameter_file(Console& con, const std::vector<std::string>& args, RunSettings& settings) {
  settings.folder = kNoFolder;
  bool found = false;
  if (args.size() == 1) {
    settings.parfile = args[0];
    // An output folder is chosen by the name itself: "t123.par" writes into "t123".
    const char first = settings.parfile[0];
    if (first == 't' || first == 'T') settings.folder = settings.parfile.first(4);
    settings.parfile = expand_shorthand(settings.parfile.trimmed(), false);
    found = exists(settings.parfile);
    if (!found) con.line("The file does not exist!");
  }
  while (!found) {
    con.line("Enter Parameter file:");
    const std::optional<std::string> answer = con.read_token();
    if (!answer) {
      throw FatalError("End of input at \"Enter Parameter file:\": no parameter file chosen");
    }
    if (rtrim(*answer) == "hf") help(con, "hf");
    settings.parfile = expand_shorthand(*answer, true);
    found = exists(settings.parfile);
    if (!found) con.line("The file does not exist!");
  }
  con.line("You will work with parameter file ", settings.parfile);
  con.empty_line();
  con.empty_line();
}

bool ask_change_parameter(Console& con, const Name15& name) {
  con.empty_line();
  con.empty_line();
  con.record("(a6,a4,a13)", "ERROR:", name.first(4), " out oflimits");
  con.record("(a18,a4,a8)", "Cambiar parametro", name.first(4), "? (y/n)");
  return con.yes_no();
}

ReadOutcome read_parameter_file(Run& run, Console& con) {
  clear_accumulators(run.chain, run.hist);
  const auto ask = [&con](const Name15& name) { return ask_change_parameter(con, name); };
  if (parread(run, con, ask) == ReadOutcome::Reread) {
    con.line("edit ", run.settings.parfile);
    edit(con, run.settings.parfile.padded());
    return ReadOutcome::Reread;
  }
  pfinwrite(starting_copy_path(run.settings.folder), run.settings, run.data, run.params);
  return ReadOutcome::Done;
}

std::unique_ptr<ModelWorkspace> make_workspace(Console& con, bool vector_shapes) {
  auto ws = std::make_unique<ModelWorkspace>();
  ws->con = &con;
  ws->failed_inversion = write_failed_inversion;
  ws->vector_shapes = vector_shapes;
  return ws;
}

}  // namespace zorvik
