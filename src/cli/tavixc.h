// tavixc, the account check from the command line: list, estimate, trim.
#pragma once

#include <string>
#include <vector>

struct InexactArgument;

// tavixc's exit codes. Unsigned, as Windows hands them to whoever waits.
enum TavixcExitCode : unsigned {
    kExitDone = 0,        // every named account handled without a warning
    kExitWarned = 1,      // one warned, was unknown or had no block map
    kExitNotStarted = 2,  // a usage error, or no client data: nothing done
    kExitReportLost = 3,  // the report could not be written to standard output
};

// Runs the command the arguments give and returns its exit code.
TavixcExitCode runTavixc(const std::vector<std::string>& arguments);
// A usage error for an argument with a character code page 932 lacks:
// guessing a near character could name another account. A console shows the
// argument as typed.
TavixcExitCode refuseInexactArgument(const InexactArgument& argument);
