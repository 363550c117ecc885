// checkAccount on Wine's real registry and real files, with its report going
// into a real edit control and its warnings shown as real message boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "account/account_check.h"
#include "driver.h"
#include "fixture.h"
#include "ui/window_sink.h"

namespace {

constexpr int32_t kAccount = 7;
constexpr uint32_t kComparedHead = 64 * 1024;

// The windows checkAccount talks to: a hidden owner for its warnings and a
// hidden multi-line edit control for its report, as in the result window.
class CheckWindows {
public:
    CheckWindows()
        : owner_(CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr)),
          report_(CreateWindowExA(0, "EDIT", "", WS_POPUP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 0, 600, 300,
                                  owner_, nullptr, nullptr, nullptr)) {}
    ~CheckWindows() {
        DestroyWindow(report_);
        DestroyWindow(owner_);
    }
    CheckWindows(const CheckWindows&) = delete;
    CheckWindows& operator=(const CheckWindows&) = delete;

    bool made() const { return owner_ != nullptr && report_ != nullptr; }
    HWND ownerWindow() const { return owner_; }
    WarningOwner owner() const { return messageBoxesOwnedBy(owner_); }
    ReportSink report() const { return reportControl(report_); }
    std::string reportText() const {
        std::string text(static_cast<size_t>(GetWindowTextLengthA(report_)) + 1, '\0');
        text.resize(static_cast<size_t>(GetWindowTextA(report_, &text[0], static_cast<int>(text.size()))));
        return text;
    }

private:
    HWND owner_;
    HWND report_;
};

enum class Held { Nothing, Mailbox, Map };

struct ExpectedWarning {
    const char* bytes;     // the program's code page 932 text
    const wchar_t* shown;  // what the user must read
};

struct CheckCase {
    const char* name;
    std::string map;
    uint64_t mailboxLength;
    Held held;
    bool showRealDefrag;
    std::string report;
    std::vector<ExpectedWarning> warnings;
    std::optional<uint64_t> mapLengthAfter;      // nullopt: deleted
    std::optional<uint64_t> mailboxLengthAfter;  // nullopt: deleted
};

std::ostream& operator<<(std::ostream& out, const CheckCase& c) { return out << c.name; }

// A map of `length` zero bytes whose last byte is `lastByte`.
std::string mapEndingIn(size_t length, char lastByte) {
    std::string map(length, '\0');
    map.back() = lastByte;
    return map;
}

const std::string kMap19Blocks("\xFF\x00\x04\x00\x00", 5);  // tail 19 blocks, 9 used, 3 bytes used

const ExpectedWarning kMailboxOpenWarning{kWarnMailboxOpen, L"\"news.mbx\"がオープンできませんでした"};
const ExpectedWarning kMailboxTooLargeWarning{kWarnMailboxTooLarge,
                                              L"\"news.mbx\"が2GB以上のため、ファイルを変更しませんでした"};
const ExpectedWarning kTailTooLargeWarning{
    kWarnTailTooLarge, L"\"news.bmp\"が2GB以降のブロックを使用中としているため、ファイルを変更しませんでした"};

// clang-format off
const CheckCase kCases[] = {
    {"TrimsTheFreeTailOffBothFiles", kMap19Blocks, 40 * 512, Held::Nothing, true,
     "     20480 -->       9728 ( 47%): \r\n"
     "           -->       4608 ( 22%): ニュース表\r\n",
     {}, 3, 19 * 512},
    {"DeletesBothFilesWhenNoBlockIsUsed", std::string(16, '\0'), 4096, Held::Nothing, false,
     "      4096 -->          0 (  0%): ニュース表\r\n", {}, std::nullopt, std::nullopt},
    {"LeavesAMailboxHeldByTheClientAlone", kMap19Blocks, 40 * 512, Held::Mailbox, false, "",
     {kMailboxOpenWarning}, 5, 40 * 512},
    {"WarnsAboutAMapHeldByTheClient", kMap19Blocks, 40 * 512, Held::Map, false, "",
     {{kWarnMapOpen, L"\"news.bmp\"がオープンできませんでした"}}, 5, 40 * 512},
    {"RefusesToChangeAMailboxOf3GiB", kMap19Blocks, k3GiB, Held::Nothing, false,
     "3221225472 -->       9728 (  0%): ニュース表\r\n", {kMailboxTooLargeWarning}, 5, k3GiB},
    // Only the low half of this size lies below 2 GiB.
    {"RefusesToChangeAMailboxOf5GiB", kMap19Blocks, k5GiB, Held::Nothing, false,
     "5368709120 -->       9728 (  0%): ニュース表\r\n", {kMailboxTooLargeWarning}, 5, k5GiB},
    // Last used block 4,799,992: the tail is (599,999 * 8 + 1) * 512 bytes.
    {"RefusesToChangeFilesWhenTheTailReaches2GiB", mapEndingIn(600000, '\x01'), 4096, Held::Nothing, false,
     "      4096 --> 2457596416 (61439910%): ニュース表\r\n", {kTailTooLargeWarning}, 600000, 4096},
    // The last byte of the map is its last used byte, so the map keeps its length.
    {"LengthensTheMailboxToBlocksMarkedBeyondItsEnd", mapEndingIn(262144, '\x80'), 4096, Held::Nothing, false,
     "      4096 --> 1073741824 (26843545%): ニュース表\r\n", {}, 262144, 1ull << 30},
};
// clang-format on

// The client's data as the account check finds it: rootPath naming a fresh
// folder (a Japanese name with 0x5C second bytes) and news accounts whose
// folders hold the two files.
class ClientDataTest : public ::testing::Test {
protected:
    void SetUp() override { profile_.writeProperties(kAccount + 1); }
    void makeAccount(int32_t accountNumber, const std::string& caption, const std::string& map,
                     std::optional<uint64_t> mailboxLength) {
        writeAccount(accountNumber, caption);
        profile_.writeFiles(accountNumber, map, mailboxLength);
    }

    ClientProfile profile_{"データ表ソ"};
};

void expectWarnings(const std::vector<driver::BoxRecord>& boxes, const std::vector<ExpectedWarning>& warnings,
                    HWND owner) {
    ASSERT_EQ(boxes.size(), warnings.size());
    for (size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(boxes[i].text, warnings[i].shown);
        EXPECT_EQ(boxes[i].icon, driver::BoxIcon::Warning);
        EXPECT_EQ(boxes[i].owner, owner);
    }
}

class CheckAccountTest : public ClientDataTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(CheckAccountTest, OnRealFiles) {
    const CheckCase& c = GetParam();
    makeAccount(kAccount, "ニュース表", c.map, c.mailboxLength);
    const std::string mapFile = profile_.mapPath(kAccount);
    const std::string mailboxFile = profile_.mailboxPath(kAccount);
    const std::string mailboxHead = readFileAt(mailboxFile, 0, kComparedHead);

    CheckWindows windows;
    ASSERT_TRUE(windows.made());
    std::vector<driver::BoxRecord> boxes;
    {
        std::optional<HeldFile> held;
        if (c.held == Held::Mailbox) held.emplace(mailboxFile);
        if (c.held == Held::Map) held.emplace(mapFile);
        driver::MessageBoxRecorder recorder;
        checkAccount(windows.owner(), kAccount, CheckMode::PseudoDefrag, c.showRealDefrag, windows.report());
        boxes = recorder.finish();
    }

    EXPECT_EQ(windows.reportText(), c.report);
    expectWarnings(boxes, c.warnings, windows.ownerWindow());

    EXPECT_EQ(fileLength(mapFile), c.mapLengthAfter.value_or(kNoFile));
    if (c.mapLengthAfter) {
        EXPECT_EQ(readFileAt(mapFile, 0, static_cast<uint32_t>(c.map.size())), c.map.substr(0, *c.mapLengthAfter));
    }
    EXPECT_EQ(fileLength(mailboxFile), c.mailboxLengthAfter.value_or(kNoFile));
    if (c.mailboxLengthAfter) {
        const size_t kept = std::min<uint64_t>(mailboxHead.size(), *c.mailboxLengthAfter);
        EXPECT_EQ(readFileAt(mailboxFile, 0, static_cast<uint32_t>(kept)), mailboxHead.substr(0, kept));
    }
}

INSTANTIATE_TEST_SUITE_P(PseudoDefrag, CheckAccountTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

// Several accounts into one report, as the result window runs them: each
// account's lines are appended after the last, and an account that fails
// with a warning does not stop the next one.
TEST_F(ClientDataTest, AccountsAppendToOneReportAndAWarningDoesNotStopTheRun) {
    makeAccount(1, "first", kMap19Blocks, 40 * 512);
    makeAccount(3, "no mailbox", kMap19Blocks, std::nullopt);
    makeAccount(kAccount, "ニュース表", std::string("\x01", 1), 2048);

    CheckWindows windows;
    ASSERT_TRUE(windows.made());
    driver::MessageBoxRecorder recorder;
    for (int32_t accountNumber : {1, 3, kAccount}) {
        checkAccount(windows.owner(), accountNumber, CheckMode::Estimate, false, windows.report());
    }
    const std::vector<driver::BoxRecord> boxes = recorder.finish();

    EXPECT_EQ(windows.reportText(), "     20480 -->       9728 ( 47%): first\r\n"
                                    "      2048 -->        512 ( 25%): ニュース表\r\n");
    expectWarnings(boxes, {kMailboxOpenWarning}, windows.ownerWindow());
    EXPECT_EQ(fileLength(profile_.mailboxPath(1)), 40u * 512) << "an estimate changes nothing";
    EXPECT_EQ(fileLength(profile_.mapPath(3)), kMap19Blocks.size());
}

// A message the client stores while a warning box waits for the user is
// kept: an account's warnings are shown once both its files are handled.
// Here the mailbox's cut fails (another program maps the mailbox), and the
// map's cut would otherwise follow the box.
TEST_F(ClientDataTest, KeepsWhatTheClientStoresWhileAWarningWaits) {
    constexpr uint32_t kNewBlock = 30;  // past the last used block, 18
    makeAccount(kAccount, "ニュース表", kMap19Blocks, 40 * 512);
    MappedFile mapped(profile_.mailboxPath(kAccount));
    CheckWindows windows;
    ASSERT_TRUE(windows.made());
    driver::MessageBoxRecorder recorder(GetCurrentProcessId(), [this] { profile_.storeMessage(kAccount, kNewBlock); });
    checkAccount(windows.owner(), kAccount, CheckMode::PseudoDefrag, false, windows.report());
    expectWarnings(recorder.finish(), {{kWarnMailboxTrim, L"\"news.mbx\"の切り詰めに失敗しました"}},
                   windows.ownerWindow());
    EXPECT_TRUE(profile_.holdsMessage(kAccount, kNewBlock));
}

// The warnings' text as the user sees it comes from the code page: the bytes
// the program holds must mean exactly these characters.
TEST(WarningTextTest, ProgramBytesMeanTheJapaneseText) {
    for (const ExpectedWarning& warning : {kMailboxOpenWarning, kMailboxTooLargeWarning, kTailTooLargeWarning}) {
        wchar_t wide[256] = {};
        const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, warning.bytes, -1, wide, 256);
        EXPECT_GT(length, 0);
        EXPECT_EQ(std::wstring(wide), warning.shown);
    }
    EXPECT_EQ(GetACP(), 932u);
}

}  // namespace
