// tavixc's console: its arguments and its two output streams.
// console_win32.cpp implements it.
#pragma once

#include <string>
#include <vector>

// An argument with a character code page 932 lacks, in both the forms it
// can be shown in.
struct InexactArgument {
    std::string shown;     // code page 932, with '?' for each such character
    std::u16string typed;  // as typed, in UTF-16
};

// The command line's arguments after the program's name, as code page 932
// bytes, split the way Windows splits a command line. The first argument
// that has a character code page 932 lacks goes to *inexact; its `typed`
// stays empty when every character has its form.
std::vector<std::string> commandArguments(InexactArgument* inexact);
// Code page 932 text with CRLF line ends: a file or a pipe gets the bytes as
// they are, a console the characters they mean. False when they were not
// all written (a closed stream, a full disk, a broken pipe).
bool writeStandardOutput(const std::string& bytes);
void writeStandardError(const std::string& bytes);
// Code page 932 text around an argument: a console shows the argument as
// typed, a file or a pipe gets its code page 932 form.
void writeStandardErrorAround(const std::string& before, const InexactArgument& argument, const std::string& after);
// The code page Windows hands registry strings and file names to the program
// in: 932 wherever it granted what the manifest asks for.
unsigned ansiCodePage();
