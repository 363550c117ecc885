// tavixc's console on Win32.
#include "cli/console.h"

#include <windows.h>
// After windows.h, which they need.
#include <shellapi.h>
#include <winver.h>

namespace {

// Stops at the first write that fails or takes nothing, so that a stream
// that cannot take the text never holds the program up.
bool writeAll(DWORD stream, const std::string& bytes) {
    HANDLE handle = GetStdHandle(stream);
    const char* next = bytes.data();
    DWORD left = static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    while (left > 0 && WriteFile(handle, next, left, &written, nullptr) && written > 0) {
        next += written;
        left -= written;
    }
    return left == 0;
}

std::string narrowed(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? static_cast<size_t>(size) : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &bytes[0], size, nullptr, nullptr);
    bytes.resize(bytes.size() - 1);
    return bytes;
}

}  // namespace

// The command line is split as UTF-16 and only then turned into code page
// 932: splitting the bytes would take the second byte of "表" or "ソ"
// (0x5C, a backslash) before a quote for an escape.
std::vector<std::string> commandArguments() {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (words == nullptr) return arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(narrowed(words[i]));
    LocalFree(words);
    return arguments;
}

bool writeStandardOutput(const std::string& bytes) { return writeAll(STD_OUTPUT_HANDLE, bytes); }

void writeStandardError(const std::string& bytes) { writeAll(STD_ERROR_HANDLE, bytes); }

std::string programVersion() {
    char path[MAX_PATH] = {};
    if (GetModuleFileNameA(nullptr, path, MAX_PATH) == 0) return "?";
    DWORD unused = 0;
    std::string data(GetFileVersionInfoSizeA(path, &unused), '\0');
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (data.empty() || !GetFileVersionInfoA(path, 0, static_cast<DWORD>(data.size()), &data[0]) ||
        !VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || fixed == nullptr) {
        return "?";
    }
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
}
