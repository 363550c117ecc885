// The account check's file and memory operations on Win32, ANSI calls
// throughout. How it reaches the user differs between the programs: see
// src/ui/window_sink_win32.cpp and src/cli/tavixc.cpp.
#include "account/platform.h"

#include <windows.h>

namespace {

HANDLE handleOf(PlatformFile* file) { return reinterpret_cast<HANDLE>(file); }

DWORD desiredAccess(FileAccess access) {
    switch (access) {
    case FileAccess::Read:
        return GENERIC_READ;
    case FileAccess::Write:
        return GENERIC_WRITE;
    case FileAccess::ReadWrite:
        return GENERIC_READ | GENERIC_WRITE;
    case FileAccess::ReadWriteDelete:
        return GENERIC_READ | GENERIC_WRITE | DELETE;
    }
    return 0;
}

}  // namespace

PlatformFile* openExistingFile(const char* path, FileAccess access, bool* missing) {
    HANDLE handle = CreateFileA(path, desiredAccess(access), 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (missing != nullptr) *missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return nullptr;
    }
    return reinterpret_cast<PlatformFile*>(handle);
}

void closeFile(PlatformFile* file) { CloseHandle(handleOf(file)); }

bool fileSize(PlatformFile* file, uint64_t* size) {
    DWORD high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = GetFileSize(handleOf(file), &high);
    // INVALID_FILE_SIZE is also a valid low half; only the error code tells.
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
    *size = (static_cast<uint64_t>(high) << 32) | low;
    return true;
}

bool readFile(PlatformFile* file, void* buffer, uint32_t count, uint32_t* bytesRead) {
    DWORD got = 0;
    const BOOL ok = ReadFile(handleOf(file), buffer, count, &got, nullptr);
    *bytesRead = got;
    return ok != FALSE;
}

bool setFileLength(PlatformFile* file, uint64_t length) {
    LONG high = static_cast<LONG>(length >> 32);
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(handleOf(file), static_cast<LONG>(length & 0xFFFFFFFFu), &high, FILE_BEGIN);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return false;
    return SetEndOfFile(handleOf(file)) != FALSE;
}

bool deleteFile(const char* path) { return DeleteFileA(path) != FALSE; }

bool deleteWhenClosed(PlatformFile* file) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(handleOf(file), FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

void* allocateBuffer(size_t size) { return LocalAlloc(LMEM_FIXED, size); }

void freeBuffer(void* buffer) { LocalFree(buffer); }
