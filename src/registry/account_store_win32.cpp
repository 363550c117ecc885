// The client's account data in the real registry.
#include "registry/account_store.h"

#include "registry/registry_key.h"

namespace {

const char kPropertiesKey[] = "Software\\Halvorn\\Morvex\\Properties";

std::string accountKeyPath(int32_t accountNumber) {
    return std::string(kPropertiesKey) + "\\Account" + std::to_string(accountNumber);
}

}  // namespace

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
    if (!openQueryKey(kPropertiesKey, &key) || !readsExactly(key.get(), "rootPath") ||
        !readStringValue(key.get(), "rootPath", &value)) {
        return false;
    }
    // A longer path was never meant for tavix's buffers; cutting it would
    // name another folder.
    if (value.size() + 1 > kRootPathCapacity) return false;
    *rootPath = value;
    return true;
}

std::vector<std::string> propertiesSubkeyNames() { return subkeyNames(kPropertiesKey); }

AccountKind accountKind(int32_t accountNumber) {
    AccountKind result{false, false, 0};
    RegistryKey key;
    if (!openQueryKey(accountKeyPath(accountNumber).c_str(), &key)) return result;
    result.keyOpened = true;
    result.kindRead = readDwordValue(key.get(), "kindOfFolder", &result.kind);
    return result;
}

bool readCaptionValue(int32_t accountNumber, std::string* caption) {
    RegistryKey key;
    return openQueryKey(accountKeyPath(accountNumber).c_str(), &key) && readStringValue(key.get(), "caption", caption);
}
