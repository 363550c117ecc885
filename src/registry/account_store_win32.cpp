// The client's account data in the real registry.
#include "registry/account_store.h"

#include "registry/key_paths.h"
#include "registry/registry_key.h"

bool openProperties() {
    RegistryKey key;
    return openQueryKey(kClientPropertiesKey, &key);
}

int32_t accountCount() {
    RegistryKey key;
    uint32_t count = 0;
    if (!openQueryKey(kClientPropertiesKey, &key) || !readDwordValue(key.get(), "numProperties", &count)) return 0;
    return static_cast<int32_t>(count);
}

bool readRootPath(std::string* rootPath) {
    RegistryKey key;
    std::string value;
    if (!openQueryKey(kClientPropertiesKey, &key) || !readsExactly(key.get(), "rootPath") ||
        !readStringValue(key.get(), "rootPath", &value)) {
        return false;
    }
    // A longer path was never meant for tavix's buffers; cutting it would
    // name another folder.
    if (value.size() + 1 > kRootPathCapacity) return false;
    *rootPath = value;
    return true;
}

std::vector<std::string> propertiesSubkeyNames() { return subkeyNames(kClientPropertiesKey); }

AccountKind accountKind(int32_t accountNumber) {
    AccountKind result{false, false, 0};
    RegistryKey key;
    if (!openQueryKey(clientAccountKey(accountNumber).c_str(), &key)) return result;
    result.keyOpened = true;
    result.kindRead = readDwordValue(key.get(), "kindOfFolder", &result.kind);
    return result;
}

bool readCaptionValue(int32_t accountNumber, std::string* caption) {
    RegistryKey key;
    if (!openQueryKey(clientAccountKey(accountNumber).c_str(), &key)) return false;
    return readStringValue(key.get(), "caption", caption);
}
