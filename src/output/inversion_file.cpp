#include "output/inversion_file.h"

#include "core/files.h"
#include "core/free_format.h"
#include "core/output_paths.h"

namespace zorvik {

void write_failed_inversion(const FailedInversion& f) {
  AtomicFile file(kProblemFile);
  write_free(file.stream(), "f eps epscalc");
  for (int j = 0; j < f.n; ++j) write_free(file.stream(), f.logf[j], f.eps[j], f.calc[j]);
  file.commit();
}

}  // namespace zorvik
