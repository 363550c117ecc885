// What the tests under Wine, the end-to-end tests and the demo share: the
// client's profile written the way the client writes it (registry values,
// account folders, block maps, mailboxes), files to make, inspect and hold
// open, and the names and sizes they all speak of.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "registry/key_paths.h"  // the client's keys and tavix's own, as the program names them

// ---- Names and sizes -------------------------------------------------------

inline const wchar_t kMainTitle[] = L"Morvex News System Checker";
inline const wchar_t kEstimateTitle[] = L"デフラグ見積り";
inline const wchar_t kPseudoDefragTitle[] = L"偽デフラグ結果";

constexpr DWORD kNewsKind = 2;
constexpr DWORD kMailKind = 1;
constexpr uint64_t k3GiB = 3ull << 30;
constexpr uint64_t k5GiB = 5ull << 30;
constexpr uint64_t kNoFile = UINT64_MAX;  // fileLength() of a missing file

// Reports a step of the fixture that went wrong: a GoogleTest failure in the
// tests (fixture_gtest.cpp), a line on standard error in the demo.
void fixtureFailed(const std::string& what);

// ---- Registry, all under HKEY_CURRENT_USER -----------------------------------

void deleteKeyTree(const char* keyPath);
void writeDword(const std::string& keyPath, const char* name, DWORD value);
// A value of any type holding exactly these bytes, as other tools may leave it.
void writeValue(const std::string& keyPath, const char* name, DWORD type, const std::string& bytes);
// A REG_SZ value. Without the terminator the stored data ends with the last
// character, as some writers leave it.
void writeString(const std::string& keyPath, const char* name, const std::string& text, bool withTerminator = true);
// Makes the key without any value in it.
void createKey(const std::string& keyPath);
// The stored type and size of a value; false when it cannot be queried.
bool queryValueShape(const std::string& keyPath, const char* name, DWORD* type, DWORD* size);
// An account key with its kind and caption.
void writeAccount(int32_t accountNumber, const std::string& caption, DWORD kind = kNewsKind);

// ---- Files -------------------------------------------------------------------

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
// `count` bytes from `offset`, fewer at the end; empty when they cannot be read.
std::string readFileAt(const std::string& path, uint64_t offset, uint32_t count);
bool fileExists(const std::string& path);
// The file's full 64-bit length; kNoFile when it is missing.
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
    HANDLE handle() const { return handle_; }

private:
    HANDLE handle_;
};

// Holds a read-only view of the whole file, as a program that maps files
// (an indexer, a virus scanner) does: the file can still be opened and
// written, but not shortened (SetEndOfFile fails with ERROR_USER_MAPPED_FILE).
class MappedFile {
public:
    explicit MappedFile(const std::string& path);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

private:
    HANDLE mapping_;
    void* view_;
};

// ---- The client's profile ------------------------------------------------------

// The client's data as tavix finds it: the properties key, whose rootPath
// names the profile's folder, account keys, and account folders with their
// block maps and mailboxes. Every profile starts without the client's keys
// and tavix's own key.
class ClientProfile {
public:
    // In a new folder under the temp folder (its name holds `tag`); the
    // folder and both keys go with the profile.
    explicit ClientProfile(const std::string& tag);
    // The demo's: `folder` made afresh and left in place with the keys.
    static ClientProfile keptIn(const std::string& folder);
    ~ClientProfile();
    ClientProfile(const ClientProfile&) = delete;
    ClientProfile& operator=(const ClientProfile&) = delete;

    const std::string& folder() const { return folder_; }
    // rootPath and numProperties.
    void writeProperties(DWORD numProperties) const;
    // The account's folder with its block map and a mailbox of the given
    // length: pattern bytes up to 1 MiB, sparse beyond. No block map or no
    // mailbox where nullopt.
    void writeFiles(int32_t accountNumber, const std::optional<std::string>& map,
                    std::optional<uint64_t> mailboxLength) const;
    std::string mapPath(int32_t accountNumber) const;
    std::string mailboxPath(int32_t accountNumber) const;
    // What the client does when a message arrives: with both files open
    // without sharing, it writes the message into `block` of the mailbox and
    // marks the block used in the map, lengthening either file as needed.
    void storeMessage(int32_t accountNumber, uint32_t block) const;
    // Whether that message is there, in the mailbox and in the map.
    bool holdsMessage(int32_t accountNumber, uint32_t block) const;

private:
    ClientProfile(std::string folder, bool removeAfter);
    std::string accountFolder(int32_t accountNumber) const;

    std::string folder_;
    bool removeAfter_;
};
