// Values are accepted by their size and never by their type. The client
// writes its numbers as REG_DWORD and its strings as REG_SZ, but tavix has
// always asked only for the bytes: a number is whatever 4 bytes are stored
// (a REG_BINARY of 4 bytes reads the same), a string whatever text is
// stored. Checking the type now would drop accounts from profiles that
// other tools or restored backups wrote, which every earlier version listed.
#include "registry/registry_key.h"

#include <cstring>
#include <cwchar>

bool openQueryKey(const char* path, RegistryKey* key) {
    return RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, key->receive()) == ERROR_SUCCESS;
}

bool readDwordValue(HKEY key, const char* name, uint32_t* value) {
    DWORD data = 0;
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
        size != sizeof data) {
        return false;
    }
    *value = data;
    return true;
}

bool readStringValue(HKEY key, const char* name, std::string* value) {
    // Asked again with the size the registry gives, until it fits: a value
    // another program makes longer meanwhile is read whole. One spare zero
    // byte beyond what the registry may fill, so the text ends even when the
    // stored value does not.
    std::vector<char> buffer;
    DWORD size = 0;
    LONG status = ERROR_MORE_DATA;
    while (status == ERROR_MORE_DATA) {
        buffer.assign(size + 1, '\0');
        status = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size);
    }
    if (status != ERROR_SUCCESS) return false;
    *value = buffer.data();
    return true;
}

bool readsExactly(HKEY key, const char* name) {
    const std::wstring wideName(name, name + std::strlen(name));  // value names are ASCII
    DWORD type = 0;
    std::wstring text;
    DWORD size = 0;
    LONG status = ERROR_MORE_DATA;
    while (status == ERROR_MORE_DATA) {
        text.assign(size / sizeof(wchar_t) + 1, L'\0');
        status = RegQueryValueExW(key, wideName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&text[0]), &size);
    }
    if (status != ERROR_SUCCESS) return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return true;  // handed over as stored
    // UTF-8 holds every character (and takes neither the flag nor the question).
    if (GetACP() == CP_UTF8) return true;
    text.resize(std::wcslen(text.c_str()));  // up to its first zero, as it is read
    BOOL usedDefault = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                        &usedDefault);
    return !usedDefault;
}

std::vector<std::string> subkeyNames(const char* path) {
    std::vector<std::string> names;
    RegistryKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_ENUMERATE_SUB_KEYS, key.receive()) != ERROR_SUCCESS) {
        return names;
    }
    for (DWORD index = 0;; ++index) {
        char name[256];  // a key name has at most 255 characters
        DWORD length = sizeof name;
        const LONG status = RegEnumKeyExA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS) {
            names.emplace_back(name, length);
        } else if (status != ERROR_MORE_DATA) {  // a longer name in two-byte characters is no account's
            break;                               // ERROR_NO_MORE_ITEMS, or the key went away
        }
    }
    return names;
}
