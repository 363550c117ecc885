// The client's account data, which tavix only reads (the keys are in
// key_paths.h):
//   the properties key     rootPath, numProperties
//   its subkeys Account%d  kindOfFolder, caption
// Every call opens the key it needs for querying and closes it before it
// returns. Strings are code page 932 bytes. account_store_win32.cpp reads
// the real registry; the host tests link an in-memory store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kNewsAccountKind = 2;
constexpr size_t kListCaptionCapacity = 128;
constexpr size_t kReportCaptionCapacity = 1024;
constexpr size_t kRootPathCapacity = 1024;

// Opens the client's properties key for querying and closes it again:
// false when the client's data cannot be read at all (no key, or no access).
bool openProperties();
// numProperties; 0 when it cannot be read.
int32_t accountCount();
// rootPath, at most kRootPathCapacity - 1 bytes; false when it is missing
// or does not fit.
bool readRootPath(std::string* rootPath);

// The names of the properties key's subkeys, the account keys among them,
// in no particular order; none when the key cannot be listed.
std::vector<std::string> propertiesSubkeyNames();

struct AccountKind {
    bool keyOpened;
    bool kindRead;
    uint32_t kind;
};
AccountKind accountKind(int32_t accountNumber);

// The account's caption value exactly as stored, of any length; false when
// the key or the value is missing.
bool readCaptionValue(int32_t accountNumber, std::string* caption);

// What the list and the report show for the account: its caption as it fits
// a buffer of `capacity` bytes with its terminating zero, never cut inside a
// two-byte character; the account's key name when the caption is missing.
// Portable: the rule runs over readCaptionValue.
std::string accountCaption(int32_t accountNumber, size_t capacity);
