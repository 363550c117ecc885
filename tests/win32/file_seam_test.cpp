// The account check's file operations on real files under Wine: sharing,
// lengths beyond 32 bits, lengthening with zeros, deleting.
#include <gtest/gtest.h>

#include <string>

#include "account/platform.h"
#include "fixture.h"

namespace {

class FileSeamTest : public ::testing::Test {
protected:
    // A Japanese folder name whose characters end in 0x5C, the backslash.
    TempFolder folder_{"表ソ"};
};

TEST_F(FileSeamTest, FileHeldWithoutSharingCannotBeOpenedOrDeleted) {
    const std::string path = folder_.at("news.mbx");
    const std::string contents = patternBytes(3000);
    writeWholeFile(path, contents);
    {
        HeldFile held(path);
        ASSERT_TRUE(held.held());
        for (FileAccess access : {FileAccess::Read, FileAccess::Write}) {
            bool missing = true;
            PlatformFile* file = openExistingFile(path.c_str(), access, &missing);
            EXPECT_EQ(file, nullptr) << (access == FileAccess::Read ? "for reading" : "for writing");
            EXPECT_FALSE(missing) << "a held file is there";
            if (file != nullptr) closeFile(file);
        }
        EXPECT_FALSE(deleteFile(path.c_str()));
    }
    EXPECT_EQ(fileLength(path), contents.size());
    EXPECT_EQ(readFileAt(path, 0, 4096), contents);
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

TEST_F(FileSeamTest, SetFileLengthShortensAndLengthensWithZeros) {
    const std::string path = folder_.at("news.mbx");
    const std::string contents = patternBytes(10 * 512);
    writeWholeFile(path, contents);

    struct Step {
        FileAccess access;  // a file opened for reading cannot be cut: the length stays
        uint64_t length;
        std::string expected;
    };
    const Step steps[] = {
        {FileAccess::Write, 7 * 512, contents.substr(0, 7 * 512)},
        {FileAccess::Read, 2 * 512, contents.substr(0, 7 * 512)},
        {FileAccess::Write, 12 * 512, contents.substr(0, 7 * 512) + std::string(5 * 512, '\0')},
        {FileAccess::Write, 0, ""},
    };
    for (const Step& step : steps) {
        {
            ScopedFile file(openExistingFile(path.c_str(), step.access));
            ASSERT_TRUE(file);
            EXPECT_EQ(setFileLength(file.get(), step.length), step.access == FileAccess::Write);
        }
        EXPECT_EQ(fileLength(path), step.expected.size());
        EXPECT_EQ(readFileAt(path, 0, 64 * 1024), step.expected) << "length " << step.length;
    }
}

TEST_F(FileSeamTest, SizesBeyond32BitsAreTakenAndSetWhole) {
    const std::string path = folder_.at("news.mbx");
    makeSparseFile(path, k3GiB);
    ASSERT_EQ(fileLength(path), k3GiB);
    {
        ScopedFile file(openExistingFile(path.c_str(), FileAccess::Read));
        ASSERT_TRUE(file);
        uint64_t size = 0;
        EXPECT_TRUE(fileSize(file.get(), &size));
        EXPECT_EQ(size, k3GiB);
    }
    {
        ScopedFile file(openExistingFile(path.c_str(), FileAccess::Write));
        ASSERT_TRUE(file);
        EXPECT_TRUE(setFileLength(file.get(), k5GiB));
        uint64_t size = 0;
        EXPECT_TRUE(fileSize(file.get(), &size));
        EXPECT_EQ(size, k5GiB) << "the high half of the size";
    }
    EXPECT_EQ(fileLength(path), k5GiB);
    EXPECT_EQ(readFileAt(path, k5GiB - 512, 512), std::string(512, '\0'));
}

TEST_F(FileSeamTest, ReadFileReadsAWholeSmallFileInOneRead) {
    const std::string path = folder_.at("news.bmp");
    const std::string contents = patternBytes(70000);
    writeWholeFile(path, contents);
    ScopedFile file(openExistingFile(path.c_str(), FileAccess::Read));
    ASSERT_TRUE(file);
    uint64_t size = 0;
    ASSERT_TRUE(fileSize(file.get(), &size));
    ASSERT_EQ(size, contents.size());
    std::string read(contents.size(), '\0');
    uint32_t bytesRead = 0;
    EXPECT_TRUE(readFile(file.get(), &read[0], static_cast<uint32_t>(read.size()), &bytesRead));
    EXPECT_EQ(bytesRead, contents.size());
    EXPECT_EQ(read, contents);
}

TEST_F(FileSeamTest, DeleteFileRemovesAndMissingFilesDoNotOpen) {
    const std::string path = folder_.at("news.bmp");
    writeWholeFile(path, "map");
    EXPECT_TRUE(deleteFile(path.c_str()));
    EXPECT_FALSE(fileExists(path));
    EXPECT_FALSE(deleteFile(path.c_str())) << "deleting a missing file";
    // An account whose folder is gone is as missing as one without a map.
    for (const std::string& missingPath : {path, folder_.at("account7\\news.bmp")}) {
        for (FileAccess access : {FileAccess::Read, FileAccess::Write}) {
            bool missing = false;
            PlatformFile* file = openExistingFile(missingPath.c_str(), access, &missing);
            EXPECT_EQ(file, nullptr);
            EXPECT_TRUE(missing) << missingPath;
            if (file != nullptr) closeFile(file);
        }
    }
    EXPECT_FALSE(fileExists(path)) << "opening for writing must not create the file";
}

}  // namespace
