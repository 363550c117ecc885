// tavixc: its command line, how much free tail is enough for --min-free,
// and its commands on the in-memory client data.
#include <gtest/gtest.h>

#include <array>
#include <sstream>

#include "cli/cli_options.h"
#include "cli/tavixc.h"
#include "fake_platform.h"

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

// Listed as Alpha (1), Zulu (0), same (2), same (3); account 4 is no news
// account. Each row runs one command line on these accounts afresh.
constexpr uint64_t kGone = UINT64_MAX;
const char kMorvex[] = "C:\\Morvex\\account";

void writeSampleAccounts() {
    resetFakeWorld();
    FakeWorld& world = fakeWorld();
    world.rootPath = "C:\\Morvex";
    world.numProperties = 5;
    const struct {
        uint32_t kind;
        const char* caption;
        std::string map;
        uint64_t mailbox;
    } accounts[] = {{2, "Zulu", std::string("\xFF\x00\x04", 3), 40 * 512},
                    {2, "Alpha", std::string(2, '\0'), 1024},
                    {2, "same", "\x01", 750},
                    {2, "same", "\x01", 750},
                    {1, "Mail", "\x01", 512}};
    for (int32_t number = 0; number < 5; ++number) {
        world.accounts[number] = FakeAccount{accounts[number].kind, std::string(accounts[number].caption)};
        const std::string folder = kMorvex + std::to_string(number);
        putFile(folder + "\\news.bmp", accounts[number].map);
        putSizedFile(folder + "\\news.mbx", accounts[number].mailbox);
    }
}

std::array<uint64_t, 4> mailboxLengths() {
    std::array<uint64_t, 4> lengths{};
    for (int32_t number = 0; number < 4; ++number) {
        const auto found = fakeWorld().files.find(kMorvex + std::to_string(number) + "\\news.mbx");
        lengths[number] = found == fakeWorld().files.end() ? kGone : found->second.length;
    }
    return lengths;
}

TEST(Tavixc, RunsItsCommandsOnTheClientsData) {
    const std::array<uint64_t, 4> kUnchanged{20480, 1024, 750, 750};
    const struct {
        const char* line;
        void (*arrange)();
        TavixcExitCode exitCode;
        std::string output;
        std::string errors;
        std::array<uint64_t, 4> mailboxesAfter;
    } cases[] = {
        // clang-format off
        {"list", nullptr, kExitDone, "1\tAlpha\r\n0\tZulu\r\n2\tsame\r\n3\tsame\r\n", "", kUnchanged},
        {"trim", nullptr, kExitDone,
         "      1024 -->          0 (  0%): Alpha\r\n     20480 -->       9728 ( 47%): Zulu\r\n"
         "       750 -->        512 ( 73%): same\r\n       750 -->        512 ( 73%): same\r\n",
         "", {9728, kGone, 512, 512}},
        {"trim --caption same", nullptr, kExitWarned, "",
         "tavixc: アカウント名 \"same\" のニュースアカウントが複数あります。番号で指定してください\r\n", kUnchanged},
        // A caption names only itself, not one it begins or that begins it.
        {"trim --caption Zul --caption Zulu.news", nullptr, kExitWarned, "",
         "tavixc: アカウント名 \"Zul\" のニュースアカウントはありません\r\n"
         "tavixc: アカウント名 \"Zulu.news\" のニュースアカウントはありません\r\n", kUnchanged},
        {"trim --caption Zulu --caption Zulu.news", [] { fakeWorld().accounts[1].caption = "Zulu.news"; }, kExitDone,
         "     20480 -->       9728 ( 47%): Zulu\r\n      1024 -->          0 (  0%): Zulu.news\r\n", "",
         {9728, kGone, 750, 750}},
        {"trim 4 0 0", nullptr, kExitWarned, "     20480 -->       9728 ( 47%): Zulu\r\n",
         "tavixc: アカウント 4 はニュースアカウントの一覧にありません\r\n", {9728, 1024, 750, 750}},
        // The cut would free 52.5 %.
        {"trim --min-free 53% --caption Zulu", nullptr, kExitDone,
         std::string("     20480 -->       9728 ( 47%): Zulu\r\n") + kReportTooLittleFree, "", kUnchanged},
        {"trim --bogus", nullptr, kExitNotStarted, "",
         "tavixc: 不明なオプションか、値がありません: --bogus\r\ntavixc --help で使い方を表示します\r\n", kUnchanged},
        {"list", [] { fakeWorld().propertiesExist = false; }, kExitNotStarted, "",
         "レジストリデータベースがオープンできません\r\n処理を中断します\r\n", kUnchanged},
        // A named account without a block map is said so; unnamed, it stays silent as in the window.
        {"trim 0", [] { fakeWorld().files.erase(kMorvex + std::string("0\\news.bmp")); }, kExitWarned, "",
         "Zulu: \"news.bmp\"がないため、処理しませんでした\r\n", kUnchanged},
        {"trim", [] { fakeWorld().files.erase(kMorvex + std::string("0\\news.bmp")); }, kExitDone,
         "      1024 -->          0 (  0%): Alpha\r\n"
         "       750 -->        512 ( 73%): same\r\n       750 -->        512 ( 73%): same\r\n",
         "", {20480, kGone, 512, 512}},
        // The files are handled as the lost report would have said.
        {"trim", [] { fakeWorld().outputFails = true; }, kExitReportLost, "", "tavixc: 報告を標準出力に書き込めませんでした\r\n",
         {9728, kGone, 512, 512}},
        {"list", [] { fakeWorld().outputFails = true; }, kExitReportLost, "", "tavixc: 報告を標準出力に書き込めませんでした\r\n",
         kUnchanged},
        // A lost report outranks a warning and an unknown account: the log says less than was done.
        {"trim 9 0 1", [] { fakeWorld().outputFails = true; fakeWorld().files[kMorvex + std::string("0\\news.mbx")].heldByOther = true; },
         kExitReportLost, "",
         "tavixc: アカウント 9 はニュースアカウントの一覧にありません\r\nZulu: \"news.mbx\"がオープンできませんでした\r\n"
         "tavixc: 報告を標準出力に書き込めませんでした\r\n", {20480, kGone, 750, 750}},
        // Nothing to report is nothing lost.
        {"trim 9", [] { fakeWorld().outputFails = true; }, kExitWarned, "",
         "tavixc: アカウント 9 はニュースアカウントの一覧にありません\r\n", kUnchanged},
        {"trim", [] { fakeWorld().outputFails = true; fakeWorld().accounts.clear(); }, kExitDone, "", "", kUnchanged},
        {"--version", [] { fakeWorld().outputFails = true; }, kExitReportLost, "",
         "tavixc: 報告を標準出力に書き込めませんでした\r\n", kUnchanged},
        {"trim --bogus", [] { fakeWorld().outputFails = true; }, kExitNotStarted, "",
         "tavixc: 不明なオプションか、値がありません: --bogus\r\ntavixc --help で使い方を表示します\r\n", kUnchanged},
        // Where Windows gave another code page, captions read from the registry cannot be trusted.
        {"trim --caption Zulu", [] { fakeWorld().ansiCodePage = 1252; }, kExitNotStarted, "",
         "tavixc: このWindowsではアカウント名を正しく読めないため、--caption は使えません。番号で指定してください\r\n"
         "tavixc --help で使い方を表示します\r\n", kUnchanged},
        // clang-format on
    };
    for (const auto& c : cases) {
        writeSampleAccounts();
        if (c.arrange != nullptr) c.arrange();
        EXPECT_EQ(runTavixc(words(c.line)), c.exitCode) << c.line;
        EXPECT_EQ(fakeWorld().standardOutput, c.output) << c.line;
        EXPECT_EQ(fakeWorld().standardError, c.errors) << c.line;
        EXPECT_EQ(mailboxLengths(), c.mailboxesAfter) << c.line;
    }
}

}  // namespace
