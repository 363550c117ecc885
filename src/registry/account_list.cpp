#include "registry/account_list.h"

#include <algorithm>
#include <cstring>

#include "registry/account_store.h"

namespace {

// strcmp compares as unsigned char, so every two-byte character sorts after ASCII.
bool captionBefore(const ListedAccount& a, const ListedAccount& b) {
    return std::strcmp(a.caption.c_str(), b.caption.c_str()) < 0;
}

}  // namespace

std::vector<ListedAccount> listNewsAccounts() {
    std::vector<ListedAccount> accounts;
    const int32_t count = accountCount();
    for (int32_t number = 0; number < count; ++number) {
        const AccountKind kind = accountKind(number);
        if (!kind.keyOpened || !kind.kindRead || kind.kind != kNewsAccountKind) continue;
        accounts.push_back(ListedAccount{number, accountCaption(number, kListCaptionCapacity)});
    }
    std::stable_sort(accounts.begin(), accounts.end(), captionBefore);
    return accounts;
}
