// Which of the client's accounts the main window lists, and in what order.
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "registry/account_list.h"

namespace {

std::vector<std::pair<int32_t, std::string>> listed() {
    std::vector<std::pair<int32_t, std::string>> rows;
    for (const ListedAccount& account : listNewsAccounts()) rows.emplace_back(account.accountNumber, account.caption);
    return rows;
}

using Rows = std::vector<std::pair<int32_t, std::string>>;

class AccountList : public ::testing::Test {
protected:
    void SetUp() override { resetFakeWorld(); }
    void add(int32_t number, std::optional<uint32_t> kind, std::optional<std::string> caption) {
        fakeWorld().accounts[number] = FakeAccount{kind, caption};
    }
};

TEST_F(AccountList, OrdersByRawBytesWithEqualCaptionsInNumberOrder) {
    fakeWorld().numProperties = 11;
    add(0, 2, "b");
    add(1, 2, "B");
    add(2, 2, "a");
    add(3, 2, "ニュース");  // two-byte characters sort after every ASCII one
    add(10, 2, "a");        // the registry hands out Account10 before Account2
    add(5, 2, "~");
    EXPECT_EQ(listed(), (Rows{{1, "B"}, {2, "a"}, {10, "a"}, {0, "b"}, {5, "~"}, {3, "ニュース"}}));
}

TEST_F(AccountList, LeavesOutAccountsThatAreNotReadableNewsAccounts) {
    fakeWorld().numProperties = 6;
    add(0, 2, "zero");
    // 1: no key at all, in the middle of the range
    add(2, 1, "mail folder");
    add(3, std::nullopt, "kind unreadable");
    add(4, 2, std::nullopt);
    add(5, 3, "kind 3");
    add(6, 2, "beyond numProperties");
    EXPECT_EQ(listed(), (Rows{{4, "Account4"}, {0, "zero"}}));
}

// The accounts are found among the keys there are: only names that the
// client's "Account%d" gives count, and a count far beyond them costs nothing.
TEST_F(AccountList, FindsTheAccountKeysThereAreWhateverTheCount) {
    add(0, 2, "zero");  // 1: no key
    add(2, 2, "two");
    add(3, 2, "three");
    fakeWorld().accounts[3].keyName = "account3";  // the registry ignores case
    add(4, 2, "four");
    add(6, 2, "six");
    fakeWorld().accounts[6].keyName = "ACCOUNT6";  // in every letter
    add(2147483646, 2, "ten digits");              // the largest number below the largest count
    // None of these is the key of account 1 or 5, which have none.
    fakeWorld().otherKeyNames = {"Account05",         "Account+1", "Account 1", "Account1x",
                                 "Account4294967297", "Account",   "Profile1",  "Account" + std::string(40, '1')};
    fakeWorld().numProperties = 5;
    EXPECT_EQ(listed(), (Rows{{4, "four"}, {3, "three"}, {2, "two"}, {0, "zero"}}));
    EXPECT_EQ(fakeWorld().accountKeyOpens, 4);

    fakeWorld().numProperties = 0x7FFFFFFF;
    fakeWorld().accountKeyOpens = 0;
    EXPECT_EQ(listed(),
              (Rows{{4, "four"}, {6, "six"}, {2147483646, "ten digits"}, {3, "three"}, {2, "two"}, {0, "zero"}}));
    EXPECT_EQ(fakeWorld().accountKeyOpens, 6) << "one look at each account key, none at the numbers between";
}

TEST_F(AccountList, CountsOfZeroOrBelowListNothing) {
    add(0, 2, "zero");
    for (std::optional<uint32_t> count :
         {std::optional<uint32_t>(), std::optional<uint32_t>(0u), std::optional<uint32_t>(0xFFFFFFFFu)}) {
        fakeWorld().numProperties = count;
        EXPECT_TRUE(listed().empty());
    }
}

TEST_F(AccountList, CaptionsAreCutToTheListBuffer) {
    fakeWorld().numProperties = 1;
    add(0, 2, std::string(300, 'x'));
    EXPECT_EQ(listed().at(0).second, std::string(127, 'x'));
}

}  // namespace
