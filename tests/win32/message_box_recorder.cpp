#include "message_box_recorder.h"

#include <gtest/gtest.h>

namespace {

constexpr int kMessageTextId = 0xFFFF;  // the static control holding a message box's text
constexpr DWORD kPollMilliseconds = 5;
constexpr DWORD kCloseDeadlineMilliseconds = 10000;

struct BoxSearch {
    DWORD processId;
    HWND found;
};

// MinGW i686 cannot pass a lambda where a stdcall callback is expected.
BOOL CALLBACK findVisibleBoxOfProcess(HWND window, LPARAM context) {
    BoxSearch* search = reinterpret_cast<BoxSearch*>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId || !IsWindowVisible(window)) return TRUE;
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(className, "#32770") != 0) return TRUE;
    search->found = window;
    return FALSE;
}

HWND findVisibleBox() {
    BoxSearch search{GetCurrentProcessId(), nullptr};
    EnumWindows(findVisibleBoxOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string narrowTextOf(HWND control) {
    const LRESULT length = SendMessageA(control, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT copied = SendMessageA(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(copied));
    return text;
}

std::wstring wideTextOf(HWND control) {
    const LRESULT length = SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(copied));
    return text;
}

bool waitUntilGone(HWND window) {
    const DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - start > kCloseDeadlineMilliseconds) return false;
        Sleep(kPollMilliseconds);
    }
    return true;
}

}  // namespace

MessageBoxRecorder::MessageBoxRecorder() : helper_([this] { answerBoxes(); }) {}

MessageBoxRecorder::~MessageBoxRecorder() {
    if (helper_.joinable()) finish();
}

std::vector<RecordedBox> MessageBoxRecorder::finish() {
    stopping_ = true;
    helper_.join();
    // Reported here, on the test's own thread.
    EXPECT_FALSE(boxStuck_) << "a message box did not close after OK";
    return boxes_;
}

void MessageBoxRecorder::answerBoxes() {
    while (!stopping_) {
        const HWND box = findVisibleBox();
        if (box == nullptr) {
            Sleep(kPollMilliseconds);
            continue;
        }
        const HWND textControl = GetDlgItem(box, kMessageTextId);
        boxes_.push_back(RecordedBox{narrowTextOf(textControl), wideTextOf(textControl), GetWindow(box, GW_OWNER)});
        // Posted, not sent: the box's own thread ends its modal loop.
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
        if (!waitUntilGone(box)) {
            boxStuck_ = true;
            return;
        }
    }
}
