// Both programs end to end: the client's registry data and account files
// are set up here, tavix.exe runs as a process of its own and is driven
// through its windows like a user would, tavixc.exe runs as a console
// process and what it writes is taken byte for byte.
// Usage: tavix_e2e <path of tavix.exe> <path of tavixc.exe>
//                  [<path of a tavix.exe whose manifest asks for no code page>
//                   <path of a tavix.exe whose manifest asks for UTF-8>]
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/tavixc.h"
#include "driver.h"
#include "fixture.h"
#include "tavix_version.h"
#include "ui/dialogs.h"
#include "ui/resource_ids.h"

namespace {

std::string tavixPath;
std::string tavixcPath;
std::string tavixSystemCodePagePath;  // tavix.exe whose manifest asks for no code page
std::string tavixUtf8Path;            // tavix.exe whose manifest asks for UTF-8

// realDefrag as stored; 0xDEAD when missing or not a REG_DWORD.
uint32_t storedRealDefrag() {
    DWORD value = 0xDEAD;
    DWORD size = sizeof value;
    const LONG status =
        RegGetValueA(HKEY_CURRENT_USER, kToolSettingsKey, "realDefrag", RRF_RT_REG_DWORD, nullptr, &value, &size);
    return status == ERROR_SUCCESS ? value : 0xDEAD;
}

// Listed as Alpha (1), Zulu (0), ニュース表 (2); account 3 is not news.
void writeSampleAccounts(const ClientProfile& profile) {
    profile.writeProperties(4);
    writeAccount(0, "Zulu");
    profile.writeFiles(0, std::string("\xFF\x00\x04\x00\x00", 5), 40 * 512);
    writeAccount(1, "Alpha");
    profile.writeFiles(1, std::string(2, '\0'), 1024);
    writeAccount(2, "ニュース表");  // its last byte is 0x5C, a backslash
    profile.writeFiles(2, "\x01", 750);
    writeAccount(3, "Mail", kMailKind);
    profile.writeFiles(3, "\x01", 512);
}

std::vector<uint64_t> fileLengths(const ClientProfile& profile) {
    std::vector<uint64_t> lengths;
    for (int32_t number = 0; number < 4; ++number) {
        lengths.push_back(fileLength(profile.mailboxPath(number)));
        lengths.push_back(fileLength(profile.mapPath(number)));
    }
    return lengths;
}

class Tavix : public ::testing::Test {
protected:
    HWND startMain() {
        EXPECT_TRUE(program_.start(tavixPath));
        HWND main = driver::waitForWindow(program_.id(), kMainTitle);
        EXPECT_NE(main, nullptr) << "main window not shown";
        return main;
    }

    void expectExitWithZero() {
        DWORD exitCode = 1;
        ASSERT_TRUE(program_.waitForExit(&exitCode)) << "tavix did not end";
        EXPECT_EQ(exitCode, 0u);
    }

    void closeMain(HWND main) {
        PostMessageW(main, WM_CLOSE, 0, 0);
        expectExitWithZero();
    }

    // Runs a program that is expected to end by itself after its message
    // boxes, answering them; whether its main window ever showed.
    std::vector<driver::BoxRecord> boxesUntilItEnds(const std::string& path, DWORD expectedExitCode, bool* mainShown) {
        EXPECT_TRUE(program_.start(path));
        driver::MessageBoxRecorder recorder(program_.id());
        *mainShown = false;
        const DWORD start = GetTickCount();
        while (program_.running() && GetTickCount() - start < driver::kDeadlineMs) {
            // (A message box may bear the same title.)
            HWND main = driver::findWindow(program_.id(), kMainTitle);
            *mainShown = *mainShown || (main != nullptr && GetDlgItem(main, IDC_ACCOUNT_LIST) != nullptr);
            Sleep(20);
        }
        DWORD exitCode = 0xDEAD;
        EXPECT_TRUE(program_.waitForExit(&exitCode));
        EXPECT_EQ(exitCode, expectedExitCode);
        return recorder.finish();
    }

    // One Estimate through the result window, closed again: its report.
    void estimateOnce(HWND main, std::wstring* report) {
        driver::postCommand(main, IDC_ESTIMATE);
        HWND result = driver::waitForWindow(program_.id(), kEstimateTitle);
        ASSERT_NE(result, nullptr);
        *report = driver::itemText(result, IDC_REPORT);
        ASSERT_TRUE(driver::sendCommand(result, IDOK));
        ASSERT_TRUE(driver::waitUntilGone(result));
        ASSERT_TRUE(driver::sendAndWait(main, WM_NULL));
    }

    // The report of a command on every account, through the windows.
    std::wstring windowReport(WPARAM command, const wchar_t* title, bool showRealDefrag) {
        HWND main = startMain();
        driver::sendCommand(main, IDC_SELECT_ALL);
        driver::sendAndWait(GetDlgItem(main, IDC_SHOW_REAL_DEFRAG), BM_SETCHECK, showRealDefrag);
        driver::postCommand(main, command);
        HWND result = driver::waitForWindow(program_.id(), title);
        const std::wstring report = driver::itemText(result, IDC_REPORT);
        driver::sendCommand(result, IDOK);
        driver::waitUntilGone(result);
        closeMain(main);
        return report;
    }

    // Declared in this order so that the program ends before its folder
    // and the registry data go.
    ClientProfile profile_{"e2e"};
    driver::Program program_;
};

// The programs run on the Windows the run names: scripts/wine-run.sh says
// win32 or, with --wow64, win64, where 32-bit programs run under WoW64.
TEST(Windows, IsTheOneTheRunNames) {
    char named[16] = {};
    if (GetEnvironmentVariableA("TAVIX_WINDOWS", named, sizeof named) == 0) GTEST_SKIP() << "not run by wine-run.sh";
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    EXPECT_EQ(wow64 != FALSE, std::string(named) == "win64") << named;
}

// ---- The account check through the real windows ---------------------------

struct FileSizes {
    int account;
    uint64_t mailbox;
    uint64_t map;
};

struct CheckCase {
    const char* name;
    WPARAM command;
    bool showRealDefrag;
    std::vector<int> selectedRows;
    int heldAccount;  // account whose files another program holds open; -1 none
    bool heldMapToo;  // both files, as a running client holds them, not only the mailbox
    std::wstring title;
    std::vector<std::wstring> warnings;
    std::wstring report;
    std::vector<FileSizes> filesAfter;
    std::vector<int> selectionAfter;
};

class AccountCheck : public Tavix, public ::testing::WithParamInterface<CheckCase> {};

// The report's columns line up: each of the first `count` characters (all
// half-width) stands one cell of "ＭＳ ゴシック" at 9 points, a fixed-pitch
// face, after the one before.
void expectFixedPitchGothic(HWND report, size_t count) {
    HDC screen = GetDC(nullptr);
    HFONT gothic = CreateFontW(-(GetDeviceCaps(screen, LOGPIXELSY) * 9) / 72, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                               DEFAULT_CHARSET, 0, 0, 0, 0, L"ＭＳ ゴシック");
    HGDIOBJ old = SelectObject(screen, gothic);
    SIZE cell{};
    GetTextExtentPoint32W(screen, L"0", 1, &cell);
    const int first = LOWORD(SendMessageW(report, EM_POSFROMCHAR, 0, 0));
    std::vector<int> shown;
    std::vector<int> cells;
    for (size_t i = 0; i < count; ++i) {
        shown.push_back(LOWORD(SendMessageW(report, EM_POSFROMCHAR, i, 0)) - first);
        cells.push_back(static_cast<int>(i) * cell.cx);
    }
    EXPECT_EQ(shown, cells) << "where the report's characters stand";
    DeleteObject(SelectObject(screen, old));
    ReleaseDC(nullptr, screen);
}

const std::vector<FileSizes> kUnchanged = {{0, 20480, 5}, {1, 1024, 2}, {2, 750, 1}, {3, 512, 1}};
const wchar_t kAlphaShort[] = L"      1024 -->          0 (  0%): Alpha\r\n";

// clang-format off
const CheckCase kCheckCases[] = {
    {"EstimateReportsInCaptionOrderAndKeepsSelection", IDC_ESTIMATE, false, {0, 1}, -1, false, kEstimateTitle, {},
     std::wstring(kAlphaShort) + L"     20480 -->       9728 ( 47%): Zulu\r\n", kUnchanged, {0, 1}},
    {"PseudoDefragTrimsDeletesAndClearsSelection", IDC_PSEUDO_DEFRAG, true, {0, 1, 2}, -1, false, kPseudoDefragTitle, {},
     L"      1024 -->          0 (  0%): \r\n           -->          0 (  0%): Alpha\r\n"
     L"     20480 -->       9728 ( 47%): \r\n           -->       4608 ( 22%): Zulu\r\n"
     L"       750 -->        512 ( 73%): \r\n           -->        512 ( 73%): ニュース表\r\n",
     {{0, 9728, 3}, {1, kNoFile, kNoFile}, {2, 512, 1}, {3, 512, 1}}, {}},
    {"HeldMailboxIsWarnedBeforeTheWindowAndLeftAlone", IDC_PSEUDO_DEFRAG, false, {0, 1}, 0, false, kPseudoDefragTitle,
     {L"\"news.mbx\"がオープンできませんでした"}, kAlphaShort,
     {{0, 20480, 5}, {1, kNoFile, kNoFile}, {2, 750, 1}, {3, 512, 1}}, {}},
    {"AccountOfARunningClientIsWarnedAndLeftAlone", IDC_PSEUDO_DEFRAG, false, {0, 1}, 0, true, kPseudoDefragTitle,
     {L"\"news.bmp\"がオープンできませんでした"}, kAlphaShort,
     {{0, 20480, 5}, {1, kNoFile, kNoFile}, {2, 750, 1}, {3, 512, 1}}, {}},
};
// clang-format on

TEST_P(AccountCheck, ThroughTheResultWindow) {
    const CheckCase& c = GetParam();
    writeSampleAccounts(profile_);
    std::optional<HeldFile> heldMailbox;
    std::optional<HeldFile> heldMap;
    if (c.heldAccount >= 0) heldMailbox.emplace(profile_.mailboxPath(c.heldAccount));
    if (c.heldMapToo) heldMap.emplace(profile_.mapPath(c.heldAccount));
    HWND main = startMain();
    ASSERT_NE(main, nullptr);
    HWND list = GetDlgItem(main, IDC_ACCOUNT_LIST);
    ASSERT_TRUE(driver::selectOnly(list, c.selectedRows));
    ASSERT_TRUE(driver::sendAndWait(GetDlgItem(main, IDC_SHOW_REAL_DEFRAG), BM_SETCHECK, c.showRealDefrag));

    driver::MessageBoxRecorder recorder(program_.id());
    driver::postCommand(main, c.command);
    HWND result = driver::waitForWindow(program_.id(), c.title);
    const std::vector<driver::BoxRecord> boxes = recorder.finish();
    ASSERT_NE(result, nullptr) << "result window not shown";
    EXPECT_EQ(driver::findMessageBox(program_.id()), nullptr) << "a message box came after the window";
    ASSERT_EQ(boxes.size(), c.warnings.size());
    for (size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(boxes[i].text, c.warnings[i]);
        EXPECT_EQ(boxes[i].icon, driver::BoxIcon::Warning);
        EXPECT_EQ(boxes[i].owner, result);
        EXPECT_FALSE(boxes[i].ownerVisible) << "warning shown after the result window";
    }
    EXPECT_EQ(driver::itemText(result, IDC_REPORT), c.report);
    expectFixedPitchGothic(GetDlgItem(result, IDC_REPORT), c.report.find(L'\r'));

    ASSERT_TRUE(driver::sendCommand(result, IDOK));
    ASSERT_TRUE(driver::waitUntilGone(result));
    // Once the main window answers again, the command has returned.
    ASSERT_TRUE(driver::sendAndWait(main, WM_NULL));
    EXPECT_EQ(driver::selectedRows(list), c.selectionAfter);
    closeMain(main);
    heldMailbox.reset();
    heldMap.reset();

    for (const FileSizes& f : c.filesAfter) {
        EXPECT_EQ(fileLength(profile_.mailboxPath(f.account)), f.mailbox) << "news.mbx of account " << f.account;
        EXPECT_EQ(fileLength(profile_.mapPath(f.account)), f.map) << "news.bmp of account " << f.account;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, AccountCheck, ::testing::ValuesIn(kCheckCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The main window ------------------------------------------------------

TEST_F(Tavix, MainWindowListsNewsAccountsByRawBytesWithItsControls) {
    profile_.writeProperties(6);
    writeAccount(0, "b");
    writeAccount(1, "B");
    writeAccount(2, "a");
    writeAccount(3, "Mail", kMailKind);
    writeAccount(5, "ニュース");  // 4 has no key
    HWND main = startMain();
    ASSERT_NE(main, nullptr);
    HWND list = GetDlgItem(main, IDC_ACCOUNT_LIST);
    EXPECT_EQ(driver::listTexts(list), (std::vector<std::wstring>{L"B", L"a", L"b", L"ニュース"}));
    EXPECT_EQ(driver::listItemData(list), (std::vector<LPARAM>{1, 2, 0, 5}));

    // clang-format off
    const struct { int id; std::wstring text; } buttons[] = {
        {IDC_SELECT_ALL, L"全選択(&A)"}, {IDC_INVERT_SELECTION, L"選択の切替(&I)"},
        {IDC_QUICK_CHECK, L"簡易チェック(&C)"}, {IDC_ESTIMATE, L"見積(&V)"}, {IDC_PSEUDO_DEFRAG, L"偽デフラグ(&D)"},
        {IDC_SHOW_REAL_DEFRAG, L"真デフラグの見積りも表示する(&S)"}, {IDCANCEL, L"閉じる"}};
    // clang-format on
    for (const auto& button : buttons) {
        EXPECT_EQ(driver::itemText(main, button.id), button.text);
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(main, button.id)) != FALSE, button.id != IDC_QUICK_CHECK) << button.id;
    }
    LRESULT check = -1;
    driver::sendAndWait(GetDlgItem(main, IDC_SHOW_REAL_DEFRAG), BM_GETCHECK, 0, 0, &check);
    EXPECT_EQ(check, BST_UNCHECKED) << "first run starts clear";
    closeMain(main);
}

// No process can read another's menus or icons under Wine: this one makes
// the main window itself, from tavix.exe's template and the program's own
// dialog procedure, and reads them as the window's start left them.
TEST_F(Tavix, MainWindowHasItsIconAndGreysMaximizeAndSize) {
    profile_.writeProperties(0);
    HMODULE program = LoadLibraryExA(tavixPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(program, nullptr);
    HWND main = CreateDialogParamA(program, MAKEINTRESOURCEA(IDD_MAIN), nullptr, mainDialogProc, 0);
    ASSERT_NE(main, nullptr);
    EXPECT_NE(SendMessageW(main, WM_GETICON, ICON_SMALL, 0), 0) << "no icon in the title bar";
    HMENU menu = GetSystemMenu(main, FALSE);
    for (const UINT command : {SC_MAXIMIZE, SC_SIZE}) {
        EXPECT_EQ(GetMenuState(menu, command, MF_BYCOMMAND) & MF_GRAYED, static_cast<UINT>(MF_GRAYED)) << command;
    }
    DestroyWindow(main);
    FreeLibrary(program);
}

TEST_F(Tavix, SelectionCommands) {
    profile_.writeProperties(4);
    for (int number = 0; number < 4; ++number) writeAccount(number, std::string(1, 'a' + number));
    HWND main = startMain();
    ASSERT_NE(main, nullptr);
    HWND list = GetDlgItem(main, IDC_ACCOUNT_LIST);
    // clang-format off
    const struct { std::vector<int> before; WPARAM command; std::vector<int> after; } steps[] = {
        {{0, 2}, IDC_INVERT_SELECTION, {1, 3}},
        {{1}, IDC_SELECT_ALL, {0, 1, 2, 3}},
        {{2}, IDOK, {2}},             // Enter does nothing here
        {{2}, IDC_QUICK_CHECK, {2}},  // nor does the disabled quick check
    };
    // clang-format on
    for (const auto& step : steps) {
        driver::selectOnly(list, step.before);
        ASSERT_TRUE(driver::sendCommand(main, step.command));
        EXPECT_EQ(driver::selectedRows(list), step.after) << "command " << step.command;
        EXPECT_TRUE(IsWindowVisible(main));
    }
    closeMain(main);
}

// How a user closes the main window; every way saves the check box.
struct CloseWay {
    const char* name;
    void (*close)(HWND main);
};

const CloseWay kCloseWays[] = {
    {"CloseBox", [](HWND main) { PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    {"CloseButton", [](HWND main) { PostMessageW(GetDlgItem(main, IDCANCEL), BM_CLICK, 0, 0); }},
    {"Escape", [](HWND main) { PostMessageW(GetDlgItem(main, IDC_ACCOUNT_LIST), WM_KEYDOWN, VK_ESCAPE, 1); }},
};

class CheckBoxSetting : public Tavix, public ::testing::WithParamInterface<CloseWay> {};

TEST_P(CheckBoxSetting, SurvivesARestart) {
    profile_.writeProperties(0);
    for (LRESULT state : {BST_CHECKED, BST_UNCHECKED}) {
        HWND main = startMain();
        ASSERT_NE(main, nullptr);
        HWND box = GetDlgItem(main, IDC_SHOW_REAL_DEFRAG);
        LRESULT shown = -1;
        driver::sendAndWait(box, BM_GETCHECK, 0, 0, &shown);
        EXPECT_EQ(shown, state == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED) << "state from the run before";
        driver::sendAndWait(box, BM_SETCHECK, state);
        // Focused, the box's whole state carries the focus bit too; the
        // setting is its check alone.
        driver::sendAndWait(main, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(box), TRUE);
        GetParam().close(main);
        expectExitWithZero();
        EXPECT_EQ(storedRealDefrag(), static_cast<uint32_t>(state));
    }
}

INSTANTIATE_TEST_SUITE_P(Ways, CheckBoxSetting, ::testing::ValuesIn(kCloseWays),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Tavix, StartsWithAnErrorAndEndsWithoutTheClientsProperties) {
    bool mainShown = true;
    const std::vector<driver::BoxRecord> boxes = boxesUntilItEnds(tavixPath, 0, &mainShown);
    EXPECT_FALSE(mainShown) << "the program ends after the box, without its window";
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"レジストリデータベースがオープンできません\n処理を中断します");
    EXPECT_EQ(boxes[0].icon, driver::BoxIcon::Error);
    EXPECT_EQ(boxes[0].owner, nullptr);
}

// Where Windows gives the program another code page than 932 (Windows 10
// ignores what the manifest asks for, unless it is UTF-8), tavix says so in
// both languages and ends before it reads or writes anything. The copy that
// asks for UTF-8 gets code page 65001 under any locale, as on Windows 10
// with its UTF-8 option; the copy that asks for none gets the system's,
// which is not 932 under a locale that is not Japanese, as in the tests'
// second run.
TEST_F(Tavix, RefusesToRunWithoutCodePage932) {
    DWORD systemCodePage = 0;
    GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                   reinterpret_cast<LPWSTR>(&systemCodePage), sizeof systemCodePage / sizeof(wchar_t));
    std::vector<std::string> copies;
    if (!tavixUtf8Path.empty()) copies.push_back(tavixUtf8Path);
    if (!tavixSystemCodePagePath.empty() && systemCodePage != 932) copies.push_back(tavixSystemCodePagePath);
    if (copies.empty()) GTEST_SKIP() << "no copy of tavix.exe that Windows gives another code page here";
    writeSampleAccounts(profile_);
    const std::vector<uint64_t> before = fileLengths(profile_);
    for (const std::string& copy : copies) {
        SCOPED_TRACE(copy);
        bool mainShown = true;
        const std::vector<driver::BoxRecord> boxes = boxesUntilItEnds(copy, 1, &mainShown);
        EXPECT_FALSE(mainShown);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text.rfind(L"tavix の文字はコードページ932 (日本語) ですが、", 0), 0u)
            << "in Japanese first";
        EXPECT_NE(boxes[0].text.find(L"tavix needs code page 932 (Japanese)"), std::wstring::npos) << "then in English";
        for (const wchar_t* step : {L"Windows を再起動してから", L"restart Windows"}) {
            EXPECT_NE(boxes[0].text.find(step), std::wstring::npos) << "the way back ends with a restart";
        }
        // Under UTF-8 the locale may already be Japanese: the option is what to clear.
        const bool underUtf8 = copy == tavixUtf8Path;
        for (const wchar_t* option : {L"「ベータ: ワールドワイド言語サポートで Unicode UTF-8 を使用」",
                                      L"\"Beta: Use Unicode UTF-8 for worldwide language support\""}) {
            EXPECT_EQ(boxes[0].text.find(option) != std::wstring::npos, underUtf8) << "the UTF-8 option named";
        }
        EXPECT_EQ(boxes[0].icon, driver::BoxIcon::Error);
    }
    EXPECT_EQ(storedRealDefrag(), 0xDEADu) << "nothing written";
    EXPECT_EQ(fileLengths(profile_), before);
}

// Checks leave nothing behind: however many run in one window, the program
// keeps the memory and handles it had after the first ones, and its GDI
// objects do not grow with the count. (Wine adds a few device contexts, with
// their regions and bitmaps, once, whenever two windows first paint at
// once; an object a check keeps adds one with every check.) The block map is
// large, so that a buffer kept would show.
TEST_F(Tavix, RepeatedChecksGiveBackTheirMemoryHandlesAndFonts) {
    constexpr size_t kMapBytes = 4 << 20;
    profile_.writeProperties(1);
    writeAccount(0, "big map");
    profile_.writeFiles(0, std::string(kMapBytes, '\x01'), 512);
    HWND main = startMain();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(driver::sendCommand(main, IDC_SELECT_ALL));
    constexpr int kCounted = 16;
    std::wstring report;
    for (int run = 0; run < 2; ++run) ASSERT_NO_FATAL_FAILURE(estimateOnce(main, &report));
    ASSERT_NE(report.find(L"big map\r\n"), std::wstring::npos) << "the account was checked: " << report;
    driver::ProcessResources before{};
    ASSERT_TRUE(driver::processResources(program_, &before));
    for (int run = 0; run < kCounted; ++run) ASSERT_NO_FATAL_FAILURE(estimateOnce(main, &report));
    driver::ProcessResources after{};
    ASSERT_TRUE(driver::processResources(program_, &after));
    EXPECT_EQ(after.handles, before.handles);
    EXPECT_LT(after.gdiObjects, before.gdiObjects + kCounted);
    EXPECT_LT(after.memory, before.memory + kMapBytes) << "from " << before.memory;
    closeMain(main);
}

// ---- The result window as users see it ------------------------------------

TEST_F(Tavix, ResultWindowIsCentredAndClosesOnlyByOkOrClose) {
    profile_.writeProperties(1);
    writeAccount(0, "Alpha");
    HWND main = startMain();
    ASSERT_NE(main, nullptr);
    // clang-format off
    const struct { WPARAM command; const wchar_t* title; UINT closing; WPARAM closingParam; } runs[] = {
        {IDC_ESTIMATE, kEstimateTitle, WM_CLOSE, 0},
        {IDC_PSEUDO_DEFRAG, kPseudoDefragTitle, WM_COMMAND, IDOK},
    };
    // clang-format on
    for (const auto& run : runs) {
        driver::postCommand(main, run.command);
        HWND result = driver::waitForWindow(program_.id(), run.title);
        ASSERT_NE(result, nullptr) << "no window titled for command " << run.command;
        EXPECT_EQ(GetWindow(result, GW_OWNER), main);
        RECT owner;
        RECT own;
        GetWindowRect(main, &owner);
        GetWindowRect(result, &own);
        const int ownWidth = own.right - own.left;
        const int ownHeight = own.bottom - own.top;
        EXPECT_EQ(own.left, owner.left + (owner.right - owner.left - ownWidth) / 2);
        EXPECT_EQ(own.top, owner.top + (owner.bottom - owner.top - ownHeight) / 2);
        EXPECT_EQ(driver::itemText(result, IDOK), L"OK");
        EXPECT_EQ(driver::itemText(result, IDC_REPORT), L"") << "nothing was selected";

        ASSERT_TRUE(driver::sendCommand(result, IDCANCEL));
        EXPECT_TRUE(IsWindowVisible(result)) << "cancel must not close";
        ASSERT_TRUE(driver::sendAndWait(result, run.closing, run.closingParam));
        EXPECT_TRUE(driver::waitUntilGone(result));
    }
    closeMain(main);
}

// Longer than an edit control takes by default (30,000 characters): shown
// whole all the same.
TEST_F(Tavix, LongReportIsShownWhole) {
    const int32_t accounts = 32;
    profile_.writeProperties(accounts);
    std::wstring expected;
    for (int32_t number = 0; number < accounts; ++number) {
        const std::string caption = std::to_string(10 + number) + std::string(1000, '.');
        writeAccount(number, caption);
        profile_.writeFiles(number, "\x01", 512);
        expected += L"       512 -->        512 (102%): " + driver::widened(caption) + L"\r\n";
    }
    ASSERT_GT(expected.size(), 30000u);
    EXPECT_EQ(windowReport(IDC_ESTIMATE, kEstimateTitle, false), expected);
}

// ---- tavixc on the same profiles ------------------------------------------

class Tavixc : public Tavix {
protected:
    driver::ConsoleRun tavixc(const std::wstring& arguments, driver::Output output = driver::Output::File) {
        return driver::runConsole(tavixcPath, arguments, output);
    }
};

TEST_F(Tavixc, ReportsAndChangesWhatTheWindowDoesInBothModes) {
    writeSampleAccounts(profile_);
    const driver::ConsoleRun estimate = tavixc(L"estimate --real");
    EXPECT_EQ(driver::widened(estimate.output), windowReport(IDC_ESTIMATE, kEstimateTitle, true));
    EXPECT_EQ(estimate.exitCode, kExitDone);
    EXPECT_EQ(tavixc(L"estimate --real", driver::Output::Pipe).output, estimate.output) << "through a pipe";

    const std::wstring windowTrim = windowReport(IDC_PSEUDO_DEFRAG, kPseudoDefragTitle, false);
    const std::vector<uint64_t> windowLengths = fileLengths(profile_);
    ClientProfile copy("tavixc");  // the same accounts afresh, for tavixc to trim
    writeSampleAccounts(copy);
    const driver::ConsoleRun trim = tavixc(L"trim");
    EXPECT_EQ(driver::widened(trim.output), windowTrim);
    EXPECT_EQ(fileLengths(copy), windowLengths);
    EXPECT_EQ(trim.errors, "");
    EXPECT_EQ(trim.exitCode, kExitDone);
}

// A message the client stores while tavixc's output waits for its reader (a
// paused console, "| more") is kept: each account's report and warnings are
// written once its files are handled. In the second run the mailbox's cut
// fails (another program maps the mailbox), and its warning waits on
// standard error where the map's cut would otherwise follow.
TEST_F(Tavixc, KeepsWhatTheClientStoresWhileTheOutputWaits) {
    constexpr uint32_t kNewBlock = 30;  // past the last used block, 18
    // clang-format off
    const struct { driver::Stream heldUp; bool mailboxMapped; const wchar_t* errors; DWORD exitCode; } runs[] = {
        {driver::Stream::Output, false, L"", kExitDone},
        {driver::Stream::Error, true, L"news: \"news.mbx\"の切り詰めに失敗しました\r\n", kExitWarned},
    };
    // clang-format on
    profile_.writeProperties(2);
    for (int32_t number = 0; number < 2; ++number) {
        SCOPED_TRACE(number);
        writeAccount(number, "news");
        profile_.writeFiles(number, std::string("\xFF\x00\x04\x00\x00", 5), 40 * 512);
        std::optional<MappedFile> mapped;
        if (runs[number].mailboxMapped) mapped.emplace(profile_.mailboxPath(number));
        bool waited = false;
        const driver::ConsoleRun run = driver::runConsoleHeldUp(
            tavixcPath, L"trim " + std::to_wstring(number), runs[number].heldUp,
            [this, number] { profile_.storeMessage(number, kNewBlock); }, &waited);
        EXPECT_TRUE(waited) << "tavixc did not wait for its reader";
        EXPECT_TRUE(profile_.holdsMessage(number, kNewBlock));
        EXPECT_EQ(driver::widened(run.output), L"     20480 -->       9728 ( 47%): news\r\n");
        EXPECT_EQ(driver::widened(run.errors), runs[number].errors);
        EXPECT_EQ(run.exitCode, runs[number].exitCode);
    }
}

// One account whose cut frees exactly half its mailbox: 9728 of 19456 bytes.
struct MinFreeCase {
    const wchar_t* minFree;
    bool cut;
};

class TavixcMinFree : public Tavixc, public ::testing::WithParamInterface<MinFreeCase> {};

TEST_P(TavixcMinFree, CutsOnlyFromTheThresholdOn) {
    profile_.writeProperties(1);
    writeAccount(0, "half");
    profile_.writeFiles(0, std::string("\xFF\x00\x04", 3), 38 * 512);
    const driver::ConsoleRun run = tavixc(std::wstring(L"trim --min-free ") + GetParam().minFree);
    EXPECT_EQ(
        driver::widened(run.output),
        std::wstring(L"     19456 -->       9728 ( 50%): half\r\n") +
            (GetParam().cut ? L""
                            : L"           空き領域が指定の下限に満たないため、ファイルを変更しませんでした\r\n"));
    EXPECT_EQ(fileLength(profile_.mailboxPath(0)), GetParam().cut ? 9728u : 19456u);
    EXPECT_EQ(run.exitCode, kExitDone);
}

INSTANTIATE_TEST_SUITE_P(Thresholds, TavixcMinFree,
                         ::testing::Values(MinFreeCase{L"49%", true}, MinFreeCase{L"50%", true},
                                           MinFreeCase{L"51%", false}, MinFreeCase{L"9728", true},
                                           MinFreeCase{L"9729", false}));

// Named accounts go in list order; a name that is no listed news account,
// and the files a running client holds open, each leave a line on standard
// error.
TEST_F(Tavixc, UnknownAccountsAndWarningsGoToStandardErrorAndEndWithOne) {
    writeSampleAccounts(profile_);
    HeldFile heldMailbox(profile_.mailboxPath(0));
    HeldFile heldMap(profile_.mapPath(0));
    const driver::ConsoleRun run = tavixc(L"trim 3 --caption ニュース表 0 --caption nobody");
    EXPECT_EQ(driver::widened(run.output), L"       750 -->        512 ( 73%): ニュース表\r\n");
    EXPECT_EQ(driver::widened(run.errors), L"tavixc: アカウント 3 はニュースアカウントの一覧にありません\r\n"
                                           L"tavixc: アカウント名 \"nobody\" のニュースアカウントはありません\r\n"
                                           L"Zulu: \"news.bmp\"がオープンできませんでした\r\n");
    EXPECT_EQ(run.exitCode, kExitWarned);
    EXPECT_EQ(fileLength(profile_.mapPath(0)), 5u) << "the held account is left as it was";
    EXPECT_EQ(fileLength(profile_.mailboxPath(2)), 512u) << "the others are handled";
}

// A character code page 932 lacks is never guessed at: "²" is no "2", nor
// "é" an "e".
TEST_F(Tavixc, RefusesArgumentsCodePage932CannotHold) {
    writeSampleAccounts(profile_);
    writeAccount(2, "cafe");
    const std::vector<uint64_t> before = fileLengths(profile_);
    // clang-format off
    const struct { const wchar_t* arguments; const wchar_t* shown; } cases[] = {
        {L"trim \u00B2", L"?"}, {L"trim --caption caf\u00E9", L"caf?"},
        {L"trim --caption caf\u00E9 \u00B2", L"caf?"}};  // the first one
    // clang-format on
    for (const auto& c : cases) {
        const driver::ConsoleRun run = tavixc(c.arguments);
        EXPECT_EQ(run.exitCode, kExitNotStarted) << run.errors;
        EXPECT_EQ(driver::widened(run.errors), std::wstring(L"tavixc: コードページ932で表せない文字を含む引数です: ") +
                                                   c.shown + L"\r\ntavixc --help で使い方を表示します\r\n");
    }
    // A console shows the argument as typed, whole however long.
    const std::wstring typed = L"caf\u00E9" + std::wstring(9000, L'x');
    const driver::ConsoleRun shown = tavixc(L"trim --caption " + typed, driver::Output::Console);
    EXPECT_EQ(shown.exitCode, kExitNotStarted);
    EXPECT_NE(shown.screen.find(typed + L"tavixc --help"), std::wstring::npos) << shown.screen.size();
    EXPECT_EQ(fileLengths(profile_), before);
}

// A console that takes no text, or a pipe that takes nothing, loses the
// report: the run still ends and is done, and the exit code says what was
// lost.
TEST_F(Tavixc, ReportLostEndsWithThree) {
    writeSampleAccounts(profile_);
    for (const driver::Output output : {driver::Output::ConsoleThatTakesNoText, driver::Output::PipeThatTakesNothing}) {
        SCOPED_TRACE(static_cast<int>(output));
        const driver::ConsoleRun run = tavixc(L"estimate", output);
        EXPECT_TRUE(run.ended);
        EXPECT_EQ(driver::widened(run.errors), L"tavixc: 報告を標準出力に書き込めませんでした\r\n");
        EXPECT_EQ(run.exitCode, kExitReportLost);
    }
}

TEST_F(Tavixc, EndsWithTwoWithoutTheClientsProperties) {
    const driver::ConsoleRun run = tavixc(L"list");
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(driver::widened(run.errors), L"レジストリデータベースがオープンできません\r\n処理を中断します\r\n");
    EXPECT_EQ(run.exitCode, kExitNotStarted);

    const driver::ConsoleRun version = tavixc(L"--version");
    EXPECT_EQ(version.output, "tavixc " TAVIX_VERSION_TEXT "\r\n");
    EXPECT_EQ(version.exitCode, kExitDone);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: %s <path of tavix.exe> <path of tavixc.exe> [<path of a tavix.exe that asks for no code "
                     "page> <path of a tavix.exe that asks for UTF-8>]\n",
                     argv[0]);
        return 2;
    }
    tavixPath = argv[1];
    tavixcPath = argv[2];
    tavixSystemCodePagePath = argc > 3 ? argv[3] : "";
    tavixUtf8Path = argc > 4 ? argv[4] : "";
    return RUN_ALL_TESTS();
}
