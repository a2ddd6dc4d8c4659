#include "models/vector_exp.h"

#include <cmath>

#if defined(ZORVIK_HAVE_LIBMVEC) && defined(__x86_64__)
#include <immintrin.h>

// The vector variants of exp in libmvec, named by the x86-64 vector function
// ABI: "d" 256-bit (AVX2), "e" 512-bit (AVX-512), N unmasked, 4 or 8 lanes, one
// vector argument.
// Declared with the instruction sets they need, as the routines that call them
// are, so that a compiler builds the rest of the program for the base ISA.
extern "C" {
__attribute__((target("avx2,fma"))) __m256d _ZGVdN4v_exp(__m256d);
__attribute__((target("avx512f"))) __m512d _ZGVeN8v_exp(__m512d);
}
#define ZORVIK_VECTOR_EXP 1
#endif

namespace zorvik {

namespace {

void exp_scalar(const double* in, double* out, int n) {
  for (int k = 0; k < n; ++k) out[k] = std::exp(in[k]);
}

#ifdef ZORVIK_VECTOR_EXP
// The last n mod lanes values go through a padded block of one vector, so that
// nothing is read or written past the arrays.
__attribute__((target("avx2,fma"))) void exp_avx2(const double* in, double* out, int n) {
  int k = 0;
  for (; k + 4 <= n; k += 4) _mm256_storeu_pd(out + k, _ZGVdN4v_exp(_mm256_loadu_pd(in + k)));
  if (k == n) return;
  alignas(32) double pad[4] = {0.0, 0.0, 0.0, 0.0};
  for (int l = 0; k + l < n; ++l) pad[l] = in[k + l];
  _mm256_store_pd(pad, _ZGVdN4v_exp(_mm256_load_pd(pad)));
  for (int l = 0; k + l < n; ++l) out[k + l] = pad[l];
}

__attribute__((target("avx512f"))) void exp_avx512(const double* in, double* out, int n) {
  int k = 0;
  for (; k + 8 <= n; k += 8) _mm512_storeu_pd(out + k, _ZGVeN8v_exp(_mm512_loadu_pd(in + k)));
  if (k == n) return;
  alignas(64) double pad[8] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
  for (int l = 0; k + l < n; ++l) pad[l] = in[k + l];
  _mm512_store_pd(pad, _ZGVeN8v_exp(_mm512_load_pd(pad)));
  for (int l = 0; k + l < n; ++l) out[k + l] = pad[l];
}
#endif

using ExpArray = void (*)(const double*, double*, int);

struct Choice {
  ExpArray f;
  int lanes;
};

// Chosen once, from what the processor offers.
Choice choose() {
#ifdef ZORVIK_VECTOR_EXP
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f")) return {&exp_avx512, 8};
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return {&exp_avx2, 4};
#endif
  return {&exp_scalar, 1};
}

const Choice& chosen() {
  static const Choice c = choose();
  return c;
}

}  // namespace

void exp_array(const double* in, double* out, int n) { chosen().f(in, out, n); }

int exp_array_lanes() { return chosen().lanes; }

}  // namespace zorvik
