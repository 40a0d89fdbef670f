// The local file rules, run against WinFile on Windows and PosixFile on Linux.
#include <gtest/gtest.h>

#include <algorithm>
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

#ifdef _WIN32
#include <windows.h>
#endif

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

// Until commit the old content stays, whatever happens to the new one; a
// link at the path is replaced, never written through.
TEST_F(LocalFileTest, WrittenBytesReplaceTheOldContentOnlyOnCommitAndReadBackWithSizeNameAndEndOfFile) {
    createWith("data.bin", "a much longer old content");
    createWith("victim.txt", "not to be touched");
    pointLink(dir.file("link.bin"), dir.file("victim.txt"));
    const std::vector<std::uint8_t> bytes{0, 1, 0x1A, 0x80, 0xFF, '\r', '\n'};
    for (const auto& [leaf, old] :
         {std::pair{"data.bin", "a much longer old content"}, {"link.bin", "not to be touched"}}) {
        openLocalFile(nameOf(leaf), LocalFile::WriteMode)->writeBuffer(bytes.data(), 7);
        auto erased = openLocalFile(nameOf(leaf), LocalFile::WriteMode);
        erased->writeBuffer(bytes.data(), 7);
        erased->erase();
        EXPECT_EQ(readText(dir.file(leaf)), old) << "an uncommitted or erased file replaced it";
        auto file = openLocalFile(nameOf(leaf), LocalFile::WriteMode);
        EXPECT_EQ(file->writeBuffer(bytes.data(), 7), 7u);
        file->commit();
        EXPECT_EQ(readFileBytes(dir.file(leaf)), bytes);
    }
    EXPECT_EQ(readText(dir.file("victim.txt")), "not to be touched");
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(nameOf("")))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"data.bin", "link.bin", "victim.txt"})) << "a new file was left beside";

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

TEST_F(LocalFileTest, ReadingAWriteFileWritingAReadFileFailedDeletesCallsAfterAnEraseAndSizesOf4GiBAreRefused) {
    createWith("in.txt", "abc");
    createWith("huge.bin", "");
    std::filesystem::resize_file(nameOf("huge.bin"), (std::uintmax_t{1} << 32) + 5);  // sparse
    auto huge = openLocalFile(nameOf("huge.bin"), LocalFile::ReadMode);
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
        // Rather than the low 32 bits (5), a wrong size for the device.
        {[&] { huge->getSize(); },
         "CannotReadFileSize: " + c + "::getSize --  Can't detect size of file " + nameOf("huge.bin") + "."},
    });
}

// Folders and the temporary folder under a user name such as "Jürgen".
TEST_F(LocalFileTest, FilesInFoldersAndTheTemporaryFolderWithNamesBeyondAsciiAreWrittenReplacedAndDeleted) {
    const std::string folder = nameOf("J\xC3\xBCrgen"), target = folder + separator +
                                                                 "Gr\xC3\xBC\xC3\x9F"
                                                                 "e.txt";
    std::filesystem::create_directory(std::filesystem::path(std::u8string(folder.begin(), folder.end())));
#ifdef _WIN32
    const std::wstring wideFolder = std::filesystem::path(std::u8string(folder.begin(), folder.end())).wstring();
    wchar_t before[MAX_PATH] = {};
    const bool wasSet = GetEnvironmentVariableW(L"TMP", before, MAX_PATH) != 0;
    SetEnvironmentVariableW(L"TMP", wideFolder.c_str());
    const std::string temporary = makeTemporaryFile();
    SetEnvironmentVariableW(L"TMP", wasSet ? before : nullptr);
#else
    ::setenv("TMPDIR", folder.c_str(), 1);
    const std::string temporary = makeTemporaryFile();
    ::unsetenv("TMPDIR");
#endif
    EXPECT_EQ(temporary.rfind(folder + separator + "~NB", 0), 0u) << temporary;
    for (const std::string& path : {target, temporary}) {
        for (const char* content : {"first", "second"}) {
            auto file = openLocalFile(path, LocalFile::WriteMode);
            file->writeBuffer(reinterpret_cast<const std::uint8_t*>(content), 5);
            file->commit();
        }
        EXPECT_EQ(openLocalFile(path, LocalFile::ReadMode)->readBuffer(buffer, sizeof buffer), 5u) << path;
        EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 5), "secon") << path;
        openLocalFile(path, LocalFile::ReadMode)->erase();
        EXPECT_TRUE(removeLocalFile(path)) << "still there: " << path;
    }
    EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(std::u8string(folder.begin(), folder.end()))));
}
