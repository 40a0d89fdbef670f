// The local file rules, run against WinFile on Windows and PosixFile on Linux.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "NativeHost.h"
#include "TestFiles.h"
#include "link/LocalFile.h"
#include "link/NBException.h"

namespace {
#ifdef _WIN32
const std::string fileClass = "WinFile";
const char separator = '\\';
#else
const std::string fileClass = "PosixFile";
const char separator = '/';
#endif

class LocalFileTest : public ::testing::Test {
protected:
    // The name as the file class sees it: a path of the test program's OS.
    std::string nameOf(const std::string& leaf) const { return hostPath(dir.file(leaf)); }

    void createWith(const std::string& leaf, const std::string& content) const {
        std::ofstream(nameOf(leaf), std::ios::binary) << content;
    }

    template <typename Exception, typename Action>
    std::string messageOf(Action action) const {
        try {
            action();
        } catch (const Exception& raised) {
            return raised.description;
        }
        ADD_FAILURE() << "expected an exception";
        return {};
    }

    TempDir dir;
};
}  // namespace

TEST_F(LocalFileTest, WrittenBytesReadBackWithSizeAndEndOfFileGivesZero) {
    const std::vector<std::uint8_t> bytes{0, 1, 0x1A, 0x80, 0xFF, '\r', '\n'};
    {
        auto file = openLocalFile(nameOf("data.bin"), LocalFile::WriteMode);
        EXPECT_EQ(file->writeBuffer(bytes.data(), 7), 7u);
    }
    auto file = openLocalFile(nameOf("data.bin"), LocalFile::ReadMode);
    EXPECT_EQ(file->getSize(), 7u);
    std::uint8_t read[16] = {};
    EXPECT_EQ(file->readBuffer(read, sizeof read), 7u);
    EXPECT_EQ(std::vector<std::uint8_t>(read, read + 7), bytes);
    EXPECT_EQ(file->readBuffer(read, sizeof read), 0u) << "the end of a file is no error";
}

TEST_F(LocalFileTest, WriteModeReplacesAnExistingFile) {
    createWith("old.txt", "a much longer old content");
    auto file = openLocalFile(nameOf("old.txt"), LocalFile::WriteMode);
    file->writeBuffer(reinterpret_cast<const std::uint8_t*>("new"), 3);
    file.reset();
    EXPECT_EQ(readFileBytes(dir.file("old.txt")), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
}

TEST_F(LocalFileTest, QuotedPathOpensWithoutQuotesButAFailedOpenShowsThemAndTheMode) {
    createWith("quoted.txt", "abc");
    auto file = openLocalFile("\"" + nameOf("quoted.txt") + "\"", LocalFile::ReadMode);
    EXPECT_EQ(file->getSize(), 3u);
    EXPECT_EQ(file->getBaseName(), "quoted.txt");

    const std::string missing = "\"" + nameOf("missing.txt") + "\"";
    EXPECT_EQ(messageOf<FileExceptions::CannotOpenFile>([&] { openLocalFile(missing, LocalFile::ReadMode); }),
              fileClass + "::" + fileClass + " -- Cannot open file " + missing + " in read-Mode.");
    const std::string noFolder = nameOf("no-such-folder") + separator + "x.txt";
    EXPECT_EQ(messageOf<FileExceptions::CannotOpenFile>([&] { openLocalFile(noFolder, LocalFile::WriteMode); }),
              fileClass + "::" + fileClass + " -- Cannot open file " + noFolder + " in write-Mode.");
}

TEST_F(LocalFileTest, ReadingAWriteFileAndWritingAReadFileAreRefused) {
    createWith("in.txt", "abc");
    auto reader = openLocalFile(nameOf("in.txt"), LocalFile::ReadMode);
    const std::uint8_t byte = 'x';
    EXPECT_EQ(messageOf<FileExceptions::CannotWriteToFile>([&] { reader->writeBuffer(&byte, 1); }),
              fileClass + "::writeBuffer --  Can't write to file " + nameOf("in.txt") + ". File is opened readonly.");
    reader.reset();
    EXPECT_EQ(readFileBytes(dir.file("in.txt")).size(), 3u) << "nothing may be written to a file opened for reading";

    auto writer = openLocalFile(nameOf("out.txt"), LocalFile::WriteMode);
    std::uint8_t buffer[4];
    EXPECT_EQ(messageOf<FileExceptions::CannotReadFromFile>([&] { writer->readBuffer(buffer, 4); }),
              fileClass + "::readBuffer --  Can't read from file " + nameOf("out.txt") +
                  ". File is opened with writeonly-flag.");
}

TEST_F(LocalFileTest, EraseDeletesTheFileAndEveryLaterCallSaysItWasErased) {
    auto file = openLocalFile(nameOf("partial.bin"), LocalFile::WriteMode);
    file->writeBuffer(reinterpret_cast<const std::uint8_t*>("part"), 4);
    file->erase();
    EXPECT_FALSE(pathExists(dir.file("partial.bin")));

    const std::string name = nameOf("partial.bin");
    std::uint8_t buffer[4] = {};
    EXPECT_EQ(messageOf<FileExceptions::FileNotFound>([&] { file->writeBuffer(buffer, 4); }),
              fileClass + "::writeBuffer --  File " + name + " was erased.");
    EXPECT_EQ(messageOf<FileExceptions::FileNotFound>([&] { file->readBuffer(buffer, 4); }),
              fileClass + "::readBuffer --  File " + name + " was erased.");
    EXPECT_EQ(messageOf<FileExceptions::FileNotFound>([&] { file->erase(); }),
              fileClass + "::erase --  File " + name + " was erased.");
    EXPECT_EQ(messageOf<FileExceptions::CannotReadFileSize>([&] { file->getSize(); }),
              fileClass + "::getSize --  Can't detect size of file " + name + ".");
}

TEST_F(LocalFileTest, EraseOfAFileThatCannotBeDeletedSaysSoAndStaysErased) {
    // The file is gone from under the object before it erases it.
    createWith("gone.txt", "abc");
    auto file = openLocalFile(nameOf("gone.txt"), LocalFile::ReadMode);
    std::unique_ptr<LocalFile> keeper;
#ifdef _WIN32
    // Windows cannot delete a file another reader holds open.
    keeper = openLocalFile(nameOf("gone.txt"), LocalFile::ReadMode);
#else
    removeLink(dir.file("gone.txt"));
#endif
    EXPECT_EQ(messageOf<FileExceptions::CannotDeleteFile>([&] { file->erase(); }),
              fileClass + "::erase --  Can't delete file " + nameOf("gone.txt") + ".");
    EXPECT_EQ(messageOf<FileExceptions::FileNotFound>([&] { file->erase(); }),
              fileClass + "::erase --  File " + nameOf("gone.txt") + " was erased.");
}

TEST_F(LocalFileTest, BaseNameIsTheLastPathComponent) {
    createWith("base.txt", "");
    EXPECT_EQ(openLocalFile(nameOf("base.txt"), LocalFile::ReadMode)->getBaseName(), "base.txt");
}

TEST_F(LocalFileTest, FilesOf4GiBOrMoreHaveNoSizeRatherThanAWrongOne) {
    createWith("huge.bin", "");
    std::filesystem::resize_file(nameOf("huge.bin"), (std::uintmax_t{1} << 32) + 5);  // sparse
    auto file = openLocalFile(nameOf("huge.bin"), LocalFile::ReadMode);
    EXPECT_EQ(messageOf<FileExceptions::CannotReadFileSize>([&] { file->getSize(); }),
              fileClass + "::getSize --  Can't detect size of file " + nameOf("huge.bin") + ".")
        << "the low 32 bits (5) would send a wrong size to the device";
}
