// The account check on the in-memory platform: what each account's files
// become, what the report says, and what the user is warned about.
#include <gtest/gtest.h>

#include "account/account_check.h"
#include "fake_platform.h"

namespace {

const std::string kRoot = "C:\\Morvex";
const std::string kMap = "C:\\Morvex\\account3\\news.bmp";
const std::string kMailbox = "C:\\Morvex\\account3\\news.mbx";
const std::string kMapFFto04("\xFF\x00\x04\x00\x00", 5);

class AccountCheck : public ::testing::Test {
protected:
    void SetUp() override {
        resetFakeWorld();
        fakeWorld().rootPath = kRoot;
        fakeWorld().accounts[3] = FakeAccount{2u, std::string("news.example")};
    }
    void TearDown() override {
        // Whatever happened, nothing stays open and no buffer leaks.
        EXPECT_EQ(fakeWorld().openFiles, 0);
        EXPECT_EQ(fakeWorld().liveBuffers, 0);
        EXPECT_EQ(fakeWorld().readCalls[kMailbox], 0) << "the mailbox's contents are never read";
    }
    void run(CheckMode mode, bool showRealDefrag = false, const MinFree& minFree = MinFree()) {
        checkAccount(recordingOwner(), 3, mode, showRealDefrag, recordingSink(), minFree);
    }
    bool exists(const std::string& path) { return fakeWorld().files.count(path) != 0; }
    uint64_t length(const std::string& path) { return fakeWorld().files.at(path).length; }
    const std::vector<std::string>& warnings() { return fakeWorld().warnings; }
    const std::string& report() { return fakeWorld().report; }
};

TEST_F(AccountCheck, ReportsBothFormsTheSameInEitherMode) {
    const char* expectedPlain = "     20480 -->       9728 ( 47%): news.example\r\n";
    const char* expectedWithCompact = "     20480 -->       9728 ( 47%): \r\n"
                                      "           -->       4608 ( 22%): news.example\r\n";
    for (CheckMode mode : {CheckMode::Estimate, CheckMode::PseudoDefrag}) {
        for (bool showRealDefrag : {false, true}) {
            SetUp();
            putFile(kMap, kMapFFto04);
            putSizedFile(kMailbox, 40 * 512);
            run(mode, showRealDefrag);
            EXPECT_EQ(report(), showRealDefrag ? expectedWithCompact : expectedPlain);
            EXPECT_TRUE(warnings().empty());
            EXPECT_EQ(fakeWorld().readCalls[kMap], 1) << "the map is read once";
        }
    }
}

TEST_F(AccountCheck, PseudoDefragCutsBothFilesAfterTheLastUsedBlock) {
    putFile(kMap, kMapFFto04);
    putSizedFile(kMailbox, 40 * 512);
    run(CheckMode::PseudoDefrag);
    EXPECT_EQ(length(kMailbox), 19u * 512);
    EXPECT_EQ(fakeWorld().files.at(kMap).bytes, std::string("\xFF\x00\x04", 3));
}

TEST_F(AccountCheck, EstimateNeverChangesAFile) {
    for (const std::string& map : {std::string(), std::string(8, '\0'), kMapFFto04}) {
        SetUp();
        putFile(kMap, map);
        putSizedFile(kMailbox, 40 * 512);
        run(CheckMode::Estimate);
        ASSERT_TRUE(exists(kMap) && exists(kMailbox));
        EXPECT_EQ(fakeWorld().files.at(kMap).bytes, map);
        EXPECT_EQ(length(kMailbox), 40u * 512);
    }
}

TEST_F(AccountCheck, MapWithNoUsedBlockDeletesBothFiles) {
    for (const std::string& map : {std::string(), std::string(4096, '\0')}) {
        SetUp();
        putFile(kMap, map);
        putSizedFile(kMailbox, 40 * 512);
        run(CheckMode::PseudoDefrag);
        EXPECT_EQ(report(), "     20480 -->          0 (  0%): news.example\r\n");
        EXPECT_FALSE(exists(kMap));
        EXPECT_FALSE(exists(kMailbox));
    }
}

TEST_F(AccountCheck, MapAlreadyEndingInItsLastUsedByteKeepsItsLength) {
    putFile(kMap, std::string("\x01\x80", 2));
    putSizedFile(kMailbox, 100 * 512);
    run(CheckMode::PseudoDefrag);
    EXPECT_EQ(fakeWorld().files.at(kMap).bytes, std::string("\x01\x80", 2));
    EXPECT_EQ(length(kMailbox), 16u * 512);
}

TEST_F(AccountCheck, MapMarkingBlocksBeyondTheMailboxLengthensIt) {
    putFile(kMap, std::string("\x00\x01", 2));  // block 8 in use: 9 blocks
    putSizedFile(kMailbox, 2 * 512);
    run(CheckMode::PseudoDefrag);
    EXPECT_EQ(report(), "      1024 -->       4608 (460%): news.example\r\n");
    EXPECT_EQ(length(kMailbox), 9u * 512);
}

TEST_F(AccountCheck, PercentageDividesByAHundredthOfTheMailboxFirst) {
    struct Case {
        uint64_t part, whole;
        const char* field;
    } cases[] = {
        {512, 750, " 73"},           // 512 / 7, not the exact 68
        {9 * 512, 40 * 512, " 22"},  // divisor 204
        {0, 100, "  0"},
        {4096, 100, "4096"},  // wider than its field, never cut
        {512, 99, "---"},     // no hundredth to divide by
        {0, 0, "---"},
    };
    for (const Case& c : cases) EXPECT_EQ(percentField(c.part, c.whole), c.field) << c.part << "/" << c.whole;
}

TEST_F(AccountCheck, TinyMailboxShowsAPlaceholderPercentage) {
    putFile(kMap, std::string("\x01", 1));
    putSizedFile(kMailbox, 40);
    run(CheckMode::Estimate, true);
    EXPECT_EQ(report(), "        40 -->        512 (---%): \r\n"
                        "           -->        512 (---%): news.example\r\n");
}

TEST_F(AccountCheck, MissingMapLeavesNoTrace) {
    putSizedFile(kMailbox, 40 * 512);
    run(CheckMode::PseudoDefrag);
    EXPECT_EQ(report(), "");
    EXPECT_TRUE(warnings().empty());
    EXPECT_EQ(length(kMailbox), 40u * 512);
}

// Each failure warns once, reports nothing and
// leaves both files as they were.
TEST_F(AccountCheck, FailuresBeforeTheReportSkipTheAccount) {
    struct Case {
        const char* name;
        void (*arrange)();
        const char* warning;
    } cases[] = {
        {"map held by the client", [] { fakeWorld().files[kMap].heldByOther = true; }, kWarnMapOpen},
        {"map size", [] { fakeWorld().files[kMap].sizeFails = true; }, kWarnMapSize},
        {"no memory", [] { fakeWorld().allocationFails = true; }, kWarnNoMemory},
        {"map read fails", [] { fakeWorld().files[kMap].readFails = true; }, kWarnMapRead},
        {"short map read", [] { fakeWorld().files[kMap].readDelivers = 2; }, kWarnMapRead},
        {"mailbox missing", [] { fakeWorld().files.erase(kMailbox); }, kWarnMailboxOpen},
        {"mailbox held by the client", [] { fakeWorld().files[kMailbox].heldByOther = true; }, kWarnMailboxOpen},
        {"mailbox size", [] { fakeWorld().files[kMailbox].sizeFails = true; }, kWarnMailboxSize},
        {"no rootPath", [] { fakeWorld().rootPath.reset(); }, kWarnNoRootPath},
        {"empty rootPath", [] { fakeWorld().rootPath = ""; }, kWarnNoRootPath},
        {"path beyond MAX_PATH", [] { fakeWorld().rootPath = "C:\\" + std::string(240, 'x'); }, kWarnPathTooLong},
    };
    for (const Case& c : cases) {
        SetUp();
        putFile(kMap, kMapFFto04);
        putSizedFile(kMailbox, 40 * 512);
        c.arrange();
        const auto filesBefore = fakeWorld().files;
        run(CheckMode::PseudoDefrag);
        EXPECT_EQ(report(), "") << c.name;
        ASSERT_EQ(warnings().size(), 1u) << c.name;
        EXPECT_STREQ(warnings()[0].c_str(), c.warning) << c.name;
        for (const auto& [path, file] : filesBefore) {
            ASSERT_TRUE(exists(path)) << c.name << " " << path;
            EXPECT_EQ(fakeWorld().files.at(path).length, file.length) << c.name << " " << path;
        }
        EXPECT_EQ(fakeWorld().files.size(), filesBefore.size()) << c.name;
        TearDown();
    }
}

TEST_F(AccountCheck, PathsAreBuiltUnderTheDataFolderOrNotAtAll) {
    std::string path;
    EXPECT_TRUE(buildAccountFilePath("D:\\data", 12, "news.mbx", &path));
    EXPECT_EQ(path, "D:\\data\\account12\\news.mbx");

    // The longest root that still fits: 259 characters of path plus the zero.
    const std::string suffix = "\\account0\\news.bmp";
    const std::string fits(259 - suffix.size(), 'r');
    EXPECT_TRUE(buildAccountFilePath(fits, 0, "news.bmp", &path));
    EXPECT_EQ(path.size(), 259u);
    path = "unchanged";
    EXPECT_FALSE(buildAccountFilePath(fits + "r", 0, "news.bmp", &path));
    EXPECT_FALSE(buildAccountFilePath("", 0, "news.bmp", &path)) << "would name \\account0 at the drive's root";
    EXPECT_EQ(path, "unchanged");
}

// A right refused warns for the file it keeps from changing, and only then.
TEST_F(AccountCheck, FailedTrimOrDeleteWarnsAndStillHandlesTheOtherFile) {
    struct Case {
        const char* name;
        std::string map;
        void (*arrange)();
        const char* warning;  // nullptr: none
        bool mapChanged, mailboxChanged;
    } cases[] = {
        {"mailbox not writable", kMapFFto04, [] { fakeWorld().files[kMailbox].openForWriteFails = true; },
         kWarnMailboxTrim, true, false},
        {"mailbox end not set", kMapFFto04, [] { fakeWorld().files[kMailbox].setLengthFails = true; }, kWarnMailboxTrim,
         true, false},
        {"map not writable", kMapFFto04, [] { fakeWorld().files[kMap].openForWriteFails = true; }, kWarnMapTrim, false,
         true},
        {"map end not set", kMapFFto04, [] { fakeWorld().files[kMap].setLengthFails = true; }, kWarnMapTrim, false,
         true},
        {"map not deleted", std::string(3, '\0'), [] { fakeWorld().files[kMap].deleteFails = true; }, kWarnMapDelete,
         false, true},
        {"mailbox not deleted", std::string(3, '\0'), [] { fakeWorld().files[kMailbox].deleteFails = true; },
         kWarnMailboxDelete, true, false},
        {"map may be written, not deleted", kMapFFto04, [] { fakeWorld().files[kMap].deleteRefused = true; }, nullptr,
         true, true},
        {"empty map may be written, not deleted", std::string(3, '\0'),
         [] { fakeWorld().files[kMap].deleteRefused = true; }, kWarnMapDelete, false, true},
    };
    for (const Case& c : cases) {
        SetUp();
        putFile(kMap, c.map);
        putSizedFile(kMailbox, 40 * 512);
        c.arrange();
        run(CheckMode::PseudoDefrag);
        EXPECT_NE(report(), "") << c.name;
        ASSERT_EQ(warnings().size(), c.warning != nullptr ? 1u : 0u) << c.name;
        EXPECT_STREQ(warnings().empty() ? nullptr : warnings()[0].c_str(), c.warning) << c.name;
        const bool mapSame = exists(kMap) && fakeWorld().files.at(kMap).bytes == c.map;
        const bool mailboxSame = exists(kMailbox) && length(kMailbox) == 40u * 512;
        EXPECT_EQ(!mapSame, c.mapChanged) << c.name;
        EXPECT_EQ(!mailboxSame, c.mailboxChanged) << c.name;
        TearDown();
    }
}

// A client that starts while an account is cut finds the map held, from its
// reading until both files are handled, so it cannot mark a block used that
// the cut would take.
TEST_F(AccountCheck, ClientCannotTakeTheMapWhileTheAccountIsCut) {
    for (const std::string& map : {kMapFFto04, std::string(3, '\0')}) {
        SetUp();
        putFile(kMap, map);
        putSizedFile(kMailbox, 40 * 512);
        int changes = 0;
        int clientOpens = 0;
        fakeWorld().beforeEachChange = [&] {
            ++changes;
            ScopedFile clientMap(openExistingFile(kMap.c_str(), FileAccess::Write));
            if (clientMap) ++clientOpens;
        };
        run(CheckMode::PseudoDefrag);
        EXPECT_EQ(changes, 2);
        EXPECT_EQ(clientOpens, 0);
        EXPECT_TRUE(warnings().empty());
        TearDown();
    }
}

TEST_F(AccountCheck, SizesFromTwoGibibytesOnAreReportedButNeverChanged) {
    struct Case {
        const char* name;
        std::string map;
        uint64_t mailbox;
        const char* firstLine;
        const char* warning;  // the cause it names: the mailbox's size before the map's
    } cases[] = {
        {"2 GiB mailbox", kMapFFto04, 2ull << 30, "2147483648 -->       9728 (  0%): ", kWarnMailboxTooLarge},
        {"3 GiB mailbox", kMapFFto04, 3ull << 30, "3221225472 -->       9728 (  0%): ", kWarnMailboxTooLarge},
        {"4 GiB + 512 mailbox", kMapFFto04, (4ull << 30) + 512,
         "4294967808 -->       9728 (  0%): ", kWarnMailboxTooLarge},
        {"empty map, 3 GiB mailbox", std::string(), 3ull << 30,
         "3221225472 -->          0 (  0%): ", kWarnMailboxTooLarge},
        // Last used block 4,194,303 ends exactly at 2 GiB.
        {"tail reaching 2 GiB", std::string(524287, '\0') + "\x80", 1024,
         "      1024 --> 2147483648 (214748364%): ", kWarnTailTooLarge},
        {"both", std::string(524287, '\0') + "\x80", 3ull << 30,
         "3221225472 --> 2147483648 ( 66%): ", kWarnMailboxTooLarge},
    };
    for (const Case& c : cases) {
        SetUp();
        putFile(kMap, c.map);
        putSizedFile(kMailbox, c.mailbox);
        run(CheckMode::PseudoDefrag);
        EXPECT_EQ(report(), std::string(c.firstLine) + "news.example\r\n") << c.name;
        ASSERT_EQ(warnings().size(), 1u) << c.name;
        EXPECT_STREQ(warnings()[0].c_str(), c.warning) << c.name;
        ASSERT_TRUE(exists(kMap) && exists(kMailbox)) << c.name;
        EXPECT_EQ(length(kMailbox), c.mailbox) << c.name;
        EXPECT_EQ(length(kMap), c.map.size()) << c.name;
        TearDown();
    }
}

TEST_F(AccountCheck, TailJustBelowTwoGibibytesIsStillTrimmed) {
    putFile(kMap, std::string(524287, '\0') + "\x40");  // ends 512 bytes short of 2 GiB
    putSizedFile(kMailbox, (2ull << 30) - 1);
    run(CheckMode::PseudoDefrag);
    EXPECT_TRUE(warnings().empty());
    EXPECT_EQ(length(kMailbox), (2ull << 30) - 512);
    EXPECT_EQ(length(kMap), 524288u);
}

TEST_F(AccountCheck, CaptionMissingFromTheRegistryShowsTheAccountKeyName) {
    fakeWorld().accounts[3].caption.reset();
    putFile(kMap, std::string("\x01", 1));
    putSizedFile(kMailbox, 512);
    run(CheckMode::Estimate);
    EXPECT_EQ(report(), "       512 -->        512 (102%): Account3\r\n");
}

}  // namespace
