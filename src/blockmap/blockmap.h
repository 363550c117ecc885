// Analysis of a news account's block map (news.bmp): one bit per 512-byte
// block of the mailbox, bit k%8 of byte k/8, least significant bit first.
// A set bit marks a block in use. Pure computation, no platform calls.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint64_t kMailboxBlockSize = 512;

struct BlockMapSummary {
    int64_t lastUsedByte;    // index of the last non-zero byte; 0 if none
    int64_t bitsInLastByte;  // 1 + index of that byte's highest set bit; 0 if none
    int64_t usedBlocks;      // set bits in the whole map
};

BlockMapSummary analyzeBlockMap(const unsigned char* bytes, size_t count);

// What a pseudo-defragmentation leaves of the mailbox: up to and including
// the last used block.
uint64_t tailSize(const BlockMapSummary& summary);
// What the mailbox would hold if every used block were moved together.
uint64_t compactSize(const BlockMapSummary& summary);
// What a pseudo-defragmentation leaves of the block map.
uint64_t trimmedMapLength(const BlockMapSummary& summary);
// No block is in use at all.
bool isEmpty(const BlockMapSummary& summary);
