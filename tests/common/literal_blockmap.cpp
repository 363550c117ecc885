#include "literal_blockmap.h"

BlockMapSummary literalAnalyzeBlockMap(const unsigned char* bytes, size_t count) {
    BlockMapSummary summary{0, 0, 0};
    long long index = static_cast<long long>(count) - 1;
    while (index >= 0 && bytes[index] == 0) --index;
    if (index < 0) {
        summary.lastUsedByte = 0;
        summary.bitsInLastByte = 0;
    } else {
        summary.lastUsedByte = index;
        int bits = 8;
        unsigned mask = 0x80;
        while (bits > 0 && (bytes[index] & mask) == 0) {
            --bits;
            mask >>= 1;
        }
        summary.bitsInLastByte = bits;
    }
    long long used = 0;
    for (size_t i = 0; i < count; ++i) {
        unsigned byte = bytes[i];
        while (byte != 0) {
            if (byte & 1) ++used;
            byte >>= 1;
        }
    }
    summary.usedBlocks = used;
    return summary;
}
