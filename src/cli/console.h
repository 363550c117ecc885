// tavixc's console: its arguments, its two output streams and its version.
// console_win32.cpp implements it.
#pragma once

#include <string>
#include <vector>

// The command line's arguments after the program's name, as code page 932
// bytes, split the way Windows splits a command line.
std::vector<std::string> commandArguments();
// Bytes as they are: code page 932 text with CRLF line ends. False when
// they were not all written (a closed stream, a full disk, a broken pipe).
bool writeStandardOutput(const std::string& bytes);
void writeStandardError(const std::string& bytes);
// "1.8.0.0", from the program's version resource.
std::string programVersion();
