// AccountStore, ToolSettings and the account list against Wine's real
// registry: value types and sizes, keys that are missing, strings that the
// writer left without a terminator or made longer than the buffers.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fixture.h"
#include "registry/account_list.h"
#include "registry/account_store.h"
#include "registry/caption_text.h"
#include "registry/registry_key.h"
#include "registry/tool_settings.h"

namespace {

class RegistryTest : public ::testing::Test {
private:
    ClientProfile profile_{"registry"};  // starts and ends without the client's keys and tavix's own
};

std::vector<int32_t> listedNumbers() {
    std::vector<int32_t> numbers;
    for (const ListedAccount& account : listNewsAccounts()) numbers.push_back(account.accountNumber);
    return numbers;
}

// Whether the text ends in the first byte of a two-byte character, found by
// walking the characters from the start.
bool endsInLoneLeadByte(const std::string& text) {
    size_t at = 0;
    while (at < text.size()) at += isCp932LeadByte(static_cast<unsigned char>(text[at])) ? 2 : 1;
    return at > text.size();
}

TEST_F(RegistryTest, ShowRealDefragIsZeroOnFirstRunAndSavedAsFourByteDword) {
    EXPECT_EQ(loadShowRealDefrag(), 0u);

    saveShowRealDefrag(1);
    DWORD type = 0;
    DWORD size = 0;
    ASSERT_TRUE(queryValueShape(kToolSettingsKey, "realDefrag", &type, &size)) << "the key was not created";
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(loadShowRealDefrag(), 1u);

    saveShowRealDefrag(0);
    EXPECT_EQ(loadShowRealDefrag(), 0u);

    // The key outlasts the session: a volatile one would take no lasting subkey.
    HKEY lasting = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kToolSettingsKey) + "\\lasting").c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &lasting, nullptr),
              ERROR_SUCCESS);
    if (lasting != nullptr) RegCloseKey(lasting);
}

// Where the key cannot be made (its parent is volatile, and so takes no
// lasting subkey), the setting is lost without a word.
TEST_F(RegistryTest, ShowRealDefragIsLostQuietlyWhereItsKeyCannotBeMade) {
    const std::string settings = kToolSettingsKey;
    const std::string parent = settings.substr(0, settings.rfind('\\'));
    deleteKeyTree(parent.c_str());
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, parent.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_SET_VALUE,
                              nullptr, &key, &disposition),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));

    saveShowRealDefrag(1);
    DWORD type = 0;
    DWORD size = 0;
    EXPECT_FALSE(queryValueShape(kToolSettingsKey, "realDefrag", &type, &size));
    EXPECT_EQ(loadShowRealDefrag(), 0u);
    deleteKeyTree(parent.c_str());
}

// A number is whatever 4 bytes are stored, as whatever type; any other size
// is no number. The one reader of kindOfFolder, numProperties and realDefrag.
TEST_F(RegistryTest, NumbersAreAnyFourStoredBytes) {
    const std::string two("\x02\x00\x00\x00", 4);
    struct Case {
        const char* name;
        DWORD type;
        std::string bytes;
        std::optional<uint32_t> read;
    };
    const Case cases[] = {
        {"REG_DWORD", REG_DWORD, two, 2},
        {"REG_BINARY of 4 bytes", REG_BINARY, two, 2},
        {"REG_NONE of 4 bytes", REG_NONE, two, 2},
        {"REG_DWORD_BIG_ENDIAN, its bytes as stored", REG_DWORD_BIG_ENDIAN, std::string("\x00\x00\x00\x02", 4),
         0x02000000},
        {"REG_BINARY of 2 bytes", REG_BINARY, two.substr(0, 2), std::nullopt},
        {"REG_BINARY of no bytes", REG_BINARY, "", std::nullopt},
        {"REG_QWORD", REG_QWORD, two + std::string(4, '\0'), std::nullopt},
        {"REG_SZ \"2\"", REG_SZ, "2", std::nullopt},
    };
    for (const Case& c : cases) {
        writeValue(kToolSettingsKey, "realDefrag", c.type, c.bytes);
        RegistryKey key;
        ASSERT_TRUE(openQueryKey(kToolSettingsKey, &key));
        uint32_t value = 0xDEAD;
        EXPECT_EQ(readDwordValue(key.get(), "realDefrag", &value), c.read.has_value()) << c.name;
        EXPECT_EQ(value, c.read.value_or(0xDEAD)) << c.name;
        EXPECT_FALSE(readDwordValue(key.get(), "missing", &value));
        EXPECT_EQ(loadShowRealDefrag(), c.read.value_or(0)) << c.name;
    }
}

// A string is whatever text is stored, up to its first zero, as whatever
// type: the one reader of rootPath and caption.
TEST_F(RegistryTest, StringsAreTheStoredTextUpToItsFirstZero) {
    struct Case {
        const char* name;
        DWORD type;
        std::string bytes;
        std::optional<std::string> read;
    };
    const Case cases[] = {
        {"REG_SZ", REG_SZ, "ニュース表", "ニュース表"},
        {"REG_EXPAND_SZ, not expanded", REG_EXPAND_SZ, "%TEMP%\\表", "%TEMP%\\表"},
        {"REG_MULTI_SZ: its first string", REG_MULTI_SZ, std::string("first\0second\0", 13), "first"},
        {"REG_BINARY, as other tools store it", REG_BINARY, "C:\\データ\\表ソ", "C:\\データ\\表ソ"},
        {"REG_BINARY with a zero inside", REG_BINARY, std::string("ab\0cd", 5), "ab"},
        {"an empty REG_SZ", REG_SZ, "", ""},
        {"4000 bytes", REG_SZ, std::string(4000, 'x'), std::string(4000, 'x')},
    };
    for (const Case& c : cases) {
        writeValue(clientAccountKey(0), "caption", c.type, c.bytes);
        RegistryKey key;
        ASSERT_TRUE(openQueryKey(clientAccountKey(0).c_str(), &key));
        std::string value = "untouched";
        EXPECT_EQ(readStringValue(key.get(), "caption", &value), c.read.has_value()) << c.name;
        EXPECT_EQ(value, c.read.value_or("untouched")) << c.name;
        EXPECT_FALSE(readStringValue(key.get(), "missing", &value));
    }
}

TEST_F(RegistryTest, PropertiesOpenOnlyWhenTheClientKeyExists) {
    EXPECT_FALSE(openProperties());
    EXPECT_TRUE(propertiesSubkeyNames().empty());
    createKey(kClientPropertiesKey);
    EXPECT_TRUE(openProperties());
}

TEST_F(RegistryTest, MissingAccountKeyInTheMiddleIsSkipped) {
    writeDword(kClientPropertiesKey, "numProperties", 3);
    writeAccount(0, "zeta");
    writeAccount(2, "alpha");

    EXPECT_EQ(listedNumbers(), (std::vector<int32_t>{2, 0}));
    EXPECT_FALSE(accountKind(1).keyOpened);
    const AccountKind kind = accountKind(2);
    EXPECT_TRUE(kind.keyOpened);
    EXPECT_TRUE(kind.kindRead);
    EXPECT_EQ(kind.kind, 2u);
}

// A damaged count far beyond the keys lists the accounts there are, as fast
// as the right count: a walk over every number would take a day under Wine.
TEST_F(RegistryTest, HugeAccountCountListsTheAccountKeysThereAre) {
    writeDword(kClientPropertiesKey, "numProperties", 0x7FFFFFFF);
    writeAccount(0, "zeta");
    const std::string lowerCaseKey = std::string(kClientPropertiesKey) + "\\account2";  // Windows ignores case
    writeDword(lowerCaseKey, "kindOfFolder", kNewsKind);
    writeString(lowerCaseKey, "caption", "alpha");
    writeAccount(5, "mid");
    // A name longer in code page 932 than any account key's buffer, listed
    // first: the listing goes on after it.
    std::string longName = "0";
    for (int i = 0; i < 200; ++i) longName += "表";
    createKey(std::string(kClientPropertiesKey) + "\\" + longName);
    const std::string strayKey = std::string(kClientPropertiesKey) + "\\Account07";  // no account's key
    writeDword(strayKey, "kindOfFolder", kNewsKind);
    writeString(strayKey, "caption", "stray");

    EXPECT_EQ(listedNumbers(), (std::vector<int32_t>{2, 5, 0}));
}

TEST_F(RegistryTest, NoAccountsWhenTheCountIsZeroOrMissing) {
    EXPECT_EQ(accountCount(), 0) << "no properties key";
    writeAccount(0, "news");
    createKey(kClientPropertiesKey);
    EXPECT_EQ(accountCount(), 0);
    EXPECT_TRUE(listNewsAccounts().empty()) << "numProperties missing";

    writeDword(kClientPropertiesKey, "numProperties", 0);
    EXPECT_EQ(accountCount(), 0);
    EXPECT_TRUE(listNewsAccounts().empty()) << "numProperties 0";
}

TEST_F(RegistryTest, AccountsOfOtherOrMisshapenKindsAreLeftOut) {
    writeDword(kClientPropertiesKey, "numProperties", 4);
    writeAccount(0, "news");
    writeAccount(1, "mail", kMailKind);
    writeValue(clientAccountKey(2), "kindOfFolder", REG_BINARY, std::string("\x02\x00", 2));
    writeString(clientAccountKey(2), "caption", "short kind");
    createKey(clientAccountKey(3));

    EXPECT_EQ(listedNumbers(), (std::vector<int32_t>{0}));
    EXPECT_FALSE(accountKind(2).kindRead) << "a 2-byte kindOfFolder";
    EXPECT_TRUE(accountKind(3).keyOpened);
    EXPECT_FALSE(accountKind(3).kindRead) << "no kindOfFolder";
    std::string caption;
    EXPECT_FALSE(readCaptionValue(3, &caption)) << "no caption";
}

TEST_F(RegistryTest, StringsStoredWithoutTerminatorReadBackExactly) {
    const std::string caption = "ニュース表ソ";
    const std::string root = "C:\\データ\\表ソ";
    writeString(clientAccountKey(0), "caption", caption, false);
    writeString(kClientPropertiesKey, "rootPath", root, false);

    // The set-up is only worth something if the registry kept the values
    // unterminated.
    DWORD type = 0;
    DWORD size = 0;
    ASSERT_TRUE(queryValueShape(clientAccountKey(0), "caption", &type, &size));
    ASSERT_EQ(size, caption.size());
    ASSERT_TRUE(queryValueShape(kClientPropertiesKey, "rootPath", &type, &size));
    ASSERT_EQ(size, root.size());

    EXPECT_EQ(accountCaption(0, kListCaptionCapacity), caption);
    EXPECT_EQ(accountCaption(0, kReportCaptionCapacity), caption);
    std::string readRoot;
    ASSERT_TRUE(readRootPath(&readRoot));
    EXPECT_EQ(readRoot, root);
}

TEST_F(RegistryTest, LongCaptionIsCutToTheListBufferAtACharacterBoundary) {
    // Two-byte characters whose second byte is a backslash (0x5C) or looks
    // like a first byte (0x9F), so that only a walk from the start finds the
    // character boundaries near the cut.
    const char* const characters[] = {"表", "ソ", "ぁ"};
    struct Case {
        const char* prefix;
        size_t listedLength;  // of at most 127 bytes, without a broken character
    };
    const Case cases[] = {{"", 126}, {"A", 127}, {"AB", 126}};
    writeDword(kClientPropertiesKey, "numProperties", 1);
    for (const Case& c : cases) {
        std::string caption = c.prefix;
        for (size_t i = 0; caption.size() < 200; ++i) caption += characters[i % 3];
        writeAccount(0, caption);
        SCOPED_TRACE(std::string("prefix \"") + c.prefix + "\"");

        const std::string listed = accountCaption(0, kListCaptionCapacity);
        EXPECT_EQ(listed, caption.substr(0, c.listedLength));
        EXPECT_FALSE(endsInLoneLeadByte(listed));
        const std::vector<ListedAccount> accounts = listNewsAccounts();
        ASSERT_EQ(accounts.size(), 1u);
        EXPECT_EQ(accounts[0].caption, listed);
        EXPECT_EQ(accountCaption(0, kReportCaptionCapacity), caption);
    }
}

TEST_F(RegistryTest, MissingCaptionShowsTheAccountKeyName) {
    writeDword(clientAccountKey(5), "kindOfFolder", 2);
    EXPECT_EQ(accountCaption(5, kListCaptionCapacity), "Account5");
    EXPECT_EQ(accountCaption(6, kReportCaptionCapacity), "Account6") << "no account key at all";
}

// rootPath is taken as stored, whatever its type, when it fits its buffer
// with the terminator.
TEST_F(RegistryTest, RootPathIsTakenAsStoredWhenItFits) {
    struct Case {
        const char* name;
        DWORD type;
        std::string root;
        bool accepted;
    };
    const Case cases[] = {
        {"1023 bytes", REG_SZ, "C:\\" + std::string(1020, 'r'), true},
        {"1024 bytes", REG_SZ, "C:\\" + std::string(1021, 'r'), false},
        {"4000 bytes", REG_SZ, "C:\\" + std::string(3997, 'r'), false},
        {"REG_EXPAND_SZ", REG_EXPAND_SZ, "C:\\Morvex", true},
        {"REG_BINARY, as other tools store it", REG_BINARY, "C:\\データ\\表ソ", true},
        {"empty", REG_SZ, "", true},
    };
    for (const Case& c : cases) {
        writeValue(kClientPropertiesKey, "rootPath", c.type, c.root);
        std::string readRoot = "untouched";
        EXPECT_EQ(readRootPath(&readRoot), c.accepted) << c.name;
        EXPECT_EQ(readRoot, c.accepted ? c.root : "untouched") << c.name;
    }
}

TEST_F(RegistryTest, RootPathIsMissingWithoutTheValueOrWithACharacterCodePage932Lacks) {
    std::string readRoot;
    EXPECT_FALSE(readRootPath(&readRoot)) << "no properties key";
    createKey(kClientPropertiesKey);
    EXPECT_FALSE(readRootPath(&readRoot));
    // Read as "C:\cafe" it would name another folder.
    const wchar_t root[] = L"C:\\caf\u00E9";
    const std::wstring key(std::begin(kClientPropertiesKey), std::end(kClientPropertiesKey) - 1);  // ASCII
    for (DWORD type : {REG_SZ, REG_EXPAND_SZ}) {
        RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"rootPath", type, root, sizeof root);
        EXPECT_FALSE(readRootPath(&readRoot)) << "type " << type;
    }
}

}  // namespace
