// An in-memory stand-in for the platform seam, the account store and
// tavixc's console, able to make each operation fail.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "account/platform.h"

struct FakeFile {
    uint64_t length = 0;       // the file's size
    std::string bytes;         // its contents, where a test cares (block maps)
    bool heldByOther = false;  // opened by another program without sharing
    int openHandles = 0;       // opened here, also without sharing
    bool sizeFails = false;
    bool readFails = false;
    std::optional<uint32_t> readDelivers;  // a short read: at most this much
    bool openForWriteFails = false;
    bool deleteRefused = false;  // may be written, not deleted: an open for deleting fails
    bool setLengthFails = false;
    bool deleteFails = false;
};

struct FakeAccount {
    std::optional<uint32_t> kind;
    std::optional<std::string> caption;
    std::string keyName = "";  // how its key is spelled; "Account<n>" when empty
};

struct FakeWorld {
    std::map<std::string, FakeFile> files;
    std::map<std::string, int> readCalls;
    int openFiles = 0;
    std::function<void()> beforeEachChange;  // run as a file is about to be cut or deleted
    int liveBuffers = 0;
    bool allocationFails = false;
    std::string report;                 // what recordingSink() was given
    std::vector<std::string> warnings;  // what recordingOwner() was given
    std::string standardOutput;
    bool outputFails = false;  // a closed stream or a full disk
    unsigned ansiCodePage = 932;
    std::string standardError;

    bool propertiesExist = true;
    std::optional<std::string> rootPath;
    std::optional<uint32_t> numProperties;
    std::map<int32_t, FakeAccount> accounts;  // a missing entry: no key
    std::vector<std::string> otherKeyNames;   // subkeys that are no account's
    int accountKeyOpens = 0;
};

FakeWorld& fakeWorld();
void resetFakeWorld();

// The account check's output, recorded in the world.
WarningOwner recordingOwner();
ReportSink recordingSink();

// A block map file holding `bytes`, and a mailbox of `length` bytes.
void putFile(const std::string& path, const std::string& bytes);
void putSizedFile(const std::string& path, uint64_t length);
