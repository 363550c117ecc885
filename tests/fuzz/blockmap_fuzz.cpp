// libFuzzer target: the word-at-a-time block map analysis must give exactly
// what the literal byte-by-bit loop gives, for any bytes, at the buffer's own
// (aligned) start and at an unaligned one, with either bit count. Any
// difference aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>

#include "blockmap/blockmap_counting.h"
#include "literal_blockmap.h"

namespace {

void printSummary(const char* name, const BlockMapSummary& s) {
    std::fprintf(stderr, "%s: lastUsedByte %lld, bitsInLastByte %lld, usedBlocks %lld\n", name,
                 static_cast<long long>(s.lastUsedByte), static_cast<long long>(s.bitsInLastByte),
                 static_cast<long long>(s.usedBlocks));
}

BitCounting currentCounting = BitCounting::Fastest;

[[noreturn]] void fail(const char* what, size_t offset, size_t count, const BlockMapSummary& fast,
                       const BlockMapSummary& literal) {
    std::fprintf(stderr, "block map analysis: %s (map of %zu bytes at offset %zu, %s bit count)\n", what, count, offset,
                 currentCounting == BitCounting::Portable ? "portable" : "fastest");
    printSummary("analysis", fast);
    printSummary("literal ", literal);
    std::abort();
}

void checkMap(const unsigned char* bytes, size_t count, size_t offset, BitCounting counting) {
    currentCounting = counting;
    const BlockMapSummary fast = analyzeBlockMapWith(counting, bytes, count);
    const BlockMapSummary literal = literalAnalyzeBlockMap(bytes, count);
    if (fast.lastUsedByte != literal.lastUsedByte || fast.bitsInLastByte != literal.bitsInLastByte ||
        fast.usedBlocks != literal.usedBlocks) {
        fail("differs from the literal loop", offset, count, fast, literal);
    }
    // Relations every real map keeps, whatever its bytes.
    if (isEmpty(fast) != (fast.usedBlocks == 0)) fail("empty but blocks in use", offset, count, fast, literal);
    if (compactSize(fast) > tailSize(fast)) fail("compact size above tail size", offset, count, fast, literal);
    if (!isEmpty(fast) && trimmedMapLength(fast) > count) {
        fail("trimmed map longer than the map", offset, count, fast, literal);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The same bytes 1 to 7 bytes into a heap block that ends with them, so a
    // word load past the end is reported. The first byte picks the offset.
    const size_t offset = 1 + (size > 0 ? data[0] % 7 : 0);
    std::unique_ptr<unsigned char[]> shifted(new unsigned char[offset + size]);
    if (size > 0) std::memcpy(shifted.get() + offset, data, size);
    // The processor's fastest count, and the portable one that processors
    // without popcnt run.
    for (BitCounting counting : {BitCounting::Fastest, BitCounting::Portable}) {
        checkMap(data, size, 0, counting);
        checkMap(shifted.get() + offset, size, offset, counting);
    }
    return 0;
}
