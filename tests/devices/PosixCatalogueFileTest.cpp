// The catalogue file: where it lives, what it holds, and that any name
// survives the trip through it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestStorage.h"
#include "devices/DeviceCatalogue.h"
#include "devices/FileCatalogueStore.h"

namespace fs = std::filesystem;

namespace {

std::string contentsOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnvironment() { old_.empty() ? ::unsetenv(name_) : ::setenv(name_, old_.c_str(), 1); }

private:
    const char* name_;
    std::string old_;
};

}  // namespace

TEST(CatalogueFile, TheUsersCatalogueLivesUnderXdgConfigHomeAndHoldsOneEntryALine) {
    TestStorage storage;
    const ScopedEnvironment config("XDG_CONFIG_HOME", storage.where().c_str());

    DeviceCatalogue catalogue;
    catalogue.loadCatalogue();
    catalogue.nameDevice("CV8-0042", 0x78);
    catalogue.nameDevice("CV8-0043", 0x78);
    catalogue.saveIndexCounters();

    const fs::path file = fs::path(storage.where()) / "nimbrel" / "devices";
    EXPECT_EQ(contentsOf(file),
              "# Nimbrel device catalogue: per-model counters and remembered device names.\n"
              "counter\tSLV_INDEX\t0\n"
              "counter\tMN2_INDEX\t0\n"
              "counter\tCV4_INDEX\t0\n"
              "counter\tCV8_INDEX\t2\n"
              "name\tCV8\tCV8-0042\tCorvia 80\n"
              "name\tCV8\tCV8-0043\tCorvia 80 (2)\n");
    for (const auto& entry : fs::directory_iterator(file.parent_path())) {
        EXPECT_EQ(entry.path().filename(), "devices") << "a temporary file was left behind";
    }
}

TEST(CatalogueFile, WithoutXdgConfigHomeTheCatalogueLivesInDotConfig) {
    const ScopedEnvironment home("HOME", "/home/someone");
    {
        const ScopedEnvironment config("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ(FileCatalogueStore::userFile(), fs::path("/home/someone/.config/nimbrel/devices"));
    }
    const ScopedEnvironment relative("XDG_CONFIG_HOME", "relative/dir");
    EXPECT_EQ(FileCatalogueStore::userFile(), fs::path("/home/someone/.config/nimbrel/devices"))
        << "a relative XDG_CONFIG_HOME is to be ignored";
}

TEST(CatalogueFile, NamesWithTabsLineBreaksBackslashesAndControlBytesSurviveAReload) {
    TestStorage storage;
    const std::string awkwardName = "Desk\t\"one\"\nsecond line\\end\r\x01\x7F \xC3\xA9";
    const std::string awkwardSerial = "A\tB\\n";
    {
        DeviceCatalogue catalogue(storage.open());
        catalogue.loadCatalogue();
        catalogue.nameDevice(awkwardSerial, 0x05);
        catalogue.nameDevice("PLAIN", 0x05);
        catalogue.saveIndexCounters();
        catalogue.storeDeviceName(0x05, awkwardSerial, awkwardName);
    }

    DeviceCatalogue catalogue(storage.open());
    catalogue.loadCatalogue();
    EXPECT_EQ(catalogue.rememberedNames().at(awkwardSerial), awkwardName);
    EXPECT_EQ(catalogue.rememberedNames().at("PLAIN"), "Solvane (2)");
    EXPECT_EQ(escapeCatalogueText(awkwardSerial), "A\\tB\\\\n");
    EXPECT_EQ(escapeCatalogueText("\x01\x7F"), "\\x01\\x7F");
}

TEST(CatalogueFile, LinesThatAreNotUnderstoodArePassedOverAndTheRestIsKept) {
    TestStorage storage;
    const fs::path file = fs::path(storage.where()) / "nimbrel" / "devices";
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << "counter\tCV8_INDEX\tmany\n"
                                             "name\tXYZ\tS1\tUnknown model\n"
                                             "garbage without tabs\n"
                                             "name\tCV8\tS2\n"
                                             "name\tMN2\tS3\tMinnow (7)\r\n"
                                             "counter\tMN2_INDEX\t7\n";

    DeviceCatalogue catalogue(storage.open());
    catalogue.loadCatalogue();
    EXPECT_EQ(catalogue.rememberedNames(), (std::map<std::string, std::string>{{"S3", "Minnow (7)"}}));
    EXPECT_EQ(catalogue.indexCounter(0x72), 7u);
    EXPECT_EQ(catalogue.indexCounter(0x78), 0u);
    EXPECT_EQ(catalogue.nameDevice("S4", 0x72), "Minnow (8)");
}
