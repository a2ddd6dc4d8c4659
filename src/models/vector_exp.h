// The exponential of a whole array at once, for the line shapes that evaluate a
// data set in one call. On processors with 256- or 512-bit vectors it uses the
// vector exponential of the C library's vector maths library (glibc's libmvec,
// 4 or 8 doubles per call, at most 4 units in the last place from the exact
// value by its documentation); elsewhere, or when the library is absent, the
// scalar std::exp. The two may differ in the last bits of a result, never more.
#pragma once

namespace zorvik {

// out[k] = exp(in[k]) for k = 0 … n−1; in and out may be the same array.
// Results below the smallest normal double may be 0 or a subnormal number.
void exp_array(const double* in, double* out, int n);

// The number of doubles per call of the exponential exp_array uses on this
// machine: 8 (512-bit vectors), 4 (256-bit) or 1 (the scalar std::exp).
int exp_array_lanes();

}  // namespace zorvik
