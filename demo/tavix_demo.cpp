// The demo: a sample client profile that shows the cases a user meets, and
// a headless run of tavix.exe on it.
//   tavix_demo prepare <data folder>
//       writes the client's registry data and account files afresh.
//   tavix_demo run <path of tavix.exe> <data folder> <output folder>
//       prepares, then selects every account, runs Estimate with the true
//       defragmentation line, and saves main-window.bmp, result-window.bmp
//       and report.txt (UTF-8) in the output folder.
#include <cstdio>
#include <string>

#include "driver.h"
#include "fixture.h"
#include "ui/resource_ids.h"

namespace {

bool failed = false;

std::string repeated(char byte, size_t count) { return std::string(count, byte); }

// A map whose first blocks are in use, with a few stragglers further on and
// a long free tail after them.
std::string mapWithFreeTail() {
    std::string map = repeated('\xFF', 40) + repeated('\0', 2008);
    map[64] = '\x11';
    map[100] = '\x03';
    return map;
}

void writeSampleProfile(const ClientProfile& profile) {
    const struct {
        DWORD kind;
        const char* caption;
        std::optional<std::string> map;
        uint64_t mailboxSize;
    } accounts[] = {
        {kNewsKind, "fj.news.reader", mapWithFreeTail(), 2048 * 8 * 512},      // long free tail
        {kNewsKind, "ニュース速報", repeated('\xFF', 64), 64 * 8 * 512},       // full mailbox
        {kNewsKind, "japan.comp.misc", repeated('\0', 256), 1 << 20},          // no block in use
        {kMailKind, "メール受信箱", repeated('\xFF', 8), 64 * 512},            // a mail account: not listed
        {kNewsKind, "表計算ソフト", repeated('\x0F', 15) + "\x80", 80 * 512},  // blocks beyond the end
        {kNewsKind, "fj.rec.travel", std::nullopt, 200 * 512},                 // block map missing
    };
    profile.writeProperties(sizeof accounts / sizeof accounts[0]);
    int32_t number = 0;
    for (const auto& account : accounts) {
        writeAccount(number, account.caption, account.kind);
        profile.writeFiles(number, account.map, account.mailboxSize);
        ++number;
    }
}

void writeUtf8(const std::string& path, const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], size, nullptr, nullptr);
    writeWholeFile(path, utf8);
}

// Works tavix.exe like a user: select every account, tick the check box,
// Estimate, read the report, close both windows.
void runHeadless(const std::string& tavixPath, const std::string& outputFolder) {
    driver::Program program;
    HWND main = program.start(tavixPath) ? driver::waitForWindow(program.id(), kMainTitle) : nullptr;
    if (main == nullptr) return fixtureFailed("tavix.exe did not show its main window");
    driver::sendCommand(main, IDC_SELECT_ALL);
    driver::sendAndWait(GetDlgItem(main, IDC_SHOW_REAL_DEFRAG), BM_SETCHECK, BST_CHECKED);
    if (!driver::saveWindowPicture(main, outputFolder + "\\main-window.bmp")) fixtureFailed("no picture");

    driver::MessageBoxRecorder recorder(program.id());
    driver::postCommand(main, IDC_ESTIMATE);
    HWND result = driver::waitForWindow(program.id(), kEstimateTitle);
    if (!recorder.finish().empty()) fixtureFailed("the sample profile gave a warning");
    if (result == nullptr) return fixtureFailed("the result window did not show");
    if (!driver::saveWindowPicture(result, outputFolder + "\\result-window.bmp")) fixtureFailed("no picture");
    writeUtf8(outputFolder + "\\report.txt", driver::itemText(result, IDC_REPORT));

    driver::sendCommand(result, IDOK);
    driver::waitUntilGone(result);
    PostMessageW(main, WM_CLOSE, 0, 0);
    DWORD exitCode = 1;
    if (!program.waitForExit(&exitCode) || exitCode != 0) fixtureFailed("tavix.exe did not end with 0");
}

}  // namespace

void fixtureFailed(const std::string& what) {
    std::fprintf(stderr, "tavix_demo: %s\n", what.c_str());
    failed = true;
}

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "prepare" && argc == 3) {
        writeSampleProfile(ClientProfile::keptIn(argv[2]));
    } else if (mode == "run" && argc == 5) {
        writeSampleProfile(ClientProfile::keptIn(argv[3]));
        if (!failed) runHeadless(argv[2], argv[4]);
    } else {
        std::fprintf(stderr,
                     "usage: %s prepare <data folder>\n"
                     "       %s run <path of tavix.exe> <data folder> <output folder>\n",
                     argv[0], argv[0]);
        return 2;
    }
    return failed ? 1 : 0;
}
