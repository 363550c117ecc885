// Drives a dialog program, from another process or from a helper thread, the
// way a user would see it: starts the program, finds its windows by title,
// sends it commands, answers its message boxes, reads its controls back and
// takes pictures of its windows. Nothing here sleeps a fixed time: every wait polls for a
// condition until a deadline. Text is read with the W calls, so it arrives
// as UTF-16 whatever code page the program uses.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace driver {

constexpr DWORD kDeadlineMs = 20000;

// A program this driver started; terminated by its handle when it is still
// running as the object goes, so a failed test leaves no process behind.
class Program {
public:
    Program() = default;
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Starts the program (a Unix path is taken as drive Z:) and waits until
    // it first waits for input. A program started before is ended first.
    bool start(const std::string& exePath);
    bool waitForExit(DWORD* exitCode, DWORD timeoutMs = kDeadlineMs);
    bool running() const;
    DWORD id() const { return info_.dwProcessId; }
    HANDLE process() const { return info_.hProcess; }
    HANDLE mainThread() const { return info_.hThread; }

private:
    void end();

    PROCESS_INFORMATION info_{};
};

// Code page 932 text, the programs' own, as the user reads it.
std::wstring widened(const std::string& text);

// What a console program wrote and how it ended.
struct ConsoleRun {
    bool ended;  // false: still running at the deadline, then terminated
    DWORD exitCode;
    std::string output;  // standard output and error, byte for byte
    std::string errors;
    std::wstring screen;  // what a console showed, its rows joined
};
// Where a console program's standard output goes: a file, or an anonymous
// pipe, as in "tavixc list | findstr ...".
// A console of its own takes both streams and shows them as a user would
// see them. A console input handle takes no text: a console whose every
// write fails. A non-blocking pipe nobody reads takes nothing once its small buffer is
// full: each write succeeds, having written nothing.
enum class Output { File, Pipe, Console, ConsoleThatTakesNoText, PipeThatTakesNothing };
// Runs a console program (a Unix path is taken as drive Z:) with the given
// arguments, as UTF-16 the way a console passes them, to its end.
ConsoleRun runConsole(const std::string& exePath, const std::wstring& arguments, Output output = Output::File,
                      DWORD timeoutMs = kDeadlineMs);

// Runs a console program whose standard output or error goes into a pipe
// that is not read, the other stream into a file. Once the program has
// written to the pipe and waits for it to be read, `meanwhile` runs; then
// the pipe is read to its end. *waited tells whether the program was still
// waiting when `meanwhile` was done.
enum class Stream { Output, Error };
ConsoleRun runConsoleHeldUp(const std::string& exePath, const std::wstring& arguments, Stream heldUp,
                            const std::function<void()>& meanwhile, bool* waited);

// The process's top-level dialog (class "#32770") with this title, or null.
HWND findWindow(DWORD processId, const std::wstring& title, bool visibleOnly = true);
// A visible one, or null at the deadline.
HWND waitForWindow(DWORD processId, const std::wstring& title, DWORD timeoutMs = kDeadlineMs);
bool waitUntilGone(HWND window, DWORD timeoutMs = kDeadlineMs);

// A window's or a control's text (WM_GETTEXT).
std::wstring windowText(HWND window);
std::wstring itemText(HWND dialog, int id);

// Sends and waits until the window's thread has handled the message. Not
// for anything that opens a modal window: post those and wait for the window.
bool sendAndWait(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0, LRESULT* result = nullptr);
bool sendCommand(HWND dialog, WPARAM wParam);
bool postCommand(HWND dialog, WPARAM wParam);

// List boxes.
std::vector<std::wstring> listTexts(HWND list);
std::vector<LPARAM> listItemData(HWND list);
std::vector<int> selectedRows(HWND list);
bool selectOnly(HWND list, const std::vector<int>& rows);

// What a process holds, as far as Wine can tell (its GetGuiResources and
// GetProcessHandleCount answer 0): its private memory, its handles in the
// system's handle list, and its live GDI objects in the GDI handle table its
// process environment block points to.
struct ProcessResources {
    SIZE_T memory;
    size_t handles;
    size_t gdiObjects;
};
bool processResources(const Program& program, ProcessResources* resources);

// Message boxes: a visible dialog with the static text 0xFFFF.
enum class BoxIcon { Unknown, Error, Warning, Information, Question };
struct BoxRecord {
    std::wstring text;
    BoxIcon icon;
    HWND owner;
    bool ownerVisible;  // whether the owner was on screen when the box came
};
HWND findMessageBox(DWORD processId);

// Answers the message boxes that a process (by default this one) shows while
// the recorder lives: a helper thread waits for each box to appear, records
// it, runs `whileShown` when given and presses OK, so code that warns with a
// modal MessageBoxA can run inside a test, and a program can be driven
// through its warnings.
//
// A box is only recorded once it is visible, that is after its dialog has
// been initialised, and the next box is only looked for after the previous
// one is gone. Since MessageBoxA does not return before its box is gone,
// every box the code showed has been recorded by the time that code returns;
// nothing depends on how fast either thread runs.
class MessageBoxRecorder {
public:
    explicit MessageBoxRecorder(DWORD processId = GetCurrentProcessId(), std::function<void()> whileShown = nullptr);
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    // Ends the helper thread and returns every box it answered, in order.
    std::vector<BoxRecord> finish();

private:
    void answerBoxes();

    DWORD processId_;
    std::atomic<bool> stopping_{false};
    bool boxStuck_ = false;
    std::vector<BoxRecord> boxes_;
    std::function<void()> whileShown_;
    std::thread helper_;  // last: it starts at once
};

// Copies the window from the screen, once its picture has stopped changing,
// to a 24-bit BMP file.
bool saveWindowPicture(HWND window, const std::string& bmpPath);

}  // namespace driver
