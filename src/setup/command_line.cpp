#include "setup/command_line.h"

#include <charconv>
#include <initializer_list>
#include <string_view>
#include <system_error>

#include "core/files.h"

namespace zorvik {

namespace {

// The largest seed the generator takes: its seed is a positive 32-bit integer.
constexpr long long kMaxSeed = 2147483647;

// The kinds of run an option means something in. --combine and --evidence
// choose the kind; without them the run is an ordinary one.
enum Mode : unsigned { kRun = 1, kEvidence = 2, kCombine = 4, kAnyMode = kRun | kEvidence | kCombine };

template <class T>
bool parse_whole(std::string_view text, T& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

bool set_seed(CommandLine& cl, std::string_view value) {
  long long n = 0;
  if (!parse_whole(value, n) || n < 1 || n > kMaxSeed) return false;
  cl.seed = n;
  cl.seed_given = true;
  return true;
}

bool set_burn(CommandLine& cl, std::string_view value) {
  double f = 0.0;
  if (!parse_whole(value, f) || !(f >= 0.0 && f < 1.0)) return false;
  cl.burn_fraction = f;
  cl.burn_given = true;
  return true;
}

template <std::string CommandLine::*Name>
bool set_name(CommandLine& cl, std::string_view value) {
  if (value.empty()) return false;
  cl.*Name = value;
  return true;
}

bool set_every(CommandLine& cl, std::string_view value) {
  long long k = 0;
  if (!parse_whole(value, k) || k < 1 || k > kMaxSeed) return false;
  cl.checkpoint_every = k;
  cl.checkpoint_every_given = true;
  return true;
}

bool set_sync(CommandLine& cl, std::string_view value) {
  double s = 0.0;
  if (!parse_whole(value, s) || !(s >= 0.0 && s <= 1e6)) return false;
  cl.checkpoint_sync = s;
  cl.checkpoint_sync_given = true;
  return true;
}

template <bool CommandLine::*Flag>
bool set_flag(CommandLine& cl, std::string_view) {
  cl.*Flag = true;
  return true;
}

// One row per option. `value` names the value in the usage lines (empty: the
// option takes none) and `expected` says what it must be; `apply` stores it
// and returns false when it is malformed. `help` is the option's text for
// --help, its lines after the first indented by the formatter.
struct Option {
  std::string_view name, value, expected;
  unsigned modes;
  bool (*apply)(CommandLine&, std::string_view);
  std::string_view help;
};

constexpr Option kOptions[] = {
    {"--seed", "N", "an integer from 1 to 2147483647", kRun | kEvidence, &set_seed,
     "start the generator from seed N (1 ... 2147483647) instead of the\n"
     "usual one; the run also writes its thinned chain to chain.dat"},
    {"--burn", "F", "a fraction F with 0 <= F < 1", kRun | kCombine, &set_burn,
     "the statistics of the whole chain (chainstat.dat) discard the first\n"
     "fraction F of the steps (default 0.2), and always at least the warm-up\n"
     "of the adaptive modes (varpar 3, 4), which adapt over their own length\n"
     "whatever F is (a shorter F is raised, with a message)"},
    {"--vector", "", "", kRun | kEvidence, &set_flag<&CommandLine::vector_shapes>,
     "evaluate the line shapes with exponentials by vector routines\n"
     "(differences in the last bits only; the default reproduces runs)"},
    {"--evidence", "", "", kEvidence, &set_flag<&CommandLine::evidence>,
     "estimate the model evidence by thermodynamic integration over a\n"
     "ladder of tempered chains instead of the ordinary run (batch);\n"
     "writes evidence.dat"},
    {"--combine", "", "", kCombine, &set_flag<&CommandLine::combine>,
     "pool the chain.dat of the folders DIR... (runs of one\n"
     "parameter file with different seeds): chainstat.dat here, with\n"
     "R-hat and bulk ESS"},
    {"--no-report", "", "", kAnyMode, &set_flag<&CommandLine::no_report>,
     "write no figures and no report/index.html (report/results.json is\n"
     "still written, for scripted runs)"},
    {"--checkpoint", "FILE", "a file name", kRun | kEvidence, &set_name<&CommandLine::checkpoint>,
     "write the run's complete state to FILE (batch runs), replaced\n"
     "atomically after every write interval (--evidence: every rung), and\n"
     "when a signal stops the run (SIGUSR1 too); --resume FILE continues\n"
     "from it"},
    {"--checkpoint-every", "K", "an integer K >= 1", kRun | kEvidence, &set_every,
     "write the checkpoint after every K-th write interval or rung\n"
     "(default 1)"},
    {"--checkpoint-sync", "S", "a number of seconds S >= 0", kRun, &set_sync,
     "force a checkpoint and the files it names to the disk at most\n"
     "every S seconds (default 10; 0: every checkpoint); the others go to\n"
     "FILE.recent0 and FILE.recent1 in turn, which a kill or a time limit\n"
     "leaves intact"},
    {"--resume", "FILE", "a file name", kRun, &set_name<&CommandLine::resume>,
     "continue the run saved in the checkpoint FILE exactly as it would\n"
     "have gone on (the parameter file and the options come from FILE)"},
    {"--help", "", "", kAnyMode, &set_flag<&CommandLine::help>, "this text"},
    {"--version", "", "", kAnyMode, &set_flag<&CommandLine::version>, "the version of the program"},
};

constexpr size_t kOptionCount = std::size(kOptions);

// Text joined by appending (GCC 12 warns falsely about "literal" + string).
std::string join(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view p : parts) out.append(p);
  return out;
}

std::string quoted(std::string_view s) { return join({"\"", s, "\""}); }

const Option* find_option(std::string_view name) {
  for (const Option& o : kOptions)
    if (o.name == name) return &o;
  return nullptr;
}

// What the options given ask for: the folders of --combine, the ladder of
// --evidence, or an ordinary run.
Mode mode_of(const CommandLine& cl) {
  if (cl.combine) return kCombine;
  if (cl.evidence) return kEvidence;
  return kRun;
}

std::string mode_words(unsigned modes) {
  std::string words;
  for (const auto& [mode, word] : {std::pair{kRun, "an ordinary run"}, std::pair{kEvidence, "--evidence"},
                                   std::pair{kCombine, "--combine"}}) {
    if ((modes & mode) == 0) continue;
    if (!words.empty()) words += " or ";
    words += word;
  }
  return words;
}

// Every option given must mean something in the run the options choose.
void check_modes(const CommandLine& cl, const bool (&given)[kOptionCount]) {
  const Mode mode = mode_of(cl);
  for (size_t k = 0; k < kOptionCount; ++k) {
    const Option& o = kOptions[k];
    if (!given[k] || (o.modes & mode) != 0) continue;
    throw UsageError(join({o.name, " cannot be used with ", mode == kCombine ? "--combine" : "--evidence", ": ", o.name,
                           " goes with ", mode_words(o.modes)}));
  }
}

// The parameter file or the folders: what is left once the options are taken.
void place_operands(CommandLine& cl, std::vector<std::string> operands) {
  if (cl.combine) {
    if (operands.empty()) throw UsageError("--combine needs at least one folder");
    cl.folders = std::move(operands);
    return;
  }
  if (operands.size() > 1) {
    std::string names;
    for (const std::string& a : operands) names.append(" ").append(quoted(a));
    throw UsageError(join({"expected at most one parameter file, found ", std::to_string(operands.size()), ":", names}));
  }
  cl.rest = std::move(operands);
}

// A resumed run takes its parameter file and options from the checkpoint.
void check_checkpoint_options(const CommandLine& cl) {
  if (cl.checkpoint_every_given && cl.checkpoint.empty())
    throw UsageError("--checkpoint-every needs --checkpoint FILE");
  if (cl.checkpoint_sync_given && cl.checkpoint.empty())
    throw UsageError("--checkpoint-sync needs --checkpoint FILE");
  if (cl.resume.empty()) return;
  if (!cl.rest.empty() || cl.seed_given || cl.burn_given || cl.vector_shapes || !cl.checkpoint.empty() ||
      cl.checkpoint_every_given || cl.checkpoint_sync_given)
    throw UsageError("--resume takes the parameter file and the options from the checkpoint: give it alone");
}

}  // namespace

CommandLine parse_command_line(const std::vector<std::string>& args) {
  CommandLine cl;
  // A file named "--help" or "--version", named alone, is read as it always was.
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "--version") && file_exists(args[0])) {
    cl.rest = args;
    return cl;
  }
  bool given[kOptionCount] = {};
  std::vector<std::string> operands;
  for (size_t k = 0; k < args.size(); ++k) {
    const std::string_view a = args[k];
    if (a == "--") {
      operands.insert(operands.end(), args.begin() + static_cast<long>(k) + 1, args.end());
      break;
    }
    if (a.size() < 2 || a[0] != '-') {  // "-" alone is a name, as is everything not starting with "-"
      operands.emplace_back(a);
      continue;
    }
    const size_t eq = a.starts_with("--") ? a.find('=') : std::string_view::npos;
    const Option* o = find_option(a.substr(0, eq));
    if (o == nullptr) throw UsageError(join({"unknown option ", quoted(a)}));
    const size_t row = static_cast<size_t>(o - kOptions);
    if (given[row]) throw UsageError(join({o->name, " is given twice"}));
    given[row] = true;
    if (o->value.empty()) {
      if (eq != std::string_view::npos) throw UsageError(join({o->name, " takes no value, found ", quoted(a)}));
      o->apply(cl, {});
      continue;
    }
    std::string_view value;
    if (eq != std::string_view::npos) {
      value = a.substr(eq + 1);
    } else if (k + 1 < args.size()) {
      value = args[++k];
    } else {
      throw UsageError(join({o->name, " needs ", o->expected, ", found nothing"}));
    }
    if (!o->apply(cl, value)) throw UsageError(join({o->name, " needs ", o->expected, ", found ", quoted(value)}));
  }
  if (cl.help || cl.version) return cl;
  check_modes(cl, given);
  place_operands(cl, std::move(operands));
  check_checkpoint_options(cl);
  return cl;
}

std::string usage_lines() {
  std::string run, combine;
  for (const Option& o : kOptions) {
    // --help and --version have their own usage line; --combine is the second form.
    if (o.name == "--help" || o.name == "--version" || o.name == "--combine") continue;
    const std::string word = join({" [", o.name, o.value.empty() ? "" : " ", o.value, "]"});
    if ((o.modes & (kRun | kEvidence)) != 0) run += word;
    if ((o.modes & kCombine) != 0) combine += word;
  }
  return join({"Usage: zorvik", run, " [PARAMETER-FILE]\n       zorvik", combine,
               " --combine DIR...\n       zorvik --help | --version\n"});
}

std::string option_help() {
  constexpr size_t kColumn = 15;  // the help texts start here
  std::string out;
  for (const Option& o : kOptions) {
    std::string head = join({"  ", o.name, o.value.empty() ? "" : " ", o.value});
    head.append(head.size() < kColumn ? kColumn - head.size() : 1, ' ');
    out += head;
    for (char c : o.help) {
      out += c;
      if (c == '\n') out.append(kColumn, ' ');
    }
    out += '\n';
  }
  return out;
}

}  // namespace zorvik
