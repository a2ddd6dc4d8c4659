#include "core/table.h"

namespace zorvik {

namespace {

std::string what_is_out(const char* table, int dimension, long lo, long hi, long index) {
  return "table " + std::string(table) + ", dimension " + std::to_string(dimension) + ", bounds " +
         std::to_string(lo) + " to " + std::to_string(hi) + ", index " + std::to_string(index);
}

}  // namespace

void index_range_error(const char* table, int dimension, long lo, long hi, long index) {
  throw IndexRangeError("Index out of range: " + what_is_out(table, dimension, lo, hi, index));
}

void index_range_error_at(const std::string& file, int line, const char* table, int dimension, long lo, long hi,
                          long index) {
  std::string where = "Index out of range in file \"" + file + "\"";
  if (line > 0) where += ", line " + std::to_string(line);
  throw IndexRangeError(where + ": " + what_is_out(table, dimension, lo, hi, index));
}

}  // namespace zorvik
