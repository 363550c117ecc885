// Code page 932 text: the bytes the build produces and the cutting of
// captions to their buffers.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>

#include "account/account_check.h"
#include "registry/caption_text.h"

namespace {

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

TEST(Cp932Text, JapaneseLiteralsBecomeCodePage932Bytes) {
    // Both characters end in 0x5C, the backslash byte.
    EXPECT_EQ(hex("表ソ"), "95 5C 83 5C");
    // clang-format off
    EXPECT_EQ(hex(kWarnNoMemory), "83 81 83 82 83 8A 82 CC 8A 84 82 E8 93 96 82 C4 82 C9 8E B8 94 73 82 B5 82 DC 82 B5 82 BD");
    EXPECT_EQ(hex(kWarnMailboxOpen),
              "22 6E 65 77 73 2E 6D 62 78 22 82 AA 83 49 81 5B 83 76 83 93 82 C5 82 AB 82 DC 82 B9 82 F1 82 C5 82 B5 82 BD");
    EXPECT_EQ(hex(kWarnMapSize),
              "22 6E 65 77 73 2E 62 6D 70 22 82 CC 83 74 83 40 83 43 83 8B 83 54 83 43 83 59 82 AA 8E E6 93 BE 82 C5 82 AB 82 DC 82 B9 82 F1");
    // clang-format on
}

TEST(Cp932Text, CutsKeepWholeCharactersAndTheTerminatingZero) {
    const std::string kanaAndAscii = "a表ソb";  // 61 | 95 5C | 83 5C | 62
    struct Case {
        size_t capacity;
        std::string expected;
    } cases[] = {
        // clang-format off
        {0, ""}, {1, ""}, {2, "a"},
        {3, "a"},  // "表" would need bytes 1 and 2: never half of it
        {4, "a表"}, {5, "a表"}, {6, "a表ソ"}, {7, "a表ソb"}, {100, "a表ソb"},
    };
    // clang-format on
    for (const Case& c : cases) EXPECT_EQ(cutToCapacity(kanaAndAscii, c.capacity), c.expected) << c.capacity;

    // A lead byte with no trail byte (a damaged value) is dropped rather than kept half.
    EXPECT_EQ(cutToCapacity(std::string("ab\x95", 3), 10), "ab");
}

// Whether the byte alone is an incomplete character to glibc's own code page
// 932 converter: an oracle that owes nothing to tavix.
bool startsTwoByteCharacter(unsigned char byte) {
    iconv_t converter = iconv_open("UTF-16LE", "CP932");
    char in[1] = {static_cast<char>(byte)};
    char out[8];
    char* inNext = in;
    char* outNext = out;
    size_t inLeft = 1;
    size_t outLeft = sizeof out;
    const bool incomplete =
        iconv(converter, &inNext, &inLeft, &outNext, &outLeft) == static_cast<size_t>(-1) && errno == EINVAL;
    iconv_close(converter);
    return incomplete;
}

TEST(Cp932Text, EveryLeadByteAndOnlyThoseTakeTheNextByteAlong) {
    for (int byte = 0; byte < 256; ++byte) {
        const std::string text = std::string("a") + static_cast<char>(byte) + "x";
        const std::string expected = startsTwoByteCharacter(static_cast<unsigned char>(byte)) ? "a" : text.substr(0, 2);
        EXPECT_EQ(cutToCapacity(text, 3), expected) << "byte " << byte;
    }
}

TEST(Cp932Text, LongCaptionOfTwoByteCharactersFitsItsListBuffer) {
    std::string caption;
    while (caption.size() < 300) caption += "表示ソフト";
    const std::string cut = cutToCapacity(caption, 128);
    EXPECT_LE(cut.size(), 127u);
    EXPECT_EQ(cut.size() % 2, 0u) << "only two-byte characters, so never an odd length";
    EXPECT_EQ(caption.compare(0, cut.size(), cut), 0);
}

TEST(Cp932Text, DisplayCaptionFallsBackToTheAccountKeyName) {
    const std::string caption = "ニュース";
    const std::string empty;
    EXPECT_EQ(displayCaption(&caption, 4, 128), caption);
    EXPECT_EQ(displayCaption(nullptr, 4, 128), "Account4");
    EXPECT_EQ(displayCaption(&empty, 12, 128), "Account12");
}

}  // namespace
