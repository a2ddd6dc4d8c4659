#pragma once

namespace zorvik {

// How a reading stage ended: done, or the user edited the parameter file and the
// whole reading must start again from the parameter file.
enum class ReadOutcome { Done, Reread };

}  // namespace zorvik
