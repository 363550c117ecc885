#include "blockmap/blockmap.h"

#include <cstring>

#include "blockmap/blockmap_counting.h"

namespace {

using Word = uintptr_t;  // 32 bits in the Windows build, 64 on the host
constexpr size_t kWordBytes = sizeof(Word);

Word loadWord(const unsigned char* p) {
    Word w;
    std::memcpy(&w, p, kWordBytes);  // maps carry no alignment promise
    return w;
}

int highestSetBit(unsigned char byte) {
    int bit = 7;
    while ((byte & (1u << bit)) == 0) --bit;
    return bit;
}

// Index of the last non-zero byte, or -1 when every byte is zero.
// Skips the zero tail a word at a time.
int64_t findLastUsedByte(const unsigned char* bytes, size_t count) {
    size_t end = count;
    while (end % kWordBytes != 0) {
        if (bytes[end - 1] != 0) return static_cast<int64_t>(end - 1);
        --end;
    }
    while (end >= kWordBytes && loadWord(bytes + end - kWordBytes) == 0) end -= kWordBytes;
    while (end > 0) {
        if (bytes[end - 1] != 0) return static_cast<int64_t>(end - 1);
        --end;
    }
    return -1;
}

// Portable SWAR count, used where the processor has no popcnt instruction.
unsigned countBitsSoftware(Word w) {
    if constexpr (sizeof(Word) == 8) {
        uint64_t v = w;
        v = v - ((v >> 1) & 0x5555555555555555ull);
        v = (v & 0x3333333333333333ull) + ((v >> 2) & 0x3333333333333333ull);
        v = (v + (v >> 4)) & 0x0F0F0F0F0F0F0F0Full;
        return static_cast<unsigned>((v * 0x0101010101010101ull) >> 56);
    } else {
        uint32_t v = static_cast<uint32_t>(w);
        v = v - ((v >> 1) & 0x55555555u);
        v = (v & 0x33333333u) + ((v >> 2) & 0x33333333u);
        v = (v + (v >> 4)) & 0x0F0F0F0Fu;
        return (v * 0x01010101u) >> 24;
    }
}

int64_t countWordsSoftware(const unsigned char* bytes, size_t words) {
    int64_t total = 0;
    for (size_t i = 0; i < words; ++i) total += countBitsSoftware(loadWord(bytes + i * kWordBytes));
    return total;
}

#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
#define TAVIX_HAVE_POPCNT_PATH 1
// Compiled for popcnt but only called after the processor was asked.
__attribute__((target("popcnt"))) unsigned countBitsPopcnt(Word w) {
    if constexpr (sizeof(Word) == 8) {
        return static_cast<unsigned>(__builtin_popcountll(w));
    } else {
        return static_cast<unsigned>(__builtin_popcount(static_cast<uint32_t>(w)));
    }
}

// Four words a step: their counts are independent of each other and of the
// running total, so the processor overlaps them instead of waiting on one
// chain of additions.
__attribute__((target("popcnt"))) int64_t countWordsPopcnt(const unsigned char* bytes, size_t words) {
    int64_t total = 0;
    size_t i = 0;
    for (; i + 4 <= words; i += 4) {
        const unsigned char* p = bytes + i * kWordBytes;
        const unsigned firstPair = countBitsPopcnt(loadWord(p)) + countBitsPopcnt(loadWord(p + kWordBytes));
        const unsigned secondPair =
            countBitsPopcnt(loadWord(p + 2 * kWordBytes)) + countBitsPopcnt(loadWord(p + 3 * kWordBytes));
        total += firstPair + secondPair;
    }
    for (; i < words; ++i) total += countBitsPopcnt(loadWord(bytes + i * kWordBytes));
    return total;
}

bool processorHasPopcnt() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("popcnt") != 0;
    }();
    return has;
}
#endif

int64_t countSetBits(BitCounting counting, const unsigned char* bytes, size_t count) {
    const size_t words = count / kWordBytes;
    int64_t total = 0;
#ifdef TAVIX_HAVE_POPCNT_PATH
    const bool usePopcnt = counting == BitCounting::Fastest && processorHasPopcnt();
    total = usePopcnt ? countWordsPopcnt(bytes, words) : countWordsSoftware(bytes, words);
#else
    (void)counting;
    total = countWordsSoftware(bytes, words);
#endif
    for (size_t i = words * kWordBytes; i < count; ++i) total += countBitsSoftware(bytes[i]);
    return total;
}

}  // namespace

BlockMapSummary analyzeBlockMap(const unsigned char* bytes, size_t count) {
    return analyzeBlockMapWith(BitCounting::Fastest, bytes, count);
}

BlockMapSummary analyzeBlockMapWith(BitCounting counting, const unsigned char* bytes, size_t count) {
    BlockMapSummary summary{0, 0, 0};
    if (count == 0) return summary;
    const int64_t last = findLastUsedByte(bytes, count);
    if (last < 0) return summary;
    summary.lastUsedByte = last;
    summary.bitsInLastByte = highestSetBit(bytes[last]) + 1;
    // Bits beyond the last used byte are all zero, so counting stops there.
    summary.usedBlocks = countSetBits(counting, bytes, static_cast<size_t>(last) + 1);
    return summary;
}

uint64_t tailSize(const BlockMapSummary& summary) {
    const uint64_t blocks =
        static_cast<uint64_t>(summary.lastUsedByte) * 8 + static_cast<uint64_t>(summary.bitsInLastByte);
    return blocks * kMailboxBlockSize;
}

uint64_t compactSize(const BlockMapSummary& summary) {
    return static_cast<uint64_t>(summary.usedBlocks) * kMailboxBlockSize;
}

uint64_t trimmedMapLength(const BlockMapSummary& summary) { return static_cast<uint64_t>(summary.lastUsedByte) + 1; }

bool isEmpty(const BlockMapSummary& summary) { return summary.lastUsedByte == 0 && summary.bitsInLastByte == 0; }
