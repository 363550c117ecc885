// The registry helpers that the account store and the tool's setting share:
// a key that closes itself, and value readers that never leave a string
// without its terminating zero. All keys lie under HKEY_CURRENT_USER.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey() {
        if (key_ != nullptr) RegCloseKey(key_);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY* receive() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// Opens HKEY_CURRENT_USER\<path> for querying; false when it cannot.
bool openQueryKey(const char* path, RegistryKey* key);
// A 4-byte number; false when missing or not 4 bytes long.
bool readDwordValue(HKEY key, const char* name, uint32_t* value);
// A string of any length, up to its first zero; the registry does not
// promise that a stored string ends in one.
bool readStringValue(HKEY key, const char* name, std::string* value);
// Whether the string value reads in the program's code page exactly: the
// registry keeps strings as UTF-16 and hands them to an ANSI program with a
// near character for one the code page lacks ("C:\café" as "C:\cafe", which
// names another folder). True for a value stored as bytes; false when missing.
bool readsExactly(HKEY key, const char* name);
// The names of the subkeys of HKEY_CURRENT_USER\<path>, in the registry's
// order; none when the key cannot be opened for listing.
std::vector<std::string> subkeyNames(const char* path);
