// report/index.html: one page that shows every figure of the report folder with
// the numbers beside it (the parameter table, the fit of each data set, the
// information criteria, the polished optimum, the evidence, the verdict). It
// needs nothing but the image files beside it: the style is inline and there is
// no script, so it opens from disk in any browser.
#pragma once

#include <string>
#include <string_view>

#include "core/run_report.h"

namespace zorvik {

// Text for HTML: &, <, >, " and ' as character references; control bytes and
// bytes outside valid UTF-8 shown in their visible escaped form (\n, \xHH), so
// the page stays valid UTF-8 whatever a file name holds.
std::string html_escape(std::string_view text);

// The page for `report`; figures are taken from report.figures (PNG shown,
// linked to the SVG of the same stem).
std::string report_html(const RunReport& report);

// Writes report_html(report) to `path` (replaced atomically).
void write_report_html(const std::string& path, const RunReport& report);

}  // namespace zorvik

#include "core/console.h"
#include "output/report_figures.h"

namespace zorvik {

// The report folder: the figures (report_figures.h) and index.html, in `folder`;
// report.figures receives the files written. The one console line it may print
// says that gnuplot is missing or complained.
void write_report_folder(RunReport& report, const FigureInput& figures, const std::string& folder, Console& con);

}  // namespace zorvik
