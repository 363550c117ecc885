// How captions are shown: code page 932 text cut to a buffer between
// characters, and the stand-in name. accountCaption (account_store.h)
// applies them to what the registry holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Whether `byte` starts a two-byte character in code page 932.
bool isCp932LeadByte(unsigned char byte);

// The longest prefix of `text` that fits `capacity` bytes with a terminating
// zero and does not end in the middle of a two-byte character.
std::string cutToCapacity(const std::string& text, size_t capacity);

// What the list and the report show for an account: its caption (nullptr
// when it has none) cut to `capacity`, or the account's key name.
std::string displayCaption(const std::string* caption, int32_t accountNumber, size_t capacity);
