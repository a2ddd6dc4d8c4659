#include "setup/command_line.h"

#include <charconv>
#include <string_view>
#include <system_error>

#include "core/errors.h"

namespace zorvik {

namespace {

// The largest seed the generator takes: its seed is a positive 32-bit integer.
constexpr long long kMaxSeed = 2147483647;

[[noreturn]] void bad_value(std::string_view option, std::string_view expected, std::string_view found) {
  throw FatalError("Command line: " + std::string(option) + " needs " + std::string(expected) + ", found \"" +
                   std::string(found) + "\"");
}

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

// One row per option that takes a value; a new option is one more row.
struct ValueOption {
  std::string_view name;
  std::string_view expected;
  bool (*apply)(CommandLine&, std::string_view);  // false: the value is malformed
};

constexpr ValueOption kValueOptions[] = {
    {"--seed", "an integer from 1 to 2147483647", &set_seed},
    {"--burn", "a fraction F with 0 <= F < 1", &set_burn},
};

// One row per option without a value.
struct FlagOption {
  std::string_view name;
  bool CommandLine::*flag;
};

constexpr FlagOption kFlagOptions[] = {
    {"--evidence", &CommandLine::evidence},
    {"--vector", &CommandLine::vector_shapes},
};

}  // namespace

CommandLine parse_command_line(const std::vector<std::string>& args) {
  CommandLine cl;
  size_t k = 0;
  while (k < args.size()) {
    const std::string_view a = args[k];
    if (a == "--combine") {
      cl.combine = true;
      cl.folders.assign(args.begin() + static_cast<long>(k) + 1, args.end());
      if (cl.folders.empty()) throw FatalError("Command line: --combine needs at least one folder");
      return cl;
    }
    const FlagOption* flag = nullptr;
    for (const FlagOption& f : kFlagOptions)
      if (a == f.name) flag = &f;
    if (flag != nullptr) {
      cl.*(flag->flag) = true;
      ++k;
      continue;
    }
    const ValueOption* option = nullptr;
    for (const ValueOption& o : kValueOptions)
      if (a == o.name) option = &o;
    if (option == nullptr) break;
    const std::string_view value = k + 1 < args.size() ? std::string_view(args[k + 1]) : std::string_view();
    if (!option->apply(cl, value)) bad_value(option->name, option->expected, value);
    k += 2;
  }
  cl.rest.assign(args.begin() + static_cast<long>(k), args.end());
  return cl;
}

}  // namespace zorvik
