#include "registry/account_list.h"

#include <algorithm>
#include <cstring>

#include "registry/account_store.h"

const char kErrorNoProperties[] = "レジストリデータベースがオープンできません\n処理を中断します";

namespace {

// strcmp compares as unsigned char, so every two-byte character sorts after ASCII.
bool captionBefore(const ListedAccount& a, const ListedAccount& b) {
    return std::strcmp(a.caption.c_str(), b.caption.c_str()) < 0;
}

// The account number whose key the subkey is: the name "Account%d" gives
// for a number, compared without regard to case as the registry compares
// key names. -1 for any other name ("Account03", "Account+3", "Accounts").
int64_t accountNumberOfKey(const std::string& name) {
    static const char kPrefix[] = "account";
    const size_t prefixLength = sizeof kPrefix - 1;
    const size_t digits = name.size() - std::min(name.size(), prefixLength);
    if (digits == 0 || digits > 10 || (digits > 1 && name[prefixLength] == '0')) return -1;
    for (size_t i = 0; i < prefixLength; ++i) {
        if ((name[i] | 0x20) != kPrefix[i]) return -1;  // ASCII letters only: 'A' and 'a' alike
    }
    int64_t number = 0;
    for (size_t i = prefixLength; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return -1;
        number = number * 10 + (name[i] - '0');
    }
    return number;
}

// The numbers from 0 to count - 1 that have an account key, in ascending
// order: exactly those whose key a walk over every number would open, found
// by listing the keys there are, so that a damaged count of two thousand
// million costs no more than the right one.
std::vector<int32_t> accountNumbersBelow(int32_t count) {
    std::vector<int32_t> numbers;
    if (count <= 0) return numbers;
    for (const std::string& name : propertiesSubkeyNames()) {
        const int64_t number = accountNumberOfKey(name);
        if (number >= 0 && number < count) numbers.push_back(static_cast<int32_t>(number));
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

}  // namespace

std::vector<ListedAccount> listNewsAccounts() {
    std::vector<ListedAccount> accounts;
    for (int32_t number : accountNumbersBelow(accountCount())) {
        const AccountKind kind = accountKind(number);
        if (!kind.keyOpened || !kind.kindRead || kind.kind != kNewsAccountKind) continue;
        accounts.push_back(ListedAccount{number, accountCaption(number, kListCaptionCapacity)});
    }
    std::stable_sort(accounts.begin(), accounts.end(), captionBefore);
    return accounts;
}
