// The few platform operations the account check needs. Both programs link
// platform_win32.cpp for files and memory; the window shows warnings in
// message boxes and the report in its report control (src/ui), tavixc writes
// them to standard error and output (src/cli). The host tests link an
// in-memory double that can make any of them fail.
#pragma once

#include <cstddef>
#include <cstdint>

// Opaque to the account check: windows in tavix.exe, the console in tavixc,
// recorders in tests.
struct WarningOwner;  // whom a warning concerns: the window that owns it
struct ReportSink;    // the report text, only ever appended to

struct PlatformFile;  // an open file

enum class FileAccess { Read, Write };

// Opens an existing file with no sharing, so that a file the client holds
// open cannot be opened. Returns nullptr on failure.
PlatformFile* openExistingFile(const char* path, FileAccess access);
void closeFile(PlatformFile* file);
// The file's full 64-bit size; false when it cannot be taken.
bool fileSize(PlatformFile* file, uint64_t* size);
// One read from the current position; *bytesRead tells how much arrived.
bool readFile(PlatformFile* file, void* buffer, uint32_t count, uint32_t* bytesRead);
// Sets the file's length: shortens it, or lengthens it with zeros.
bool setFileLength(PlatformFile* file, uint64_t length);
bool deleteFile(const char* path);

// The buffer the block map is read into; nullptr when memory runs out.
void* allocateBuffer(size_t size);
void freeBuffer(void* buffer);

void warnUser(WarningOwner* owner, const char* message);
void appendReport(ReportSink* sink, const char* text);

// RAII for PlatformFile, so every path out of a routine closes what it opened.
class ScopedFile {
public:
    explicit ScopedFile(PlatformFile* file) : file_(file) {}
    ~ScopedFile() { close(); }
    ScopedFile(const ScopedFile&) = delete;
    ScopedFile& operator=(const ScopedFile&) = delete;
    PlatformFile* get() const { return file_; }
    explicit operator bool() const { return file_ != nullptr; }
    void close() {
        if (file_ != nullptr) closeFile(file_);
        file_ = nullptr;
    }

private:
    PlatformFile* file_;
};
