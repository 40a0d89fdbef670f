// The catalogue file: where it lives, what it holds, and that any name
// survives the trip through it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "TestFiles.h"
#include "TestStorage.h"
#include "devices/FileCatalogueStore.h"

namespace fs = std::filesystem;

TEST(CatalogueFile, TheUsersCatalogueLivesUnderXdgConfigHomeOrDotConfigAndHoldsOneEntryALine) {
    TestStorage storage;
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("XDG_CONFIG_HOME", storage.where().c_str(), 1);
    DeviceCatalogue catalogue;
    catalogue.loadCatalogue();
    catalogue.nameDevice("CV8-0042", 0x78);
    catalogue.nameDevice("CV8-0043", 0x78);
    catalogue.saveIndexCounters();
    const fs::path file = fs::path(storage.where()) / "nimbrel" / "devices";
    const auto bytes = readFileBytes(file.string());
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              "# Nimbrel device catalogue: per-model counters and remembered device names.\n"
              "counter\tSLV_INDEX\t0\n"
              "counter\tMN2_INDEX\t0\n"
              "counter\tCV4_INDEX\t0\n"
              "counter\tCV8_INDEX\t2\n"
              "name\tCV8\tCV8-0042\tCorvia 80\n"
              "name\tCV8\tCV8-0043\tCorvia 80 (2)\n");
    for (const auto& entry : fs::directory_iterator(file.parent_path()))
        EXPECT_EQ(entry.path().filename(), "devices") << "a temporary file was left behind";

    ::setenv("HOME", "/home/someone", 1);
    for (const char* config : {static_cast<const char*>(nullptr), "relative/dir"}) {
        config ? ::setenv("XDG_CONFIG_HOME", config, 1) : ::unsetenv("XDG_CONFIG_HOME");
        EXPECT_EQ(FileCatalogueStore::userFile(), fs::path("/home/someone/.config/nimbrel/devices"))
            << "XDG_CONFIG_HOME " << (config ? config : "unset") << " is not to be used";
    }
    ::setenv("HOME", home.c_str(), 1);  // a later test of this program names its own storage
    ::unsetenv("XDG_CONFIG_HOME");
}

TEST(CatalogueFile, NamesWithTabsLineBreaksBackslashesAndControlBytesSurviveAReload) {
    TestStorage storage;
    const std::string awkwardName = "Desk\t\"one\"\nsecond line\\end\r\x01\x7F \xC3\xA9";
    const std::string awkwardSerial = "A\tB\\n";
    storage.listing({{awkwardSerial, 0x05}, {"PLAIN", 0x05}});
    storage.loaded().storeDeviceName(0x05, awkwardSerial, awkwardName);
    const auto names = storage.loaded().rememberedNames();
    EXPECT_EQ(names.at(awkwardSerial), awkwardName);
    EXPECT_EQ(names.at("PLAIN"), "Solvane (2)");
    EXPECT_EQ(escapeCatalogueText(awkwardSerial), "A\\tB\\\\n");
    EXPECT_EQ(escapeCatalogueText("\x01\x7F"), "\\x01\\x7F");
}

TEST(CatalogueFile, LinesThatAreNotUnderstoodArePassedOverAndTheRestIsKept) {
    TestStorage storage;
    const fs::path file = fs::path(storage.where()) / "nimbrel" / "devices";
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << "counter\tCV8_INDEX\tmany\nname\tXYZ\tS1\tUnknown model\n"
                                             "garbage without tabs\nname\tCV8\tS2\n"
                                             "name\tMN2\tS3\tMinnow (7)\r\ncounter\tMN2_INDEX\t7\n";
    DeviceCatalogue catalogue = storage.loaded();
    EXPECT_EQ(catalogue.rememberedNames(), (std::map<std::string, std::string>{{"S3", "Minnow (7)"}}));
    EXPECT_EQ(catalogue.indexCounter(0x72), 7u);
    EXPECT_EQ(catalogue.indexCounter(0x78), 0u);
    EXPECT_EQ(catalogue.nameDevice("S4", 0x72), "Minnow (8)");
}

// Two nimbrel processes naming devices at once: each change is made under
// the file's lock, so none is lost; a link where the new file goes is
// removed, never written through.
TEST(CatalogueFile, TwoWritersAtOnceLoseNothingAndTheNewFileFollowsNoLink) {
    TestStorage storage;
    const fs::path file = fs::path(storage.where()) / "nimbrel" / "devices";
    writeText(storage.where() + "/victim", "untouched");
    fs::create_directories(file.parent_path());
    fs::create_symlink(storage.where() + "/victim", file.string() + ".new-" + std::to_string(::getpid()));
    storage.open()->writeName(deviceModels[3], "FIRST", "Desk");
    EXPECT_EQ(readText(storage.where() + "/victim"), "untouched");

    constexpr int namesEach = 40;
    std::vector<pid_t> writers;
    for (const char* serial : {"A-", "B-"}) {
        const pid_t child = ::fork();
        if (child == 0) {
            for (int i = 0; i < namesEach; ++i)
                storage.open()->writeName(deviceModels[3], serial + std::to_string(i), "Corvia");
            ::_exit(0);
        }
        writers.push_back(child);
    }
    for (const pid_t writer : writers) ::waitpid(writer, nullptr, 0);
    EXPECT_EQ(storage.open()->readNames(deviceModels[3]).size(), 2u * namesEach + 1);
}
