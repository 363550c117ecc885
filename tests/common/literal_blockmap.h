// A word-for-word transcription of the block map analysis as first designed,
// byte by byte and bit by bit. Tests and benchmarks hold the project's
// analysis against it; the program never uses it.
#pragma once

#include <cstddef>

#include "blockmap/blockmap.h"

BlockMapSummary literalAnalyzeBlockMap(const unsigned char* bytes, size_t count);
