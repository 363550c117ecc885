// The analysis with a chosen way of counting set bits, for the tests and the
// fuzz target that hold both ways against the literal algorithm. Both give
// the same result; Portable is what processors without the popcnt
// instruction run, and analyzeBlockMap takes the fastest the processor has.
#pragma once

#include "blockmap/blockmap.h"

enum class BitCounting { Fastest, Portable };
BlockMapSummary analyzeBlockMapWith(BitCounting counting, const unsigned char* bytes, size_t count);
