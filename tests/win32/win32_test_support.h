// Helpers for the tests that run under Wine against the real registry and
// real files: they set up the client's registry data the way the client
// writes it, and make, inspect and hold files in a throw-away folder.
// Failures inside a helper are reported to GoogleTest where they happen.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// ---- Registry, all under HKEY_CURRENT_USER --------------------------------

extern const char kClientPropertiesKey[];  // the client's "...\Morvex\Properties"
extern const char kToolSettingsKey[];      // tavix's own key

std::string clientAccountKey(int32_t accountNumber);

// Deletes the client's properties and tavix's own key, so that every test
// starts from a registry without them and leaves none behind.
class CleanRegistry {
public:
    CleanRegistry();
    ~CleanRegistry();
    CleanRegistry(const CleanRegistry&) = delete;
    CleanRegistry& operator=(const CleanRegistry&) = delete;
};

void deleteKeyTree(const char* keyPath);
void writeDword(const std::string& keyPath, const char* name, DWORD value);
void writeBinary(const std::string& keyPath, const char* name, const std::string& bytes);
// A REG_SZ value. Without the terminator the stored data ends with the last
// character, as some writers leave it.
void writeString(const std::string& keyPath, const char* name, const std::string& text,
                 bool withTerminator = true);
// Makes the key without any value in it.
void createKey(const std::string& keyPath);
// The stored type and size of a value; false when it cannot be queried.
bool queryValueShape(const std::string& keyPath, const char* name, DWORD* type, DWORD* size);
// A news account (kindOfFolder 2) with the given caption.
void writeNewsAccount(int32_t accountNumber, const std::string& caption);

// ---- Files -----------------------------------------------------------------

// A new folder under the Windows temp folder whose name holds `tag`,
// removed with everything in it at the end.
class TempFolder {
public:
    explicit TempFolder(const std::string& tag);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    // "<folder>\<relative>"
    std::string at(const std::string& relative) const;

private:
    std::string path_;
};

void makeFolder(const std::string& path);
// Removes the folder with everything in it.
void removeFolderTree(const std::string& folder);
void writeWholeFile(const std::string& path, const std::string& bytes);
// Makes a file of `length` zero bytes by setting its end only: on the Linux
// file system under Wine this costs no disk.
void makeSparseFile(const std::string& path, uint64_t length);
// At most `count` bytes from the file's start; empty when it cannot be read.
std::string readFileHead(const std::string& path, uint32_t count);
// `count` bytes from `offset`; empty when they cannot be read.
std::string readFileAt(const std::string& path, uint64_t offset, uint32_t count);
bool fileExists(const std::string& path);
// The file's full 64-bit length; UINT64_MAX when it is missing.
uint64_t fileLength(const std::string& path);
// `length` bytes of a repeating pattern, so that a moved or lost byte shows.
std::string patternBytes(size_t length);

// Holds a file open with no sharing, as the client does while it runs.
class HeldFile {
public:
    explicit HeldFile(const std::string& path);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};
