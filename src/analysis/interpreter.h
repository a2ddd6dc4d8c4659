// The command prompt "ZoRvIk> " that follows a run of the chain in the dialog
// modes: the user looks at the result, changes step sizes, computes
// distributions, contours and the covariance matrix, writes and shows plots, and
// decides how the program goes on.
#pragma once

#include "core/console.h"
#include "core/run_tables.h"
#include "models/workspace.h"
#include "sampler/run_loop.h"

namespace zorvik {

// How a session at the prompt ended.
enum class PromptExit {
  End,       // "end", "fin", "fi" or the end of keyboard input: the end of the run follows
  Continue,  // "c": a new run of the chain from the current state, then the prompt again
  Reload,    // "cp": read the parameter file and the data again, run, then the prompt again
};

// Runs the prompt until one of the commands that leave it. Clears pdfready on
// entry; printmode and plotaxes (run.settings) persist. The reply to input it
// does not understand draws one number from the run's generator (loop.ranlux).
// The commands change most of the run: params (steps, the best state, contour
// steps), the chain's chi-squares, dist, and settings.plotaxes and printmode.
PromptExit interpreter(Run& run, ModelWorkspace& ws, RunLoop& loop, Console& con);

}  // namespace zorvik
