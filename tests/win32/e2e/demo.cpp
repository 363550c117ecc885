// The demo: a sample client profile that shows the cases a user meets, and
// a headless run of tavix.exe on it.
//   tavix_demo prepare <data folder>
//       writes the client's registry data and account files afresh.
//   tavix_demo run <path of tavix.exe> <data folder> <output folder>
//       prepares, then selects every account, runs Estimate with the true
//       defragmentation line, and saves main-window.bmp, result-window.bmp
//       and report.txt (UTF-8) in the output folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "driver.h"
#include "ui/resource_ids.h"
#include "win32_test_support.h"

namespace {

std::string mode;
std::string tavixPath;
std::string dataFolder;
std::string outputFolder;

struct SampleAccount {
    DWORD kind;
    const char* caption;
    std::string map;  // no news.bmp when empty and `hasMap` is false
    bool hasMap;
    uint64_t mailboxSize;
};

std::string repeated(char byte, size_t count) { return std::string(count, byte); }

// A map whose first blocks are in use, with a few stragglers further on and
// a long free tail after them.
std::string mapWithFreeTail() {
    std::string map = repeated('\xFF', 40) + repeated('\0', 2008);
    map[64] = '\x11';
    map[100] = '\x03';
    return map;
}

void writeSampleProfile() {
    const SampleAccount accounts[] = {
        {2, "fj.news.reader", mapWithFreeTail(), true, 2048 * 8 * 512},     // long free tail
        {2, "ニュース速報", repeated('\xFF', 64), true, 64 * 8 * 512},      // full mailbox
        {2, "japan.comp.misc", repeated('\0', 256), true, 1 << 20},        // no block in use
        {1, "メール受信箱", repeated('\xFF', 8), true, 64 * 512},           // a mail account: not listed
        {2, "表計算ソフト", repeated('\x0F', 15) + "\x80", true, 80 * 512},  // blocks beyond the end
        {2, "fj.rec.travel", std::string(), false, 200 * 512},             // block map missing
    };
    deleteKeyTree(kClientPropertiesKey);
    if (fileExists(dataFolder)) removeFolderTree(dataFolder);
    makeFolder(dataFolder);
    writeString(kClientPropertiesKey, "rootPath", dataFolder);
    writeDword(kClientPropertiesKey, "numProperties", sizeof accounts / sizeof accounts[0]);
    int number = 0;
    for (const SampleAccount& account : accounts) {
        writeDword(clientAccountKey(number), "kindOfFolder", account.kind);
        writeString(clientAccountKey(number), "caption", account.caption);
        const std::string folder = dataFolder + "\\account" + std::to_string(number);
        makeFolder(folder);
        if (account.hasMap) writeWholeFile(folder + "\\news.bmp", account.map);
        makeSparseFile(folder + "\\news.mbx", account.mailboxSize);
        ++number;
    }
}

void writeUtf8(const std::string& path, const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], size, nullptr, nullptr);
    writeWholeFile(path, utf8);
}

TEST(Demo, Run) {
    writeSampleProfile();
    if (mode == "prepare") return;

    driver::Program program;
    ASSERT_TRUE(program.start(tavixPath));
    HWND main = driver::waitForWindow(program.id(), L"Morvex News System Checker");
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(driver::sendCommand(main, IDC_SELECT_ALL));
    ASSERT_TRUE(driver::sendAndWait(GetDlgItem(main, IDC_SHOW_REAL_DEFRAG), BM_SETCHECK, BST_CHECKED));
    EXPECT_TRUE(driver::saveWindowPicture(main, outputFolder + "\\main-window.bmp"));

    ASSERT_TRUE(driver::postCommand(main, IDC_ESTIMATE));
    std::vector<driver::BoxRecord> warnings;
    HWND result = driver::waitForWindowAnsweringBoxes(program, L"デフラグ見積り", &warnings);
    ASSERT_NE(result, nullptr);
    EXPECT_TRUE(warnings.empty());
    EXPECT_TRUE(driver::saveWindowPicture(result, outputFolder + "\\result-window.bmp"));
    writeUtf8(outputFolder + "\\report.txt", driver::itemText(result, IDC_REPORT));

    driver::sendCommand(result, IDOK);
    driver::waitUntilGone(result);
    PostMessageW(main, WM_CLOSE, 0, 0);
    DWORD exitCode = 1;
    EXPECT_TRUE(program.waitForExit(&exitCode));
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    mode = argc > 1 ? argv[1] : "";
    if (mode == "prepare" && argc == 3) {
        dataFolder = argv[2];
    } else if (mode == "run" && argc == 5) {
        tavixPath = argv[2];
        dataFolder = argv[3];
        outputFolder = argv[4];
    } else {
        std::fprintf(stderr,
                     "usage: %s prepare <data folder>\n"
                     "       %s run <path of tavix.exe> <data folder> <output folder>\n",
                     argv[0], argv[0]);
        return 2;
    }
    return RUN_ALL_TESTS();
}
