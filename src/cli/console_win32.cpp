// tavixc's console on Win32.
#include "cli/console.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cwchar>

namespace {

// Every text tavixc handles is code page 932, whatever code page Windows
// gave the program.
constexpr UINT kTextCodePage = 932;

std::wstring widened(const std::string& bytes) {
    const int length = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(kTextCodePage, 0, bytes.data(), length, nullptr, 0);
    std::wstring text(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(kTextCodePage, 0, bytes.data(), length, &text[0], size);
    return text;
}

bool isConsole(HANDLE handle) {
    DWORD consoleMode = 0;
    return GetConsoleMode(handle, &consoleMode) != 0;
}

// A console shows UTF-16 text right whatever its own code page (chcp 65001
// included), where code page 932 bytes would only read right under 932.
bool writeToConsole(HANDLE console, const std::wstring& text) {
    const wchar_t* next = text.data();
    size_t left = text.size();
    DWORD written = 0;
    while (left > 0 && WriteConsoleW(console, next, static_cast<DWORD>(left < 8192 ? left : 8192), &written, nullptr) &&
           written > 0) {
        next += written;
        left -= written;
    }
    return left == 0;
}

// A file or a pipe gets the bytes as they are. Stops at the first write that
// fails or takes nothing, so that a stream that cannot take the text never
// holds the program up.
bool writeAll(DWORD stream, const std::string& bytes) {
    HANDLE handle = GetStdHandle(stream);
    if (isConsole(handle)) return writeToConsole(handle, widened(bytes));
    const char* next = bytes.data();
    DWORD left = static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    while (left > 0 && WriteFile(handle, next, left, &written, nullptr) && written > 0) {
        next += written;
        left -= written;
    }
    return left == 0;
}

// No best-fit guesses: "²" must not become "2", nor "é" "e". *exact tells
// whether every character has a code page 932 form; the others become '?'.
std::string narrowed(const wchar_t* text, bool* exact) {
    const int size = WideCharToMultiByte(kTextCodePage, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {  // not even the terminator converted
        *exact = false;
        return std::string();
    }
    BOOL usedDefault = FALSE;
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(kTextCodePage, WC_NO_BEST_FIT_CHARS, text, -1, &bytes[0], size, nullptr, &usedDefault);
    bytes.resize(bytes.size() - 1);  // the terminator
    *exact = !usedDefault;
    return bytes;
}

}  // namespace

// The command line is split as UTF-16 and only then turned into code page
// 932: splitting the bytes would take the second byte of "表" or "ソ"
// (0x5C, a backslash) before a quote for an escape.
std::vector<std::string> commandArguments(InexactArgument* inexact) {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (words == nullptr) return arguments;
    for (int i = 1; i < count; ++i) {
        bool exact = true;
        arguments.push_back(narrowed(words[i], &exact));
        if (!exact && inexact->typed.empty()) {
            *inexact = InexactArgument{arguments.back(), std::u16string(words[i], words[i] + std::wcslen(words[i]))};
        }
    }
    LocalFree(words);
    return arguments;
}

unsigned ansiCodePage() { return GetACP(); }

bool writeStandardOutput(const std::string& bytes) { return writeAll(STD_OUTPUT_HANDLE, bytes); }

void writeStandardError(const std::string& bytes) { writeAll(STD_ERROR_HANDLE, bytes); }

void writeStandardErrorAround(const std::string& before, const InexactArgument& argument, const std::string& after) {
    HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    if (!isConsole(handle)) {
        writeAll(STD_ERROR_HANDLE, before + argument.shown + after);
        return;
    }
    writeToConsole(handle,
                   widened(before) + std::wstring(argument.typed.begin(), argument.typed.end()) + widened(after));
}
