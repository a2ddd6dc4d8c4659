#include "core/table.h"

namespace zorvik {

void index_range_error(const char* table, int dimension, long lo, long hi, long index) {
  throw IndexRangeError("Index out of range: table " + std::string(table) + ", dimension " +
                        std::to_string(dimension) + ", bounds " + std::to_string(lo) + " to " +
                        std::to_string(hi) + ", index " + std::to_string(index));
}

}  // namespace zorvik
