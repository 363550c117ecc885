// tavixc, the account check from the command line: list, estimate, trim.
#pragma once

#include <string>
#include <vector>

// Runs the command the arguments give and returns the exit code: 0 when
// every named account was handled without a warning, 1 when one warned, was
// unknown or had no block map, 2 for a usage error or when the client's data
// is missing, 3 when the report could not be written to standard output.
int runTavixc(const std::vector<std::string>& arguments);
// A usage error for an argument with a character code page 932 lacks (shown
// with '?' there): guessing a near character could name another account.
int refuseInexactArgument(const std::string& shown);
