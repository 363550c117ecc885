#include "registry/caption_text.h"

#include "registry/account_store.h"
#include "registry/key_paths.h"

bool isCp932LeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

std::string cutToCapacity(const std::string& text, size_t capacity) {
    if (capacity == 0) return std::string();
    const size_t limit = capacity - 1;
    // Walk characters from the start: a trail byte can look like a lead byte,
    // so only a forward walk knows where characters begin.
    size_t end = 0;
    while (end < text.size()) {
        const size_t width = isCp932LeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
        if (end + width > limit || end + width > text.size()) break;
        end += width;
    }
    return text.substr(0, end);
}

std::string displayCaption(const std::string* caption, int32_t accountNumber, size_t capacity) {
    if (caption != nullptr && !caption->empty()) return cutToCapacity(*caption, capacity);
    return cutToCapacity(accountKeyName(accountNumber), capacity);
}

std::string accountCaption(int32_t accountNumber, size_t capacity) {
    std::string caption;
    const bool found = readCaptionValue(accountNumber, &caption);
    return displayCaption(found ? &caption : nullptr, accountNumber, capacity);
}
