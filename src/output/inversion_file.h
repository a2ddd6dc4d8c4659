// "Problemeps.dat": the curves of the last loss inversion of the whole-curve
// dielectric models that did not converge, for plotting what went wrong.
#pragma once

#include "models/model_api.h"

namespace zorvik {

// The header "f eps epscalc", then per frequency log10 f, the loss to invert
// and the loss reached, in free format. A FailedInversionSink.
void write_failed_inversion(const FailedInversion& failure);

}  // namespace zorvik
