#include "output/getpar_file.h"

#include "core/files.h"
#include "core/free_format.h"
#include "core/output_paths.h"

namespace zorvik {

void write_getpar(const std::vector<std::pair<double, double>>& rows) {
  AtomicFile file(kGetparFile);
  for (const auto& [z, value] : rows) write_free(file.stream(), z, value);
  file.commit();
}

}  // namespace zorvik
