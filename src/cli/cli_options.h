// tavixc's command line: what it asks for, read from its arguments.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "account/account_check.h"

enum class CliCommand { List, Estimate, Trim, Help, Version };

// An account named on the command line, by number or by caption.
struct AccountName {
    bool byCaption;
    int32_t number;
    std::string caption;  // code page 932 bytes, as typed
};

struct CliOptions {
    CliCommand command = CliCommand::Help;
    bool showRealDefrag = false;
    MinFree minFree;
    std::vector<AccountName> accounts;  // none: every listed news account
};

// Reads the arguments after the program's name. False, with what is wrong
// in *error (code page 932), when they are not a valid command line.
bool parseCommandLine(const std::vector<std::string>& arguments, CliOptions* options, std::string* error);

// "N%" with N from 0 to 100, or a byte count with an optional K, M or G
// (powers of 1024); false when the text is neither.
bool parseMinFree(const std::string& text, MinFree* minFree);
