#include "driver.h"

#include "fixture.h"

// After windows.h, which they need.
#include <psapi.h>
#include <winternl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace driver {

namespace {

const DWORD kPollMs = 20;

bool pastDeadline(DWORD start, DWORD timeoutMs) { return GetTickCount() - start > timeoutMs; }

// Wine maps the Unix root to drive Z:.
std::wstring windowsPath(const std::string& path) {
    std::wstring converted = widened(path);
    if (converted.empty() || converted[0] != L'/') return converted;
    for (wchar_t& c : converted) c = c == L'/' ? L'\\' : c;
    return L"Z:" + converted;
}

struct WindowSearch {
    DWORD processId;
    const std::wstring* title;  // null: any message box
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<WindowSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t text[256] = {};
    if (owner != search->processId || (search->visibleOnly && !IsWindowVisible(window))) return TRUE;
    if (GetClassNameW(window, text, 256) == 0 || std::wstring(text) != L"#32770") return TRUE;
    // A top-level window's title is kept outside the program, so reading
    // it does not wait for the program's thread.
    GetWindowTextW(window, text, 256);
    const bool matches = search->title != nullptr ? *search->title == text : GetDlgItem(window, 0xFFFF) != nullptr;
    if (!matches) return TRUE;
    search->found = window;
    return FALSE;
}

HWND searchWindows(DWORD processId, const std::wstring* title, bool visibleOnly) {
    WindowSearch search{processId, title, visibleOnly, nullptr};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A 32-bit top-down bitmap to copy the screen into or draw on.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC dc() const { return dc_; }
    std::vector<uint32_t> pixels() const {
        GdiFlush();
        return bits_ == nullptr ? std::vector<uint32_t>() : std::vector<uint32_t>(bits_, bits_ + width_ * height_);
    }
    void fill(uint32_t pixel) {
        GdiFlush();
        for (int i = 0; bits_ != nullptr && i < width_ * height_; ++i) bits_[i] = pixel;
    }

private:
    int width_;
    int height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    uint32_t* bits_ = nullptr;
};

int width(const RECT& rect) { return rect.right - rect.left; }
int height(const RECT& rect) { return rect.bottom - rect.top; }

std::vector<uint32_t> copyFromScreen(const RECT& rect) {
    Canvas canvas(width(rect), height(rect));
    HDC screen = GetDC(nullptr);
    BitBlt(canvas.dc(), 0, 0, width(rect), height(rect), screen, rect.left, rect.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    return canvas.pixels();
}

std::vector<uint32_t> drawnIcon(LPCSTR icon, int w, int h, uint32_t background) {
    Canvas canvas(w, h);
    canvas.fill(background);
    DrawIconEx(canvas.dc(), 0, 0, LoadIconA(nullptr, icon), w, h, 0, nullptr, DI_NORMAL);
    return canvas.pixels();
}

// A new temporary file for a program's stream to go into.
HANDLE newCaptureFile(SECURITY_ATTRIBUTES* inherited, std::string* path) {
    char temp[MAX_PATH] = {};
    char name[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    GetTempFileNameA(temp, "out", 0, name);
    *path = name;
    return CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, inherited, CREATE_ALWAYS, 0, nullptr);
}

// What went into the file, which goes.
std::string takeCapture(HANDLE file, const std::string& path) {
    CloseHandle(file);
    std::string bytes = readFileAt(path, 0, 1 << 24);
    DeleteFileA(path.c_str());
    return bytes;
}

bool startConsoleProgram(const std::string& exePath, const std::wstring& arguments, HANDLE output, HANDLE errors,
                         DWORD flags, PROCESS_INFORMATION* process) {
    std::wstring commandLine = L"\"" + windowsPath(exePath) + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = errors;
    return CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, flags, nullptr, nullptr, &startup,
                          process) != FALSE;
}

// Waits for the program's end, ending it at the deadline.
void awaitEnd(PROCESS_INFORMATION* process, DWORD timeoutMs, ConsoleRun* run) {
    run->ended = WaitForSingleObject(process->hProcess, timeoutMs) == WAIT_OBJECT_0;
    if (!run->ended) TerminateProcess(process->hProcess, 1);
    GetExitCodeProcess(process->hProcess, &run->exitCode);
    CloseHandle(process->hThread);
    CloseHandle(process->hProcess);
}

uint64_t difference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    uint64_t sum = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            sum += std::abs(static_cast<int>((a[i] >> shift) & 0xFF) - static_cast<int>((b[i] >> shift) & 0xFF));
        }
    }
    return sum;
}

BOOL CALLBACK matchIconControl(HWND child, LPARAM lParam) {
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) return TRUE;
    *reinterpret_cast<HWND*>(lParam) = child;
    return FALSE;
}

// Which standard icon the box shows, by comparing its icon control on the
// screen with each standard icon drawn on the same background; Unknown until
// one matches clearly better than the others (the box may not be painted yet).
BoxIcon shownIcon(HWND box) {
    HWND control = nullptr;
    EnumChildWindows(box, matchIconControl, reinterpret_cast<LPARAM>(&control));
    RECT rect;
    if (control == nullptr || !GetWindowRect(control, &rect) || width(rect) <= 0 || height(rect) <= 0) {
        return BoxIcon::Unknown;
    }
    const std::vector<uint32_t> shown = copyFromScreen(rect);
    if (shown.empty()) return BoxIcon::Unknown;
    // clang-format off
    const struct { LPCSTR id; BoxIcon icon; } candidates[] = {{IDI_HAND, BoxIcon::Error},
                                                           {IDI_EXCLAMATION, BoxIcon::Warning},
                                                           {IDI_ASTERISK, BoxIcon::Information},
                                                           {IDI_QUESTION, BoxIcon::Question}};
    // clang-format on
    uint64_t best = UINT64_MAX;
    uint64_t second = UINT64_MAX;
    BoxIcon found = BoxIcon::Unknown;
    for (const auto& candidate : candidates) {
        const uint64_t d = difference(shown, drawnIcon(candidate.id, width(rect), height(rect), shown[0]));
        if (d < best) {
            second = best;
            best = d;
            found = candidate.icon;
        } else if (d < second) {
            second = d;
        }
    }
    return best * 3 < second ? found : BoxIcon::Unknown;
}

bool writeBmp(const std::vector<uint32_t>& pixels, int w, int h, const std::string& path) {
    const int rowBytes = (w * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{sizeof info, w, h, 1, 24, BI_RGB, static_cast<DWORD>(rowBytes * h), 0, 0, 0, 0};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return false;
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info, sizeof info, 1, out);
    std::vector<unsigned char> row(rowBytes);
    for (int y = h - 1; y >= 0; --y) {  // BMP rows go bottom-up
        for (int x = 0; x < w; ++x) {
            const uint32_t p = pixels[y * w + x];
            row[x * 3] = p & 0xFF;
            row[x * 3 + 1] = (p >> 8) & 0xFF;
            row[x * 3 + 2] = (p >> 16) & 0xFF;
        }
        std::fwrite(row.data(), 1, row.size(), out);
    }
    return std::fclose(out) == 0;
}

// The handles of one process in the system's handle list.
size_t handleCount(DWORD processId) {
    struct HandleEntry {  // SYSTEM_HANDLE_ENTRY
        ULONG ownerPid;
        BYTE objectType;
        BYTE flags;
        USHORT value;
        PVOID object;
        ULONG access;
    };
    struct HandleList {  // SYSTEM_HANDLE_INFORMATION
        ULONG count;
        HandleEntry first;
    };
    const auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
    const NTSTATUS kLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
    std::vector<BYTE> buffer(1 << 16);
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(kSystemHandleInformation, buffer.data(),
                                              static_cast<ULONG>(buffer.size()), nullptr)) == kLengthMismatch) {
        buffer.resize(buffer.size() * 2);
    }
    if (status < 0) return SIZE_MAX;
    const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
    size_t count = 0;
    for (ULONG i = 0; i < list->count; ++i) count += (&list->first)[i].ownerPid == processId ? 1 : 0;
    return count;
}

template <typename Value>
bool readFrom(HANDLE process, uint64_t address, Value* value) {
    return address <= UINTPTR_MAX - sizeof(Value) &&
           ReadProcessMemory(process, reinterpret_cast<void*>(static_cast<uintptr_t>(address)), value, sizeof(Value),
                             nullptr);
}

// Where a 32-bit process keeps its GDI handle table: GdiSharedHandleTable in
// its environment block; under WoW64 only the 64-bit block has it, found
// through the 64-bit thread block that lies WowTebOffset bytes from the
// thread's 32-bit one.
uint64_t gdiTableOf(HANDLE process, HANDLE thread) {
    struct ThreadBasics {  // THREAD_BASIC_INFORMATION
        NTSTATUS exitStatus;
        PVOID teb;
        CLIENT_ID clientId;
        ULONG_PTR affinityMask;
        LONG priority;
        LONG basePriority;
    };
    PROCESS_BASIC_INFORMATION basic{};
    uint32_t table = 0;
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) < 0 ||
        !readFrom(process, reinterpret_cast<uintptr_t>(basic.PebBaseAddress) + 0x94, &table)) {
        return 0;
    }
    if (table != 0) return table;
    ThreadBasics threadBasics{};
    LONG wowTebOffset = 0;
    uint64_t peb64 = 0;
    uint64_t table64 = 0;
    if (NtQueryInformationThread(thread, ThreadBasicInformation, &threadBasics, sizeof threadBasics, nullptr) < 0) {
        return 0;
    }
    const uint64_t teb = reinterpret_cast<uintptr_t>(threadBasics.teb);
    if (!readFrom(process, teb + 0xFDC, &wowTebOffset) || wowTebOffset == 0 ||
        !readFrom(process, teb + wowTebOffset + 0x60, &peb64) || !readFrom(process, peb64 + 0xF8, &table64)) {
        return 0;
    }
    return table64;
}

// The live objects in the GDI handle table: 0x10000 entries of 24 bytes, the
// object's type in byte 14, 0 for a free entry.
size_t gdiObjectCount(HANDLE process, HANDLE thread) {
    constexpr size_t kEntries = 0x10000;
    constexpr size_t kEntryBytes = 24;
    constexpr size_t kTypeOffset = 14;
    const uint64_t table = gdiTableOf(process, thread);
    std::vector<BYTE> entries(kEntries * kEntryBytes);
    if (table == 0 || table > UINTPTR_MAX ||
        !ReadProcessMemory(process, reinterpret_cast<void*>(static_cast<uintptr_t>(table)), entries.data(),
                           entries.size(), nullptr)) {
        return SIZE_MAX;
    }
    size_t count = 0;
    for (size_t i = 0; i < kEntries; ++i) count += entries[i * kEntryBytes + kTypeOffset] != 0 ? 1 : 0;
    return count;
}

// A console's rows down to its cursor, each without its trailing blanks,
// joined: a line that wraps reads whole.
std::wstring screenText(HANDLE console) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(console, &info);
    std::wstring text;
    std::wstring row(static_cast<size_t>(info.dwSize.X), L' ');
    for (SHORT y = 0; y <= info.dwCursorPosition.Y; ++y) {
        DWORD read = 0;
        ReadConsoleOutputCharacterW(console, &row[0], info.dwSize.X, COORD{0, y}, &read);
        text.append(row, 0, row.find_last_not_of(L' ') + 1);
    }
    return text;
}

}  // namespace

bool processResources(const Program& program, ProcessResources* resources) {
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    const bool read = GetProcessMemoryInfo(program.process(), &memory, sizeof memory) != FALSE;
    *resources = ProcessResources{memory.PagefileUsage, handleCount(program.id()),
                                  gdiObjectCount(program.process(), program.mainThread())};
    return read && resources->handles != SIZE_MAX && resources->gdiObjects != SIZE_MAX;
}

std::wstring widened(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    wide.resize(MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                    static_cast<int>(wide.size())));
    return wide;
}

Program::~Program() { end(); }

void Program::end() {
    if (info_.hProcess == nullptr) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, kDeadlineMs);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
    info_ = PROCESS_INFORMATION{};
}

bool Program::start(const std::string& exePath) {
    end();
    std::wstring commandLine = L"\"" + windowsPath(exePath) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_)) {
        return false;
    }
    return WaitForInputIdle(info_.hProcess, kDeadlineMs) == 0;
}

bool Program::waitForExit(DWORD* exitCode, DWORD timeoutMs) {
    return WaitForSingleObject(info_.hProcess, timeoutMs) == WAIT_OBJECT_0 &&
           GetExitCodeProcess(info_.hProcess, exitCode);
}

bool Program::running() const {
    return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

ConsoleRun runConsole(const std::string& exePath, const std::wstring& arguments, Output output, DWORD timeoutMs) {
    ConsoleRun run{false, 0, std::string(), std::string(), std::wstring()};
    std::string files[2];
    HANDLE streams[2] = {};
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE pipe = nullptr;  // the reading end, when standard output is a pipe
    if (output == Output::Pipe && CreatePipe(&pipe, &streams[0], &inherited, 0)) {
        SetHandleInformation(pipe, HANDLE_FLAG_INHERIT, 0);
    }
    HANDLE unread = INVALID_HANDLE_VALUE;  // the server end of the pipe nobody reads
    if (output == Output::PipeThatTakesNothing) {
        const std::string name = "\\\\.\\pipe\\tavix-test-" + std::to_string(GetCurrentProcessId());
        unread = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE, 1, 16, 16, 0, nullptr);
        streams[0] =
            CreateFileA(name.c_str(), GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, 0, &inherited, OPEN_EXISTING, 0, nullptr);
        DWORD mode = PIPE_READMODE_BYTE | PIPE_NOWAIT;
        SetNamedPipeHandleState(streams[0], &mode, nullptr, nullptr);
    }
    // The program shares this process's console, made for it when there is
    // none to open (Wine starts this process with a console it cannot open
    // when its streams are no terminal).
    // A console to be read back is a new one, with room for long texts.
    const bool shown = output == Output::Console;
    const bool console = shown || output == Output::ConsoleThatTakesNoText;
    const auto openConsole = [&inherited, shown] {
        return CreateFileW(shown ? L"CONOUT$" : L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr);
    };
    bool consoleMade = false;
    if (console && (shown || (streams[0] = openConsole()) == INVALID_HANDLE_VALUE)) {
        FreeConsole();
        consoleMade = AllocConsole() != FALSE;
        streams[0] = openConsole();
    }
    if (shown) {
        SetConsoleScreenBufferSize(streams[0], COORD{80, 400});
        streams[1] = streams[0];
    }
    const int firstFile = output == Output::File ? 0 : 1;
    const int endOfFiles = shown ? 1 : 2;
    for (int i = firstFile; i < endOfFiles; ++i) streams[i] = newCaptureFile(&inherited, &files[i]);
    // Read while the program writes, so that it never waits for room in the
    // pipe; the reading ends when the program's end of it closes.
    std::thread reader([&run, pipe] {
        char chunk[4096];
        DWORD got = 0;
        while (pipe != nullptr && ReadFile(pipe, chunk, sizeof chunk, &got, nullptr)) run.output.append(chunk, got);
    });
    PROCESS_INFORMATION process{};
    const bool started =
        startConsoleProgram(exePath, arguments, streams[0], streams[1], console ? 0 : CREATE_NO_WINDOW, &process);
    if (pipe != nullptr || unread != INVALID_HANDLE_VALUE) CloseHandle(streams[0]);  // the program holds its own copy
    if (started) awaitEnd(&process, timeoutMs, &run);
    reader.join();
    if (pipe != nullptr) CloseHandle(pipe);
    if (unread != INVALID_HANDLE_VALUE) CloseHandle(unread);
    if (shown) run.screen = screenText(streams[0]);
    if (console) CloseHandle(streams[0]);
    if (consoleMade) FreeConsole();
    for (int i = firstFile; i < endOfFiles; ++i) (i == 0 ? run.output : run.errors) = takeCapture(streams[i], files[i]);
    return run;
}

ConsoleRun runConsoleHeldUp(const std::string& exePath, const std::wstring& arguments, Stream heldUp,
                            const std::function<void()>& meanwhile, bool* waited) {
    ConsoleRun run{false, 0, std::string(), std::string(), std::wstring()};
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    // Under Wine a write waits while the pipe would hold more than its size,
    // here one byte, until the pipe is read.
    HANDLE pipe = nullptr;
    HANDLE pipeEnd = nullptr;
    if (!CreatePipe(&pipe, &pipeEnd, &inherited, 1)) return run;
    SetHandleInformation(pipe, HANDLE_FLAG_INHERIT, 0);
    std::string fileName;
    HANDLE file = newCaptureFile(&inherited, &fileName);
    const bool outputHeld = heldUp == Stream::Output;
    PROCESS_INFORMATION process{};
    const bool started = startConsoleProgram(exePath, arguments, outputHeld ? pipeEnd : file,
                                             outputHeld ? file : pipeEnd, CREATE_NO_WINDOW, &process);
    CloseHandle(pipeEnd);  // the program holds its own copy
    *waited = false;
    if (started) {
        DWORD available = 0;
        const DWORD start = GetTickCount();
        while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available == 0 &&
               !pastDeadline(start, kDeadlineMs)) {
            Sleep(kPollMs);
        }
        if (available > 0) {
            meanwhile();
            *waited = WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
        }
    }
    std::string& piped = outputHeld ? run.output : run.errors;
    char chunk[4096];
    DWORD got = 0;
    while (started && ReadFile(pipe, chunk, sizeof chunk, &got, nullptr)) piped.append(chunk, got);
    CloseHandle(pipe);
    if (started) awaitEnd(&process, kDeadlineMs, &run);
    (outputHeld ? run.errors : run.output) = takeCapture(file, fileName);
    return run;
}

HWND findWindow(DWORD processId, const std::wstring& title, bool visibleOnly) {
    return searchWindows(processId, &title, visibleOnly);
}

HWND waitForWindow(DWORD processId, const std::wstring& title, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND window = findWindow(processId, title)) return window;
        if (pastDeadline(start, timeoutMs)) return nullptr;
        Sleep(kPollMs);
    }
}

bool waitUntilGone(HWND window, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (pastDeadline(start, timeoutMs)) return false;
        Sleep(kPollMs);
    }
    return true;
}

bool sendAndWait(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    DWORD_PTR answer = 0;
    const bool handled = SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kDeadlineMs, &answer) != 0;
    if (result != nullptr) *result = static_cast<LRESULT>(answer);
    return handled;
}

std::wstring windowText(HWND window) {
    LRESULT length = 0;
    if (!sendAndWait(window, WM_GETTEXTLENGTH, 0, 0, &length)) return L"<no answer>";
    std::wstring text(length + 1, L'\0');
    LRESULT copied = 0;
    sendAndWait(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), &copied);
    text.resize(copied);
    return text;
}

std::wstring itemText(HWND dialog, int id) { return windowText(GetDlgItem(dialog, id)); }

bool sendCommand(HWND dialog, WPARAM wParam) { return sendAndWait(dialog, WM_COMMAND, wParam, 0); }

bool postCommand(HWND dialog, WPARAM wParam) { return PostMessageW(dialog, WM_COMMAND, wParam, 0) != FALSE; }

std::vector<std::wstring> listTexts(HWND list) {
    LRESULT count = 0;
    sendAndWait(list, LB_GETCOUNT, 0, 0, &count);
    std::vector<std::wstring> texts;
    for (int row = 0; row < count; ++row) {
        LRESULT length = 0;
        sendAndWait(list, LB_GETTEXTLEN, row, 0, &length);
        std::wstring text(length + 1, L'\0');
        sendAndWait(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(&text[0]), &length);
        text.resize(length < 0 ? 0 : length);
        texts.push_back(text);
    }
    return texts;
}

std::vector<LPARAM> listItemData(HWND list) {
    LRESULT count = 0;
    sendAndWait(list, LB_GETCOUNT, 0, 0, &count);
    std::vector<LPARAM> data(count < 0 ? 0 : count);
    for (int row = 0; row < count; ++row) sendAndWait(list, LB_GETITEMDATA, row, 0, &data[row]);
    return data;
}

std::vector<int> selectedRows(HWND list) {
    LRESULT count = 0;
    sendAndWait(list, LB_GETCOUNT, 0, 0, &count);
    std::vector<int> rows;
    for (int row = 0; row < count; ++row) {
        LRESULT selected = 0;
        if (sendAndWait(list, LB_GETSEL, row, 0, &selected) && selected > 0) rows.push_back(row);
    }
    return rows;
}

bool selectOnly(HWND list, const std::vector<int>& rows) {
    bool ok = sendAndWait(list, LB_SETSEL, FALSE, -1);
    for (int row : rows) ok = sendAndWait(list, LB_SETSEL, TRUE, row) && ok;
    return ok;
}

HWND findMessageBox(DWORD processId) { return searchWindows(processId, nullptr, true); }

MessageBoxRecorder::MessageBoxRecorder(DWORD processId, std::function<void()> whileShown)
    : processId_(processId), whileShown_(std::move(whileShown)), helper_([this] { answerBoxes(); }) {}

MessageBoxRecorder::~MessageBoxRecorder() {
    if (helper_.joinable()) finish();
}

std::vector<BoxRecord> MessageBoxRecorder::finish() {
    stopping_ = true;
    helper_.join();
    // Reported here, on the caller's thread.
    if (boxStuck_) fixtureFailed("a message box did not close after OK");
    return boxes_;
}

void MessageBoxRecorder::answerBoxes() {
    while (!stopping_) {
        const HWND box = findMessageBox(processId_);
        if (box == nullptr) {
            Sleep(kPollMs);
            continue;
        }
        const HWND owner = GetWindow(box, GW_OWNER);
        BoxRecord record{itemText(box, 0xFFFF), BoxIcon::Unknown, owner, owner != nullptr && IsWindowVisible(owner)};
        // The box may not be painted yet when it first shows.
        const DWORD start = GetTickCount();
        while ((record.icon = shownIcon(box)) == BoxIcon::Unknown && !pastDeadline(start, kDeadlineMs / 4)) {
            Sleep(kPollMs);
        }
        boxes_.push_back(record);
        if (whileShown_) whileShown_();
        // Posted, not sent: the box's own thread ends its modal loop.
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
        if (!waitUntilGone(box)) {
            boxStuck_ = true;
            return;
        }
    }
}

bool saveWindowPicture(HWND window, const std::string& bmpPath) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) return false;
    std::vector<uint32_t> previous;
    std::vector<uint32_t> current = copyFromScreen(rect);
    const DWORD start = GetTickCount();
    while (current != previous && !pastDeadline(start, kDeadlineMs / 4)) {
        Sleep(10 * kPollMs);
        previous = current;
        current = copyFromScreen(rect);
    }
    return writeBmp(current, width(rect), height(rect), bmpPath);
}

}  // namespace driver
