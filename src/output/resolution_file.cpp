#include "output/resolution_file.h"

#include "core/files.h"
#include "core/free_format.h"
#include "core/output_paths.h"

namespace zorvik {

// "convf.dat": the centred resolution of data set i, one line k, xc, mi per
// kernel index.
void write_convf(const FitFunctions& d, int i) {
  AtomicFile f(kConvolutionFile);
  const int half = d.imaxconv(i);
  for (int k = -half; k <= half; ++k) write_free(f.stream(), k, d.xc(i, k), d.mi(i, k));
  f.commit();
}

}  // namespace zorvik
