// tavixc's command line, and how much free tail is enough for --min-free.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_options.h"

namespace {

// The arguments of a command line whose arguments hold no space.
std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> split;
    for (std::string word; in >> word;) split.push_back(word);
    return split;
}

std::string describe(const CliOptions& o) {
    std::string text = std::to_string(static_cast<int>(o.command)) + (o.showRealDefrag ? " real" : "") + " min " +
                       std::to_string(static_cast<int>(o.minFree.unit)) + ":" + std::to_string(o.minFree.amount);
    for (const AccountName& a : o.accounts)
        text += a.byCaption ? " [" + a.caption + "]" : " " + std::to_string(a.number);
    return text;
}

TEST(CliOptions, ValidCommandLines) {
    // command: 0 list, 1 estimate, 2 trim, 3 help, 4 version; min-free unit: 0 none, 1 percent, 2 bytes
    const struct {
        const char* line;
        const char* parsed;
    } cases[] = {
        {"list", "0 min 0:0"},
        {"estimate --real 3 0", "1 real min 0:0 3 0"},
        {"trim --min-free 25% --caption 表ソ", "2 min 1:25 [表ソ]"},
        {"--min-free=0% trim --caption=表", "2 min 1:0 [表]"},
        {"trim --min-free 100%", "2 min 1:100"},
        {"trim --min-free 4096", "2 min 2:4096"},
        {"trim --min-free 64k", "2 min 2:65536"},
        {"trim --min-free 3M", "2 min 2:3145728"},
        {"trim --min-free 16G", "2 min 2:17179869184"},
        {"trim 2147483647", "2 min 0:0 2147483647"},
        {"trim --help --bogus", "3 min 0:0"},
        {"--version", "4 min 0:0"},
    };
    for (const auto& c : cases) {
        CliOptions options;
        std::string error;
        EXPECT_TRUE(parseCommandLine(words(c.line), &options, &error)) << c.line << ": " << error;
        EXPECT_EQ(describe(options), c.parsed);
    }
}

TEST(CliOptions, UsageErrorsSayWhatIsWrong) {
    // clang-format off
    const char* const cases[] = {
        "", "defrag", "estimate --min-free 10%", "list --real", "list 0", "trim --min-free",
        "trim --min-free 101%", "trim --min-free -1", "trim --min-free 12.5%", "trim --min-free 2T",
        "trim --min-free 99999999999999999999", "trim --min-free 17179869184G", "trim --caption", "trim -3",
        "trim 2147483648", "trim x", "trim --all"};
    // clang-format on
    for (const char* line : cases) {
        CliOptions options;
        std::string error;
        EXPECT_FALSE(parseCommandLine(words(line), &options, &error)) << line;
        EXPECT_FALSE(error.empty()) << line;
    }
}
// A mailbox of 19456 bytes cut to 9728 frees 9728 bytes, exactly 50 %.
TEST(MinFree, IsReachedAtItsThreshold) {
    const struct {
        MinFree::Unit unit;
        uint64_t amount;
        uint64_t mailbox, tail;
        bool enough;
    } cases[] = {
        {MinFree::Unit::None, 0, 512, 512, true},           {MinFree::Unit::Percent, 49, 19456, 9728, true},
        {MinFree::Unit::Percent, 50, 19456, 9728, true},    {MinFree::Unit::Percent, 51, 19456, 9728, false},
        {MinFree::Unit::Bytes, 9727, 19456, 9728, true},    {MinFree::Unit::Bytes, 9728, 19456, 9728, true},
        {MinFree::Unit::Bytes, 9729, 19456, 9728, false},   {MinFree::Unit::Percent, 1, 199, 198, false},
        {MinFree::Unit::Percent, 1, 200, 198, true},  // the exact share, not the report's rounded one
        {MinFree::Unit::Percent, 0, 1024, 4096, true},      {MinFree::Unit::Bytes, 1, 1024, 4096, false},
        {MinFree::Unit::Percent, 100, UINT64_MAX, 0, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(freesEnough(c.mailbox, c.tail, MinFree{c.unit, c.amount}), c.enough)
            << static_cast<int>(c.unit) << ":" << c.amount << " of " << c.mailbox << " cut to " << c.tail;
    }
}

}  // namespace
