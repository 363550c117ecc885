// Answers the message boxes that this process shows while a recorder lives:
// a helper thread waits for each box to appear, records it and presses OK,
// so code that warns with a modal MessageBoxA can run inside a test.
//
// A box is only recorded once it is visible, that is after its dialog has
// been initialised, and the next box is only looked for after the previous
// one is gone. Since MessageBoxA does not return before its box is gone,
// every box the code under test showed has been recorded by the time that
// code returns; nothing depends on how fast either thread runs.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

struct RecordedBox {
    std::string text;       // the message as code page 932 bytes (WM_GETTEXT A)
    std::wstring wideText;  // the same message as the box shows it (WM_GETTEXT W)
    HWND owner;
};

class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    // Ends the helper thread and returns every box it answered, in order.
    std::vector<RecordedBox> finish();

private:
    void answerBoxes();

    std::atomic<bool> stopping_{false};
    bool boxStuck_ = false;
    std::vector<RecordedBox> boxes_;
    std::thread helper_;
};
