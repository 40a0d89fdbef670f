// The catalogue through this platform's storage: names per model, counters,
// renames, and names long enough to need more than a small buffer.
#include <gtest/gtest.h>

#include "TestStorage.h"

constexpr std::uint32_t solvane = 0x05;
constexpr std::uint32_t minnow = 0x72;
constexpr std::uint32_t corvia80 = 0x78;

TEST(DeviceCatalogue, ModelTableNamesTheFourFileCapableModels) {
    std::string names;
    for (std::uint32_t type : {0x05u, 0x72u, 0x74u, 0x78u, 0x04u, 0x90u})
        names += std::string(modelName(type) ? modelName(type) : "none") + "|";
    EXPECT_EQ(names, "Solvane|Minnow|Corvia 40|Corvia 80|none|none|");
    EXPECT_EQ(numberedName(*findModel(0x74), 12), "Corvia 40 (12)");
}

TEST(DeviceCatalogue, NewDevicesGetTheModelNameThenNumbersAfterAllEverSeenAndRenamesShowAtTheNextListing) {
    TestStorage storage;
    storage.loaded();
    const StoredCounters counters = storage.open()->readCounters();
    for (std::size_t i = 0; i < modelCount; ++i)
        EXPECT_EQ(counters[i].value_or(99), 0u)
            << "loading an empty store writes " << deviceModels[i].counterValue << " = 0";

    const struct {
        std::vector<std::pair<std::string, std::uint32_t>> listed;
        std::vector<std::string> names;
        std::uint32_t counter;
    } listings[] = {
        {{{"CV8-A", corvia80}, {"CV8-B", corvia80}}, {"Corvia 80", "Corvia 80 (2)"}, 2},
        {{{"CV8-B", corvia80}, {"CV8-A", corvia80}}, {"Corvia 80 (2)", "Corvia 80"}, 2},  // the same two keep theirs
        {{{"CV8-C", corvia80}, {"CV8-A", corvia80}}, {"Corvia 80 (3)", "Corvia 80"}, 3},  // connected or not
    };
    for (const auto& l : listings) {
        EXPECT_EQ(storage.listing(l.listed), l.names) << "in " << storage.where();
        EXPECT_EQ(storage.loaded().indexCounter(corvia80), l.counter);
    }
    EXPECT_EQ(storage.open()->readNames(*findModel(corvia80)).size(), 3u);
    EXPECT_EQ(storage.loaded().indexCounter(solvane), 0u);

    DeviceCatalogue catalogue = storage.loaded();
    EXPECT_TRUE(catalogue.storeDeviceName(corvia80, "CV8-B", "Kitchen"));
    EXPECT_EQ(catalogue.rememberedNames().at("CV8-B"), "Corvia 80 (2)")
        << "the names held change only at the next load";
    EXPECT_EQ(storage.listing({{"CV8-A", corvia80}, {"CV8-B", corvia80}}),
              (std::vector<std::string>{"Corvia 80", "Kitchen"}));
    EXPECT_EQ(storage.loaded().indexCounter(corvia80), 3u) << "a rename uses up no number";
}

TEST(DeviceCatalogue, DevicesWithoutSerialTextShareOneNameAcrossModelsAndUnknownTypesAreNeitherNamedNorStored) {
    TestStorage storage;
    EXPECT_EQ(storage.listing({{"xxx", corvia80}, {"xxx", minnow}}),
              (std::vector<std::string>{"Corvia 80", "Corvia 80"}));
    EXPECT_EQ(storage.loaded().indexCounter(corvia80), 1u);
    EXPECT_EQ(storage.loaded().indexCounter(minnow), 0u) << "a remembered name must not use up a number";

    DeviceCatalogue catalogue = storage.loaded();
    EXPECT_EQ(catalogue.nameDevice("OTHER", 0x04), "");
    EXPECT_FALSE(catalogue.storeDeviceName(0x90, "OTHER", "Something"));
    EXPECT_EQ(storage.loaded().rememberedNames().size(), 1u);
}

TEST(DeviceCatalogue, NamesAndSerialsOf40CharactersOrMoreAreReadWholeAndLaterDevicesKeepTheirs) {
    TestStorage storage;
    const std::string longName(64, 'N');
    const std::string longSerial(43, 'S');
    // Three models whose older reading stopped at the first value it could not read, and Solvane.
    storage.listing(
        {{"SLV-A", solvane}, {"MN2-A", minnow}, {"CV8-A", corvia80}, {longSerial, corvia80}, {"CV8-C", corvia80}});
    DeviceCatalogue renamer(storage.open());
    renamer.storeDeviceName(solvane, "SLV-A", longName);
    renamer.storeDeviceName(minnow, "MN2-A", longName + "m");
    renamer.storeDeviceName(corvia80, "CV8-A", longName + "c");

    const auto names = storage.loaded().rememberedNames();
    EXPECT_EQ(names.at("SLV-A"), longName);
    EXPECT_EQ(names.at("MN2-A"), longName + "m");
    EXPECT_EQ(names.at("CV8-A"), longName + "c");
    ASSERT_EQ(names.count(longSerial), 1u) << "a 43-character serial text was lost";
    EXPECT_EQ(names.at(longSerial), "Corvia 80 (2)");
    EXPECT_EQ(names.at("CV8-C"), "Corvia 80 (3)") << "a device stored after a long name lost its name";
    EXPECT_EQ(storage.listing({{"CV8-C", corvia80}, {"CV8-D", corvia80}}),
              (std::vector<std::string>{"Corvia 80 (3)", "Corvia 80 (4)"}));
}
