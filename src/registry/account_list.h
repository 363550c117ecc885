// The client's news accounts as the main window lists them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ListedAccount {
    int32_t accountNumber;
    std::string caption;  // cut to the list's 128-byte buffer
};

// Accounts 0 to numProperties - 1 whose key opens and whose kind reads as a
// news account, ordered by the raw code page 932 bytes of their captions
// (no locale, capitals first); equal captions keep their numbers' order.
// The time it takes follows the number of account keys, not numProperties.
std::vector<ListedAccount> listNewsAccounts();

// What both programs say when the client's properties key cannot be opened,
// in code page 932; the line break is a bare line feed, as a message box
// wants it.
extern const char kErrorNoProperties[];
