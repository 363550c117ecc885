#include "message_box_recorder.h"

#include <gtest/gtest.h>

#include "driver.h"

namespace {

constexpr int kMessageTextId = 0xFFFF;  // the static control holding a message box's text
constexpr DWORD kPollMilliseconds = 5;

// The text as the program's own code page 932 bytes, which only a reader in
// the same process gets unconverted.
std::string narrowTextOf(HWND control) {
    const LRESULT length = SendMessageA(control, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT copied = SendMessageA(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(copied));
    return text;
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
        const HWND box = driver::findMessageBox(GetCurrentProcessId());
        if (box == nullptr) {
            Sleep(kPollMilliseconds);
            continue;
        }
        const HWND textControl = GetDlgItem(box, kMessageTextId);
        boxes_.push_back(
            RecordedBox{narrowTextOf(textControl), driver::windowText(textControl), GetWindow(box, GW_OWNER)});
        // Posted, not sent: the box's own thread ends its modal loop.
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
        if (!driver::waitUntilGone(box)) {
            boxStuck_ = true;
            return;
        }
    }
}
