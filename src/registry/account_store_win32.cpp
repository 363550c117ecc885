#include "registry/account_store.h"

#include <vector>

#include "registry/caption_text.h"
#include "registry/registry_key.h"

namespace {

const char kPropertiesKey[] = "Software\\Halvorn\\Morvex\\Properties";

std::string accountKeyPath(int32_t accountNumber) {
    return std::string(kPropertiesKey) + "\\Account" + std::to_string(accountNumber);
}

}  // namespace

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
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return false;
    // One spare zero byte, so the text ends even when the stored value does not.
    std::vector<char> buffer(size + 1, '\0');
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
        ERROR_SUCCESS) {
        return false;
    }
    buffer[size < buffer.size() ? size : buffer.size() - 1] = '\0';
    *value = buffer.data();
    return true;
}

bool openProperties() {
    RegistryKey key;
    return openQueryKey(kPropertiesKey, &key);
}

int32_t accountCount() {
    RegistryKey key;
    uint32_t count = 0;
    if (!openQueryKey(kPropertiesKey, &key) || !readDwordValue(key.get(), "numProperties", &count)) return 0;
    return static_cast<int32_t>(count);
}

bool readRootPath(std::string* rootPath) {
    RegistryKey key;
    std::string value;
    if (!openQueryKey(kPropertiesKey, &key) || !readStringValue(key.get(), "rootPath", &value)) return false;
    // A longer path was never meant for tavix's buffers; cutting it would
    // name another folder.
    if (value.size() + 1 > kRootPathCapacity) return false;
    *rootPath = value;
    return true;
}

AccountKind accountKind(int32_t accountNumber) {
    AccountKind result{false, false, 0};
    RegistryKey key;
    if (!openQueryKey(accountKeyPath(accountNumber).c_str(), &key)) return result;
    result.keyOpened = true;
    result.kindRead = readDwordValue(key.get(), "kindOfFolder", &result.kind);
    return result;
}

std::string accountCaption(int32_t accountNumber, size_t capacity) {
    RegistryKey key;
    std::string caption;
    const bool found = openQueryKey(accountKeyPath(accountNumber).c_str(), &key) &&
                       readStringValue(key.get(), "caption", &caption);
    return displayCaption(found ? &caption : nullptr, accountNumber, capacity);
}
