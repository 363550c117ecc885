#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "blockmap/blockmap_counting.h"
#include "literal_blockmap.h"

namespace {

using Bytes = std::vector<unsigned char>;

constexpr uint64_t kBlock = kMailboxBlockSize;
// Every start offset within a 64-bit word, so word loads meet every misalignment.
constexpr size_t kOffsets = 8;

// A copy of a map in a heap block that ends exactly where the map ends, so
// AddressSanitizer reports any read past the last byte. The map starts
// `offset` bytes into the block, which makes its start unaligned.
struct PlacedMap {
    std::unique_ptr<unsigned char[]> block;
    const unsigned char* bytes;
    size_t count;
};

PlacedMap placeMap(const Bytes& map, size_t offset) {
    PlacedMap placed{std::make_unique<unsigned char[]>(offset + map.size()), nullptr, map.size()};
    for (size_t i = 0; i < map.size(); ++i) placed.block[offset + i] = map[i];
    placed.bytes = placed.block.get() + offset;
    return placed;
}

bool sameSummary(const BlockMapSummary& a, const BlockMapSummary& b) {
    return a.lastUsedByte == b.lastUsedByte && a.bitsInLastByte == b.bitsInLastByte && a.usedBlocks == b.usedBlocks;
}

std::string describe(const BlockMapSummary& s) {
    return "{" + std::to_string(s.lastUsedByte) + ", " + std::to_string(s.bitsInLastByte) + ", " +
           std::to_string(s.usedBlocks) + "}";
}

std::string describeMap(const Bytes& map) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string text = std::to_string(map.size()) + " bytes:";
    for (size_t i = 0; i < map.size() && i < 64; ++i) {
        text += ' ';
        text += kHex[map[i] >> 4];
        text += kHex[map[i] & 15];
    }
    if (map.size() > 64) text += " ...";
    return text;
}

// Compares the analysis with the literal transcription at every start offset,
// with the processor's fastest bit count and with the portable one that
// processors without popcnt run; returns an empty string when they agree,
// else what differed.
std::string differenceFromLiteral(const Bytes& map) {
    for (BitCounting counting : {BitCounting::Fastest, BitCounting::Portable}) {
        for (size_t offset = 0; offset < kOffsets; ++offset) {
            const PlacedMap placed = placeMap(map, offset);
            const BlockMapSummary fast = analyzeBlockMapWith(counting, placed.bytes, placed.count);
            const BlockMapSummary literal = literalAnalyzeBlockMap(placed.bytes, placed.count);
            if (!sameSummary(fast, literal)) {
                return describeMap(map) + (counting == BitCounting::Portable ? " (portable count)" : "") +
                       " at offset " + std::to_string(offset) + ": analysis " + describe(fast) + ", literal " +
                       describe(literal);
            }
        }
    }
    return {};
}

// Stops the test at the first difference rather than flooding the output.
#define EXPECT_SAME_AS_LITERAL(map)                                \
    do {                                                           \
        const std::string difference = differenceFromLiteral(map); \
        ASSERT_TRUE(difference.empty()) << difference;             \
    } while (0)

Bytes zeros(size_t count) { return Bytes(count, 0); }

Bytes withTrailingZeros(Bytes map, size_t zeroCount) {
    map.insert(map.end(), zeroCount, 0);
    return map;
}

// ---------------------------------------------------------------------------
// Known maps and their summaries.

struct KnownMap {
    const char* name;
    Bytes map;
    int64_t lastUsedByte;
    int64_t bitsInLastByte;
    int64_t usedBlocks;
    uint64_t tailSize;
    uint64_t compactSize;
    bool empty;
};

std::vector<KnownMap> knownMaps() {
    // clang-format off
    return {
        {"empty map", {}, 0, 0, 0, 0, 0, true},
        {"one zero byte", zeros(1), 0, 0, 0, 0, 0, true},
        {"seven zero bytes", zeros(7), 0, 0, 0, 0, 0, true},
        {"eight zero bytes", zeros(8), 0, 0, 0, 0, 0, true},
        {"nine zero bytes", zeros(9), 0, 0, 0, 0, 0, true},
        {"4097 zero bytes", zeros(4097), 0, 0, 0, 0, 0, true},
        {"0x01", {0x01}, 0, 1, 1, 512, 512, false},
        {"0x80", {0x80}, 0, 8, 1, 4096, 512, false},
        {"0xFF", {0xFF}, 0, 8, 8, 4096, 8 * kBlock, false},
        {"FF 00 04 00 00", {0xFF, 0x00, 0x04, 0x00, 0x00}, 2, 3, 9, 19 * kBlock, 9 * kBlock, false},
        {"last byte of a word", {0, 0, 0, 0, 0, 0, 0, 0x40}, 7, 7, 1, 63 * kBlock, kBlock, false},
        {"first byte after a word", {0, 0, 0, 0, 0, 0, 0, 0, 0x01}, 8, 1, 1, 65 * kBlock, kBlock, false},
        {"used bytes in two words", {0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0}, 9, 5, 3, 77 * kBlock,
         3 * kBlock, false},
    };
    // clang-format on
}

TEST(BlockMapKnownMaps, SummaryAndDerivedSizes) {
    for (const KnownMap& known : knownMaps()) {
        SCOPED_TRACE(known.name);
        const PlacedMap placed = placeMap(known.map, 0);
        const BlockMapSummary s = analyzeBlockMap(placed.bytes, placed.count);
        EXPECT_EQ(s.lastUsedByte, known.lastUsedByte);
        EXPECT_EQ(s.bitsInLastByte, known.bitsInLastByte);
        EXPECT_EQ(s.usedBlocks, known.usedBlocks);
        EXPECT_EQ(tailSize(s), known.tailSize);
        EXPECT_EQ(compactSize(s), known.compactSize);
        EXPECT_EQ(trimmedMapLength(s), static_cast<uint64_t>(known.lastUsedByte) + 1);
        EXPECT_EQ(isEmpty(s), known.empty);
    }
}

TEST(BlockMapKnownMaps, TrailingZerosChangeNothing) {
    for (const KnownMap& known : knownMaps()) {
        const BlockMapSummary without = analyzeBlockMap(known.map.data(), known.map.size());
        for (size_t extra : {1, 2, 7, 8, 9, 15, 16, 17, 100, 4096}) {
            SCOPED_TRACE(std::string(known.name) + " + " + std::to_string(extra) + " zero bytes");
            const PlacedMap placed = placeMap(withTrailingZeros(known.map, extra), 3);
            const BlockMapSummary with = analyzeBlockMap(placed.bytes, placed.count);
            EXPECT_TRUE(sameSummary(with, without)) << describe(with) << " vs " << describe(without);
        }
    }
}

TEST(BlockMapKnownMaps, EmptyMapReadsNoByte) {
    const BlockMapSummary s = analyzeBlockMap(nullptr, 0);
    EXPECT_TRUE(sameSummary(s, BlockMapSummary{0, 0, 0}));
    EXPECT_TRUE(isEmpty(s));
}

// ---------------------------------------------------------------------------
// The derived sizes, on summaries too large to build as real maps here: the
// arithmetic must be carried out in 64 bits.

struct SummarySizes {
    const char* name;
    BlockMapSummary summary;
    uint64_t tailSize;
    uint64_t compactSize;
    uint64_t trimmedMapLength;
    bool empty;
};

TEST(BlockMapDerivedSizes, LargeSummariesDoNotWrap) {
    // clang-format off
    const SummarySizes cases[] = {
        {"only byte 0 used", {0, 1, 1}, 512, 512, 1, false},
        {"nothing used", {0, 0, 0}, 0, 0, 1, true},
        {"tail just below 2^32", {1048575, 7, 8388607}, 4294967296ull - 512, 4294967296ull - 512, 1048576,
         false},
        {"tail at 2^32", {1048575, 8, 8388608}, 4294967296ull, 4294967296ull, 1048576, false},
        {"tail just above 2^32", {1048576, 1, 8388609}, 4294967296ull + 512, 4294967296ull + 512, 1048577,
         false},
        {"map of 2^31 bytes, all used", {2147483647, 8, 17179869184ll}, 8796093022208ull, 8796093022208ull,
         2147483648ull, false},
        {"map longer than 2^32 bytes", {4294967296ll, 1, 3}, (34359738368ull + 1) * 512, 1536, 4294967297ull,
         false},
    };
    // clang-format on
    for (const SummarySizes& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(tailSize(c.summary), c.tailSize);
        EXPECT_EQ(compactSize(c.summary), c.compactSize);
        EXPECT_EQ(trimmedMapLength(c.summary), c.trimmedMapLength);
        EXPECT_EQ(isEmpty(c.summary), c.empty);
    }
}

// ---------------------------------------------------------------------------
// The word-at-a-time analysis against the literal byte-by-byte one.

TEST(BlockMapDifferential, ZeroMapsOfEveryShortLength) {
    for (size_t length = 0; length <= 80; ++length) EXPECT_SAME_AS_LITERAL(zeros(length));
}

TEST(BlockMapDifferential, AllOnesMaps) {
    for (size_t length = 0; length <= 80; ++length) EXPECT_SAME_AS_LITERAL(Bytes(length, 0xFF));
    EXPECT_SAME_AS_LITERAL(Bytes(4096, 0xFF));
    EXPECT_SAME_AS_LITERAL(Bytes(65537, 0xFF));
}

TEST(BlockMapDifferential, SingleSetBitAtEveryPosition) {
    for (size_t length : {1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 23, 24, 25, 31, 32, 33, 63, 64, 65, 100}) {
        for (size_t bit = 0; bit < length * 8; ++bit) {
            Bytes map = zeros(length);
            map[bit / 8] = static_cast<unsigned char>(1u << (bit % 8));
            EXPECT_SAME_AS_LITERAL(map);
        }
    }
}

TEST(BlockMapDifferential, EveryByteValueInEveryLaneOfTwoWords) {
    for (unsigned value = 0; value < 256; ++value) {
        for (size_t position = 0; position < 17; ++position) {
            Bytes map = zeros(17);
            map[position] = static_cast<unsigned char>(value);
            EXPECT_SAME_AS_LITERAL(map);
            map.assign(17, 0xFF);  // every other bit set: the count must not lose any
            map[position] = static_cast<unsigned char>(value);
            EXPECT_SAME_AS_LITERAL(map);
        }
    }
}

// Every pattern of zero and non-zero bytes for lengths 0 to 17, which covers
// every split between whole words and leftover bytes at every offset.
TEST(BlockMapDifferential, EveryZeroPatternUpToSeventeenBytes) {
    static const unsigned char kValues[] = {0x01, 0x80, 0xFF, 0x10, 0x7F, 0xA5, 0x02, 0x40};
    for (size_t length = 0; length <= 17; ++length) {
        for (uint32_t pattern = 0; pattern < (1u << length); ++pattern) {
            Bytes map = zeros(length);
            for (size_t i = 0; i < length; ++i) {
                if (pattern & (1u << i)) map[i] = kValues[(i + pattern) % 8];
            }
            EXPECT_SAME_AS_LITERAL(map);
        }
    }
}

TEST(BlockMapDifferential, LongZeroTails) {
    std::mt19937 generator(4711);
    for (size_t head = 0; head <= 40; ++head) {
        Bytes map(head);
        for (unsigned char& byte : map) byte = static_cast<unsigned char>(generator());
        for (size_t tail : {1000, 1001, 1003, 1007, 4096 + 5}) {
            EXPECT_SAME_AS_LITERAL(withTrailingZeros(map, tail));
        }
    }
    Bytes lone = withTrailingZeros({0x01}, 100000);
    EXPECT_SAME_AS_LITERAL(lone);
    lone[0] = 0;
    lone[1] = 0x80;
    EXPECT_SAME_AS_LITERAL(lone);
}

// Random maps from a fixed seed: dense and sparse, with and without a zero
// tail. std::mt19937's output is fixed by the standard, so the maps are the
// same on every run and every library.
TEST(BlockMapDifferential, SeededRandomMaps) {
    std::mt19937 generator(20240607);
    for (int round = 0; round < 3000; ++round) {
        const size_t length = generator() % 300;
        const uint32_t sparseness = generator() % 4;  // 0: every byte random
        Bytes map(length);
        for (unsigned char& byte : map) {
            const uint32_t r = generator();
            const bool used = sparseness == 0 || (r >> 8) % (8u << sparseness) == 0;
            byte = used ? static_cast<unsigned char>(r) : 0;
        }
        if (generator() % 2 == 0) map = withTrailingZeros(map, generator() % 70);
        EXPECT_SAME_AS_LITERAL(map);
    }
}

TEST(BlockMapDifferential, LargeRandomMap) {
    std::mt19937 generator(99);
    Bytes map(512 * 1024 + 3);
    for (unsigned char& byte : map) byte = static_cast<unsigned char>(generator());
    EXPECT_SAME_AS_LITERAL(map);
}

}  // namespace
