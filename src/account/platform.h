// The few platform operations the account check needs, and where its output
// goes. Both programs link platform_win32.cpp for files and memory; the host
// tests link an in-memory double that can make any of them fail.
#pragma once

#include <cstddef>
#include <cstdint>

// Where the account check's warnings and report go. Each caller fills in its
// own function: the window shows a warning in a message box owned by the
// result window and appends the report to its report control
// (src/ui/window_sink.h); tavixc writes them to standard error and output.
// Either may wait, a box for its answer and a stream for its reader, so the
// account check calls them only once an account's files are handled.
struct WarningOwner {
    void* context;
    void (*warn)(void* context, const char* message);
};
struct ReportSink {  // only ever appended to
    void* context;
    void (*append)(void* context, const char* text);
};
inline void warnUser(const WarningOwner& owner, const char* message) { owner.warn(owner.context, message); }
inline void appendReport(const ReportSink& sink, const char* text) { sink.append(sink.context, text); }

struct PlatformFile;  // an open file

// ReadWriteDelete and ReadWrite are for a block map held from its reading to
// the end of its cut: it can be read and cut, and with the first also
// deleted, through the one handle. A file whose deletion is denied to the
// user can still be opened with the second.
enum class FileAccess { Read, Write, ReadWrite, ReadWriteDelete };

// Opens an existing file with no sharing, so that a file the client holds
// open cannot be opened, and the client cannot open a file held here.
// Returns nullptr on failure, with *missing (when given) telling whether the
// file or a folder on its path does not exist.
PlatformFile* openExistingFile(const char* path, FileAccess access, bool* missing = nullptr);
void closeFile(PlatformFile* file);
// The file's full 64-bit size; false when it cannot be taken.
bool fileSize(PlatformFile* file, uint64_t* size);
// One read from the current position; *bytesRead tells how much arrived.
bool readFile(PlatformFile* file, void* buffer, uint32_t count, uint32_t* bytesRead);
// Sets the file's length: shortens it, or lengthens it with zeros.
bool setFileLength(PlatformFile* file, uint64_t length);
bool deleteFile(const char* path);
// Has a file opened for ReadWriteDelete deleted when it is closed; false,
// and the file stays, when that cannot be done (opened for less, say).
bool deleteWhenClosed(PlatformFile* file);

// The buffer the block map is read into; nullptr when memory runs out.
void* allocateBuffer(size_t size);
void freeBuffer(void* buffer);

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
