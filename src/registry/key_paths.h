// Where the client keeps its account data and tavix its own setting, all
// under HKEY_CURRENT_USER. The tests' fixtures write the same keys.
#pragma once

#include <cstdint>
#include <string>

inline constexpr char kClientPropertiesKey[] = "Software\\Halvorn\\Morvex\\Properties";
inline constexpr char kToolSettingsKey[] = "Software\\ULBAR\\tavix";

// "Account%d": the name of an account's key under the properties key.
inline std::string accountKeyName(int32_t accountNumber) { return "Account" + std::to_string(accountNumber); }
inline std::string clientAccountKey(int32_t accountNumber) {
    return std::string(kClientPropertiesKey) + "\\" + accountKeyName(accountNumber);
}
