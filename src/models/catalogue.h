// The model catalogue: one descriptor per model number (model_api.h says what a
// descriptor holds). The parameter-file reader uses it to refuse a model that
// would silently evaluate nothing, the dispatcher to select routines, and the
// writers, the interpreter and the help to ask what a model is.
#pragma once

#include <span>
#include <string>

#include "models/model_api.h"

namespace zorvik {

// A model number of 0 marks a data set that is not fitted (the reader refuses
// negative numbers, which count as not fitted too).
inline bool is_fitted(int opfit) { return opfit > 0; }

// Every descriptor, in increasing model number.
std::span<const ModelInfo> model_catalogue();

// The descriptor of a model number, or nullptr when it has none. Only a
// descriptor with a routine (`plain`) makes a model that can be fitted.
const ModelInfo* find_model(int number);

// True when model `number` is in the catalogue and belongs to `family`.
bool in_family(int number, ModelFamily family);

// The parameters model `m` reads when it evaluates data set i (see ParamBlocks).
ParamSet model_reads(const ModelInfo& m, int i);
// The same by model number; every parameter for a number without a descriptor.
ParamSet model_reads(int number, int i);

// The line the help prints before the first advertised model of a family
// (nullptr: none).
const char* family_heading(ModelFamily family);

// Empty when model `number` evaluates in data set `slot` with the file option
// `option` ("c", "cf" or any other word); otherwise the reason it cannot, as a
// sentence for the user.
std::string model_slot_problem(int number, int slot, const std::string& option);

}  // namespace zorvik
