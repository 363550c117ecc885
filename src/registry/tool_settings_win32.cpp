#include "registry/tool_settings.h"

#include "registry/key_paths.h"
#include "registry/registry_key.h"

namespace {
const char kShowRealDefragValue[] = "realDefrag";
}  // namespace

uint32_t loadShowRealDefrag() {
    RegistryKey key;
    uint32_t state = 0;
    if (!openQueryKey(kToolSettingsKey, &key) || !readDwordValue(key.get(), kShowRealDefragValue, &state)) return 0;
    return state;
}

void saveShowRealDefrag(uint32_t state) {
    RegistryKey key;
    char emptyClass[] = "";
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kToolSettingsKey, 0, emptyClass, 0, KEY_SET_VALUE, nullptr, key.receive(),
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    const DWORD data = state;
    RegSetValueExA(key.get(), kShowRealDefragValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}
