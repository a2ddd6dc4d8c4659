// The external programs the system starts through the shell (gnuplot, the editor
// vim, mkdir), the path builder `compose`, and the help and recipe texts.
// Each shell routine runs "<program word> <name>" with the name always taken
// as a file name (quoted where the shell would interpret it, "./" before a
// name that begins with "-" or "+"; trailing blanks do no harm to the shell)
// and waits for it; a blank name prints a message and runs nothing. The editor
// and mkdir report their own trouble; a failed plot command is reported here.
#pragma once

#include <string>
#include <string_view>

#include "core/console.h"

namespace zorvik {

// "gnuplot -display :0.0 " + name, or "gnuplot " + name when no X display is
// set (DISPLAY unset or empty); blank name: "Cannot plot a file without a name!".
// A command that does not end with status 0 prints "The plot command "…" failed (…)".
void gnuplot(Console& con, std::string_view name);
// "vim " + name; blank name: "Cannot edit a file without a name!"
void edit(Console& con, std::string_view name);
// "mkdir " + name; blank name: "Cannot create a directory without a name!"
void mkdir(Console& con, std::string_view name);
// "raswin -xyz " + file, the molecule viewer on one of the program's own
// molecule files; its status is not examined.
void view_molecule(Console& con, std::string_view file);

// Builds trim(dir) + "/" + trim(name), or trim(name) when dir is blank, padded
// or cut to `out_length` characters. A blank name prints "Cannot compose a
// filename without a filename!" and leaves `out` unchanged.
void compose(Console& con, std::string& out, int out_length, std::string_view dir, std::string_view name);

// Help texts: the second character of `word` decides: "f" the model functions
// only; otherwise the commands, followed by the plot files when it is "p".
void help(Console& con, std::string_view word);

// A short recipe for the dish zorvik.
void zorvik(Console& con);

}  // namespace zorvik
