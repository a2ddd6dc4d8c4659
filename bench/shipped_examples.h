// The shipped examples (the folders under examples/, each with <name>.par),
// one per model family, for the benchmarks that time every one of them:
// FOR_EACH_SHIPPED_EXAMPLE(X) expands X(name) for each.
#pragma once

#define FOR_EACH_SHIPPED_EXAMPLE(X) \
  X(peaks)                          \
  X(qens)                           \
  X(dielectric)                     \
  X(dielectric_t)                   \
  X(dielectric_williams)            \
  X(ccl4)
