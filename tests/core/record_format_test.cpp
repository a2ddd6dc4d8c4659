// The record formatter against records written by gfortran's formatted WRITE.
//
// tests/data/record_format_reference.txt holds, for each case, a format string, the
// values (reals as their exact IEEE-754 bits) and the records gfortran wrote, with
// trailing blanks kept between '|' delimiters. It was generated once by
// tests/core/gen/record_format_reference.f90 (see the comment at the top of the
// data file); this test never runs a Fortran compiler.
#include "core/record_format.h"

#include <gtest/gtest.h>

#include <regex>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/fixed_string.h"

namespace zorvik {
namespace {

struct ReferenceValue {
  char kind;  // 'i', 'r' or 't'
  long long i = 0;
  double d = 0.0;
  std::string s;
};

struct ReferenceCase {
  std::string id;
  std::string format;
  std::vector<ReferenceValue> values;
  std::vector<std::string> records;
};

// The text between the first and the last '|' of a line.
std::string delimited(const std::string& line, int lineno) {
  const auto a = line.find('|');
  const auto b = line.rfind('|');
  if (a == std::string::npos || b == a) ADD_FAILURE() << "line " << lineno << ": no |...|";
  return a == std::string::npos || b == a ? std::string() : line.substr(a + 1, b - a - 1);
}

std::vector<ReferenceCase> read_reference() {
  const std::string path = std::string(ZORVIK_SOURCE_DIR) + "/tests/data/record_format_reference.txt";
  std::ifstream in(path);
  EXPECT_TRUE(in) << "cannot open " << path;
  std::vector<ReferenceCase> cases;
  ReferenceCase current;
  std::string line;
  int lineno = 0;
  while (std::getline(in, line)) {
    ++lineno;
    if (line.empty() || line[0] == '#') continue;
    const std::string key = line.substr(0, line.find(' '));
    if (key == "case") {
      current = ReferenceCase{line.substr(5), {}, {}, {}};
    } else if (key == "fmt") {
      current.format = delimited(line, lineno);
    } else if (key == "i") {
      current.values.push_back({'i', std::stoll(line.substr(2)), 0.0, {}});
    } else if (key == "r") {
      const std::uint64_t bits = std::stoull(line.substr(2, 16), nullptr, 16);
      current.values.push_back({'r', 0, std::bit_cast<double>(bits), {}});
    } else if (key == "t") {
      current.values.push_back({'t', 0, 0.0, delimited(line, lineno)});
    } else if (key == "out") {
      current.records.push_back(delimited(line, lineno));
    } else if (key == "end") {
      cases.push_back(current);
    } else {
      ADD_FAILURE() << path << " line " << lineno << ": unknown key '" << key << "'";
    }
  }
  return cases;
}

std::string describe(const ReferenceValue& v) {
  char buf[64];
  switch (v.kind) {
    case 'i': return std::to_string(v.i);
    case 'r': std::snprintf(buf, sizeof buf, "%.17g", v.d); return buf;
    default: return "'" + v.s + "'";
  }
}

// gfortran writes a three-digit exponent without its letter (0.1000+101). The
// formatter keeps the letter where the field has room: it takes the field's
// leading blank, or else the leading zero of the 0.ddd form.
std::string with_exponent_letter(const std::string& record) {
  static const std::regex bare(R"((-?)(\d?)(\.\d+)([-+]\d{3}))");
  std::string out;
  size_t last = 0;
  for (std::sregex_iterator it(record.begin(), record.end(), bare), end; it != end; ++it) {
    const std::smatch& m = *it;
    const size_t at = size_t(m.position(0));
    out += record.substr(last, at - last);
    const std::string number = m[1].str() + m[2].str() + m[3].str() + "E" + m[4].str();
    if (!out.empty() && out.back() == ' ')
      out.back() = '\0', out.pop_back(), out += number;
    else if (m[2].str() == "0")
      out += m[1].str() + m[3].str() + "E" + m[4].str();
    else
      out += m.str();
    last = at + size_t(m.length(0));
  }
  return out + record.substr(last);
}

TEST(RecordFormat, WritesTheRecordsThatGfortranWrites) {
  const std::vector<ReferenceCase> cases = read_reference();
  // The data file has several hundred cases; far fewer means it was cut or misread.
  ASSERT_GE(cases.size(), 500u);
  for (const ReferenceCase& c : cases) {
    std::vector<FmtValue> values;
    std::string listed;
    for (const ReferenceValue& v : c.values) {
      if (v.kind == 'i') values.emplace_back(v.i);
      else if (v.kind == 'r') values.emplace_back(v.d);
      else values.emplace_back(std::string_view(v.s));
      listed += ' ';
      listed += describe(v);
    }
    std::string expected;
    for (size_t k = 0; k < c.records.size(); ++k) {
      if (k > 0) expected += '\n';
      expected += c.format.find_first_of("eE") != std::string::npos ? with_exponent_letter(c.records[k]) : c.records[k];
    }
    std::string actual;
    try {
      actual = record_format(c.format).format(values);
    } catch (const std::exception& e) {
      actual = std::string("exception: ") + e.what();
    }
    EXPECT_EQ(actual, expected) << "case " << c.id << ", format " << c.format << ", values" << listed;
  }
}

TEST(RecordFormat, MalformedFormatsAreRejectedNamingTheFormat) {
  for (const char* bad : {"", "i3", "(i3", "(i3))", "(i3,)", "(,i3)", "(i3,,i4)", "(i3 i4)", "(q5)",
                          "(f5)", "(f.2)", "(es10)", "(e10.0)", "(i0)", "(a0)", "(0i3)", "(0(i3))",
                          "('abc)", "(2'ab')", "(i3.5)", "(e12.4e3)", "(1p,e12.4)", "(i3,(i2)",
                          "(100000000i3)", "(1000(1000(i1)))"}) {
    try {
      RecordFormat f(bad);
      ADD_FAILURE() << "accepted \"" << bad << "\"";
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(std::string("\"") + bad + "\""), std::string::npos)
          << e.what();
    }
  }
}

}  // namespace
}  // namespace zorvik
