// The outside programs (gnuplot, the editor, mkdir), the path builder and the
// texts that explain the command vocabulary to the user.
#include "output/shell_commands.h"

#include <sys/wait.h>

#include <cstdlib>
#include <iostream>

#include "models/catalogue.h"

namespace zorvik {

namespace {

bool is_blank(std::string_view s) { return s.find_first_not_of(' ') == std::string_view::npos; }

// Drops the trailing blanks that pad a fixed-length field.
std::string_view trim(std::string_view s) {
  const size_t last = s.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view() : s.substr(0, last + 1);
}

// The name as the shell should see it, always as one file name. Ordinary file
// names go in as they are (their padding blanks do no harm); a name holding
// anything the shell would interpret — blanks inside it, ;, $, quotes,
// backquotes, redirections, a ~ that would become the home folder — is
// single-quoted, so that a folder taken from a data-file name can never run a
// command of its own. A name that begins with "-" or "+" would be read as an
// option by mkdir and gnuplot, or as a command by the editor ("+cmd"): it goes
// in as "./name", the same file.
std::string shell_word(std::string_view name) {
  const std::string_view t = trim(name);
  const bool option_like = !t.empty() && (t[0] == '-' || t[0] == '+');
  bool plain = true;
  for (char c : t) {
    const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      std::string_view("._/+-:,@%=").find(c) != std::string_view::npos;
    if (!safe) plain = false;
  }
  const std::string prefix = option_like ? "./" : "";
  if (plain) return prefix + std::string(option_like ? t : name);
  std::string q = "'" + prefix;
  for (char c : t) {
    if (c == '\'')
      q += "'\\''";
    else
      q += c;
  }
  return q + "'";
}

// Hands the command line to the shell and waits for it. Everything written so far
// is flushed first so that it appears above whatever the program prints. Returns
// the status as std::system gives it.
int run_shell(Console& con, const std::string& command) {
  con.out().flush();
  std::cout.flush();
  return std::system(command.c_str());
}

// What went wrong with a command, from its std::system status; empty when it
// ended with status 0.
std::string failure(int status) {
  if (status == -1) return "it could not be started";
  if (WIFEXITED(status)) return WEXITSTATUS(status) == 0 ? "" : "exit status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "ended by signal " + std::to_string(WTERMSIG(status));
  return "status " + std::to_string(status);
}

// Prints a block of help lines; an empty entry is an empty line.
template <size_t N>
void print_lines(Console& con, const std::string_view (&lines)[N]) {
  for (std::string_view l : lines) {
    if (l.empty())
      con.empty_line();
    else
      con.line(l);
  }
}

const std::string_view kCommandHelp[] = {
    "",
    "***********************************",
    "***** HELP!, I need somebody ******",
    "***********************************",
    "",
    "c:          continue fitting",
    "hf:         available functions for fitting",
    "cp:         load par file and continue fitting",
    "e:          edit parameter file",
    "reset:      set the move values all equal",
    "end,fin:    end program",
    "zorvik:     receipt to cook a nice zorvik",
    "",
    "SHOW PARAMETERS:",
    "par:        see parameters",
    "showd:      see all distances (when fitting molecules)",
    "showpmin:   see parameters giving the minimum chisquare",
    "showmol:    generates the molecule to be seen with rasmol",
    "showchi:    shows chi for every function",
    "",
    "CALCULATE:",
    "cc:         calculate contorns",
    "cgparpar:   calculate contorns using the markov chain",
    "covar:      calculate sqrt(covar) matrix",
    "",
    "PLOT:",
    "ps or p1:   plot function 1",
    "pg or p2:   plot function 2",
    "pchi:       plot chi/step",
    "pc:         plot contours",
    "pcs:        plot contours and its surface",
    "pparchi:    plot chisquare of a parameter",
    "pgpar or 1: plot probability distribution of a parameter",
    "pcg:        plot probability contours ",
    "pcgs:       plot probability contours and its surface",
    "pk:         plot each peak for dielectric spectroscopy",
    "gnn:        plot with linear axis",
    "glx:        plot log. scale for X",
    "gly:        plot log. scale for Y",
    "glxy:       plot log. scale for X and Y",
    "report:     write the report folder (figures, index.html)",
};

// The heading of the model list; the lines after it are the help lines of the
// catalogue, each family's heading before its first advertised model.
const std::string_view kFunctionHelpHead[] = {
    "",
    "********************************",
    "***** AVAILABLE FUNCTIONS ******",
    "********************************",
    "",
};

const std::string_view kPlotFileHelp[] = {
    "",
    "******************************************************",
    "**************** plt files to plot   *****************",
    "******************************************************",
    "You can change the way of plotting modifying plt files",
    "You must set plotop equal to zero (1stline of par)!!!!",
    "******************************************************",
    "",
    "f.plt    : plot function n",
    "f2.plt   : plot function 2",
    "chi.plt  : plot chi as function of steps",
    "gpar.plt : plot parameter PDF",
    "ct.plt   : contour plots",
    "cts.plt  : contour plots with surface",
    "pk.plt   : peaks plotting",
    "",
    "***** special plots (dielectric and mol. structure)***",
    "p2cc.plt : plot two cole-cole",
    "phncc.plt: plot HN plus CC",
    "f2m.plt  : plot function 2 convoluted ",
};

const std::string_view kRecipe[] = {
    "ZORVIK FOR FOUR HUNGRY FITTERS",
    "",
    "500 g of yellow lentils, washed three times",
    "2 onions and 3 cloves of garlic, chopped fine",
    "1 spoon of smoked paprika and a pinch of cumin",
    "1 litre of vegetable stock, 1 lemon, salt and pepper",
    "",
    "1. Soften the onions in olive oil on a low fire, 10 minutes.",
    "2. Add the garlic and the spices; stir until they smell good.",
    "3. Pour in the lentils and the stock; simmer 35 minutes,",
    "   stirring every time the chain writes its results.",
    "4. When the lentils fall apart, beat the pot until smooth.",
    "5. Squeeze in the lemon, taste, and adjust salt and pepper.",
    "6. Serve hot with flat bread while the contours converge.",
    "   A zorvik tastes better on the second day, like a long chain.",
};

void print_model_help(Console& con) {
  print_lines(con, kFunctionHelpHead);
  const ModelInfo* previous = nullptr;
  for (const ModelInfo& m : model_catalogue()) {
    if (!m.help) continue;
    if (!previous || previous->family != m.family)
      if (const char* heading = family_heading(m.family)) con.line(heading);
    previous = &m;
    con.line(m.help);
  }
}

}  // namespace

void gnuplot(Console& con, std::string_view name) {
  if (is_blank(name)) {
    con.line("Cannot plot a file without a name!");
    return;
  }
  // The X display option only where an X display is set: a gnuplot built
  // without X11 (the usual headless and packaged builds) takes "-display" and
  // ":0.0" as the names of scripts to load, and fails.
  const char* display = std::getenv("DISPLAY");
  const bool x11 = display != nullptr && display[0] != '\0';
  const std::string command = std::string(x11 ? "gnuplot -display :0.0 " : "gnuplot ") + shell_word(name);
  const std::string why = failure(run_shell(con, command));
  if (!why.empty()) con.line("The plot command \"" + command + "\" failed (" + why + ")");
}

void edit(Console& con, std::string_view name) {
  if (is_blank(name)) {
    con.line("Cannot edit a file without a name!");
    return;
  }
  run_shell(con, "vim " + shell_word(name));
}

void mkdir(Console& con, std::string_view name) {
  if (is_blank(name)) {
    con.line("Cannot create a directory without a name!");
    return;
  }
  run_shell(con, "mkdir " + shell_word(name));
}

void view_molecule(Console& con, std::string_view file) { run_shell(con, "raswin -xyz " + std::string(file)); }

void compose(Console& con, std::string& out, int out_length, std::string_view dir, std::string_view name) {
  if (is_blank(name)) {
    con.line("Cannot compose a filename without a filename!");
    return;
  }
  std::string path;
  if (!is_blank(dir)) {
    path = std::string(trim(dir)) + "/" + std::string(trim(name));
  } else {
    path = std::string(trim(name));
  }
  path.resize(out_length > 0 ? static_cast<size_t>(out_length) : 0, ' ');
  out = path;
}

void help(Console& con, std::string_view word) {
  // A one-character word ("h") has a blank second character, as in a
  // blank-padded field.
  const char second = word.size() >= 2 ? word[1] : ' ';
  if (second == 'f') {
    print_model_help(con);
    return;
  }
  print_lines(con, kCommandHelp);
  if (second == 'p') print_lines(con, kPlotFileHelp);
}

void zorvik(Console& con) {
  con.empty_line();
  print_lines(con, kRecipe);
  con.empty_line();
}

}  // namespace zorvik
