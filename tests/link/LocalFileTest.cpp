// The local file rules, run against WinFile on Windows and PosixFile on Linux.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "LinkTestSupport.h"
#include "NativeHost.h"
#include "TestFiles.h"
#include "link/LocalFile.h"

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
    // Checks each action's exception class and text ("<method> --  <text>").
    void expectRaised(const std::vector<std::pair<std::function<void()>, std::string>>& cases) const {
        for (const auto& [action, expected] : cases) EXPECT_EQ(raisedBy(action), expected);
    }

    TempDir dir;
    std::uint8_t buffer[16] = {};
};
}  // namespace

TEST_F(LocalFileTest, WrittenBytesReplaceTheOldContentAndReadBackWithSizeNameAndEndOfFile) {
    createWith("data.bin", "a much longer old content");
    const std::vector<std::uint8_t> bytes{0, 1, 0x1A, 0x80, 0xFF, '\r', '\n'};
    EXPECT_EQ(openLocalFile(nameOf("data.bin"), LocalFile::WriteMode)->writeBuffer(bytes.data(), 7), 7u);
    EXPECT_EQ(readFileBytes(dir.file("data.bin")), bytes);

    auto file = openLocalFile(nameOf("data.bin"), LocalFile::ReadMode);
    EXPECT_EQ(file->getSize(), 7u);
    EXPECT_EQ(file->getBaseName(), "data.bin");
    EXPECT_EQ(file->readBuffer(buffer, sizeof buffer), 7u);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 7), bytes);
    EXPECT_EQ(file->readBuffer(buffer, sizeof buffer), 0u) << "the end of a file is no error";
}

TEST_F(LocalFileTest, QuotedPathOpensWithoutQuotesButAFailedOpenShowsThemAndTheMode) {
    createWith("quoted.txt", "abc");
    auto file = openLocalFile("\"" + nameOf("quoted.txt") + "\"", LocalFile::ReadMode);
    EXPECT_EQ(file->getSize(), 3u);
    EXPECT_EQ(file->getBaseName(), "quoted.txt");

    const std::string missing = "\"" + nameOf("missing.txt") + "\"";
    const std::string noFolder = nameOf("no-such-folder") + separator + "x.txt";
    const std::string head = "CannotOpenFile: " + fileClass + "::" + fileClass + " -- Cannot open file ";
    expectRaised({{[&] { openLocalFile(missing, LocalFile::ReadMode); }, head + missing + " in read-Mode."},
                  {[&] { openLocalFile(noFolder, LocalFile::WriteMode); }, head + noFolder + " in write-Mode."}});
}

TEST_F(LocalFileTest, ReadingAWriteFileWritingAReadFileFailedDeletesAndEveryCallAfterAnEraseAreRefused) {
    createWith("in.txt", "abc");
    const std::string in = nameOf("in.txt"), out = nameOf("out.bin"), w = nameOf("w.txt"), c = fileClass;
    EXPECT_EQ(raisedBy([&] { openLocalFile(in, LocalFile::ReadMode)->writeBuffer(buffer, 1); }),
              "CannotWriteToFile: " + c + "::writeBuffer --  Can't write to file " + in + ". File is opened readonly.");
    EXPECT_EQ(readFileBytes(dir.file("in.txt")).size(), 3u) << "nothing may be written to a file opened for reading";
    auto writer = openLocalFile(nameOf("out.bin"), LocalFile::WriteMode);
    writer->writeBuffer(buffer, 4);
    writer->erase();
    EXPECT_FALSE(pathExists(dir.file("out.bin")));
    // A file gone from under its object before it erases it.
    auto gone = openLocalFile(nameOf("in.txt"), LocalFile::ReadMode);
#ifdef _WIN32
    auto keeper = openLocalFile(nameOf("in.txt"), LocalFile::ReadMode);  // Windows cannot delete a file held open
#else
    removeLink(dir.file("in.txt"));
#endif
    expectRaised({
        {[&] { openLocalFile(w, LocalFile::WriteMode)->readBuffer(buffer, 4); },
         "CannotReadFromFile: " + c + "::readBuffer --  Can't read from file " + w +
             ". File is opened with writeonly-flag."},
        {[&] { gone->erase(); }, "CannotDeleteFile: " + c + "::erase --  Can't delete file " + in + "."},
        {[&] { gone->erase(); }, "FileNotFound: " + c + "::erase --  File " + in + " was erased."},
        {[&] { writer->writeBuffer(buffer, 4); },
         "FileNotFound: " + c + "::writeBuffer --  File " + out + " was erased."},
        {[&] { writer->readBuffer(buffer, 4); },
         "FileNotFound: " + c + "::readBuffer --  File " + out + " was erased."},
        {[&] { writer->erase(); }, "FileNotFound: " + c + "::erase --  File " + out + " was erased."},
        {[&] { writer->getSize(); },
         "CannotReadFileSize: " + c + "::getSize --  Can't detect size of file " + out + "."},
    });
}

TEST_F(LocalFileTest, FilesOf4GiBOrMoreHaveNoSizeRatherThanAWrongOne) {
    createWith("huge.bin", "");
    std::filesystem::resize_file(nameOf("huge.bin"), (std::uintmax_t{1} << 32) + 5);  // sparse
    auto file = openLocalFile(nameOf("huge.bin"), LocalFile::ReadMode);
    EXPECT_EQ(
        raisedBy([&] { file->getSize(); }),
        "CannotReadFileSize: " + fileClass + "::getSize --  Can't detect size of file " + nameOf("huge.bin") + ".")
        << "the low 32 bits (5) would send a wrong size to the device";
}
