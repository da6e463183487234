// The run records' side of t720-linearity: the history of a records folder and
// the printable report or plot of a record.
//
//   t720-linearity --history [FOLDER] [--serial SN] [--json]
//   t720-linearity --report OUT.pdf [--plot OUT.svg|OUT.png] [--as-found EARLIER.csv] [--] RUNFILE
#pragma once

namespace t720::linearity {

// Runs the command when the arguments (before any "--") name --history, --report
// or --plot; returns its exit status, or -1 when they name none of these.
// Status 0 done, 1 the output could not be written, 2 a usage error, a folder
// that cannot be listed or a record that is not valid.
int RunRecordsCommand(int argc, char** argv);

}  // namespace t720::linearity
