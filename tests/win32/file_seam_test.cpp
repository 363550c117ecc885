// The account check's file operations on real files under Wine: what each
// gives back when it succeeds, when it does less than asked and when it
// fails; sharing, sizes at every 32-bit boundary, lengthening with zeros.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "account/platform.h"
#include "fixture.h"

namespace {

constexpr uint64_t k4GiB = 1ull << 32;

class FileSeamTest : public ::testing::Test {
protected:
    // A Japanese folder name whose characters end in 0x5C, the backslash.
    TempFolder folder_{"表ソ"};
};

const char* accessName(FileAccess access) {
    switch (access) {
    case FileAccess::Read:
        return "reading";
    case FileAccess::Write:
        return "writing";
    case FileAccess::ReadWrite:
        return "reading and writing";
    case FileAccess::ReadWriteDelete:
        return "reading, writing and deleting";
    }
    return "";
}

// What opening and deleting give for each kind of path; `missing` tells the
// account check that an account has no such file rather than one it cannot use.
TEST_F(FileSeamTest, OpenAndDeleteByWhatThePathLeadsTo) {
    const std::string contents = patternBytes(3000);
    struct Case {
        const char* name;
        std::string path;
        bool opens;
        bool missing;
        bool deleted;
    };
    const Case cases[] = {
        {"a file", folder_.at("news.bmp"), true, false, true},
        {"a missing file", folder_.at("news.mbx"), false, true, false},
        {"a file in a missing folder", folder_.at("account7\\news.bmp"), false, true, false},
        {"a file another program holds", folder_.at("held.mbx"), false, false, false},
        {"a folder", folder_.at("account0"), false, false, false},
    };
    writeWholeFile(cases[0].path, contents);
    writeWholeFile(cases[3].path, contents);
    makeFolder(cases[4].path);
    {
        HeldFile held(cases[3].path);
        ASSERT_TRUE(held.held());
        for (const Case& c : cases) {
            for (FileAccess access :
                 {FileAccess::Read, FileAccess::Write, FileAccess::ReadWrite, FileAccess::ReadWriteDelete}) {
                SCOPED_TRACE(std::string(c.name) + ", for " + accessName(access));
                bool missing = !c.missing;
                ScopedFile file(openExistingFile(c.path.c_str(), access, &missing));
                EXPECT_EQ(static_cast<bool>(file), c.opens);
                if (!c.opens) {
                    EXPECT_EQ(missing, c.missing);
                }
                ScopedFile unasked(file ? nullptr : openExistingFile(c.path.c_str(), access));
                EXPECT_FALSE(unasked) << "without asking whether it is missing";
            }
        }
        EXPECT_FALSE(fileExists(cases[1].path)) << "opening for writing must not create the file";
        for (const Case& c : cases) EXPECT_EQ(deleteFile(c.path.c_str()), c.deleted) << c.name;
    }
    EXPECT_FALSE(fileExists(cases[0].path));
    EXPECT_EQ(readFileAt(cases[3].path, 0, 4096), contents) << "a held file keeps its contents";
    EXPECT_TRUE(fileExists(cases[4].path));
}

TEST_F(FileSeamTest, OpenedFileKeepsOthersOut) {
    const std::string path = folder_.at("news.bmp");
    writeWholeFile(path, "map");
    ScopedFile mine(openExistingFile(path.c_str(), FileAccess::Read));
    ASSERT_TRUE(mine);
    HANDLE other =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE) << "the file was opened with sharing";
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
}

// A file opened for every change goes once it is closed, and until then
// nobody else opens it; one opened without the right to delete it cannot be
// deleted so.
TEST_F(FileSeamTest, DeleteWhenClosedTakesTheFileAtItsClose) {
    const std::string path = folder_.at("news.bmp");
    for (FileAccess access : {FileAccess::Read, FileAccess::ReadWrite, FileAccess::ReadWriteDelete}) {
        SCOPED_TRACE(accessName(access));
        const bool deletes = access == FileAccess::ReadWriteDelete;
        writeWholeFile(path, "map");
        {
            ScopedFile file(openExistingFile(path.c_str(), access));
            ASSERT_TRUE(file);
            EXPECT_EQ(deleteWhenClosed(file.get()), deletes);
            HANDLE other =
                CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
            EXPECT_EQ(other, INVALID_HANDLE_VALUE) << "another program opened it";
            if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
        }
        EXPECT_EQ(fileExists(path), !deletes);
    }
}

// One read: how much arrived is what the file held, never what was asked.
TEST_F(FileSeamTest, ReadFileTellsHowMuchArrived) {
    struct Case {
        const char* name;
        size_t length;
        uint32_t asked;
        FileAccess access;
        bool ok;
        uint32_t arrived;
    };
    const Case cases[] = {
        {"a whole file in one read", 70000, 70000, FileAccess::Read, true, 70000},
        {"a file shorter than asked", 100, 4096, FileAccess::Read, true, 100},
        {"an empty file", 0, 16, FileAccess::Read, true, 0},
        {"a file opened for writing", 100, 100, FileAccess::Write, false, 0},
        {"a file opened for reading and writing", 100, 100, FileAccess::ReadWrite, true, 100},
        {"a file opened for every change", 100, 100, FileAccess::ReadWriteDelete, true, 100},
    };
    const std::string path = folder_.at("news.bmp");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string contents = patternBytes(c.length);
        writeWholeFile(path, contents);
        ScopedFile file(openExistingFile(path.c_str(), c.access));
        ASSERT_TRUE(file);
        std::string read(c.asked, '\x7F');
        uint32_t arrived = 12345;
        EXPECT_EQ(readFile(file.get(), &read[0], c.asked, &arrived), c.ok);
        EXPECT_EQ(arrived, c.arrived);
        EXPECT_EQ(read.substr(0, c.arrived), contents.substr(0, c.arrived));
    }
}

// The full size of files on either side of every 32-bit boundary; a size
// whose low half is all ones (0xFFFFFFFF) is a size too, not a failure.
TEST_F(FileSeamTest, FileSizeIsTheWhole64BitSize) {
    const uint64_t sizes[] = {0, 1, (1ull << 31) - 1, 1ull << 31, k4GiB - 1, k4GiB, k4GiB + 1, 2 * k4GiB - 1, k5GiB};
    const std::string path = folder_.at("news.mbx");
    for (uint64_t expected : sizes) {
        makeSparseFile(path, expected);
        for (FileAccess access : {FileAccess::Read, FileAccess::Write}) {
            ScopedFile file(openExistingFile(path.c_str(), access));
            ASSERT_TRUE(file);
            uint64_t size = 12345;
            EXPECT_TRUE(fileSize(file.get(), &size)) << expected << ", for " << accessName(access);
            EXPECT_EQ(size, expected) << "for " << accessName(access);
        }
    }
}

// One file cut and lengthened in turn: the bytes it keeps stay, the bytes
// it gains are zeros, and lengths on either side of 4 GiB are set whole.
TEST_F(FileSeamTest, SetFileLengthCutsAndLengthensWithZeros) {
    const std::string path = folder_.at("news.mbx");
    const std::string contents = patternBytes(10 * 512);
    writeWholeFile(path, contents);
    const std::string kept = contents.substr(0, 7 * 512);
    struct Step {
        FileAccess access;
        uint64_t length;
        bool ok;
        uint64_t lengthAfter;
    };
    const Step steps[] = {
        {FileAccess::Write, 7 * 512, true, 7 * 512},
        {FileAccess::Read, 2 * 512, false, 7 * 512},  // a file opened for reading cannot be cut
        {FileAccess::Write, 12 * 512, true, 12 * 512},
        {FileAccess::Write, k4GiB - 1, true, k4GiB - 1},  // the low half alone looks like a failure
        {FileAccess::Write, k4GiB, true, k4GiB},
        {FileAccess::Write, k5GiB, true, k5GiB},
        {FileAccess::Write, 1ull << 63, false, k5GiB},  // beyond any file: refused, nothing changed
        {FileAccess::Write, k4GiB + 7 * 512, true, k4GiB + 7 * 512},
        {FileAccess::ReadWrite, 8 * 512, true, 8 * 512},
        {FileAccess::ReadWriteDelete, 7 * 512, true, 7 * 512},
        {FileAccess::Write, 0, true, 0},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE("length " + std::to_string(step.length) + ", for " + accessName(step.access));
        {
            ScopedFile file(openExistingFile(path.c_str(), step.access));
            ASSERT_TRUE(file);
            EXPECT_EQ(setFileLength(file.get(), step.length), step.ok);
        }
        EXPECT_EQ(fileLength(path), step.lengthAfter);
        const uint32_t head = static_cast<uint32_t>(std::min<uint64_t>(step.lengthAfter, 64 * 1024));
        EXPECT_EQ(readFileAt(path, 0, head), (kept + std::string(head, '\0')).substr(0, head));
        if (step.lengthAfter > head) {
            EXPECT_EQ(readFileAt(path, step.lengthAfter - 512, 4096), std::string(512, '\0'));
        }
    }
}

}  // namespace
