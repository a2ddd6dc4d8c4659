// Start-up: the banner, then the parameter file (command line or keyboard) and
// the output folder that a name beginning with "t" selects.
#include "setup/startup.h"

#include <optional>
#include <string>
#include <string_view>

#include "core/errors.h"
#include "core/files.h"
#include "output/shell_commands.h"

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

}  // namespace zorvik
