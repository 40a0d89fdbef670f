// The catalogue through this platform's storage: names per model, counters,
// renames, and names long enough to need more than a small buffer.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "TestStorage.h"
#include "devices/DeviceCatalogue.h"

namespace {

constexpr std::uint32_t solvane = 0x05;
constexpr std::uint32_t minnow = 0x72;
constexpr std::uint32_t corvia80 = 0x78;

using Device = std::pair<std::string, std::uint32_t>;  // serial text, type code

// What a root listing does: load, name every device in list order, save.
std::vector<std::string> listing(const TestStorage& storage, const std::vector<Device>& devices) {
    DeviceCatalogue catalogue(storage.open());
    catalogue.loadCatalogue();
    std::vector<std::string> names;
    for (const auto& [serial, type] : devices) names.push_back(catalogue.nameDevice(serial, type));
    catalogue.saveIndexCounters();
    return names;
}

std::uint32_t storedCounter(const TestStorage& storage, std::uint32_t typeCode) {
    DeviceCatalogue catalogue(storage.open());
    catalogue.loadCatalogue();
    return catalogue.indexCounter(typeCode);
}

}  // namespace

TEST(DeviceCatalogue, ModelTableNamesTheFourFileCapableModels) {
    EXPECT_STREQ(modelName(0x05), "Solvane");
    EXPECT_STREQ(modelName(0x72), "Minnow");
    EXPECT_STREQ(modelName(0x74), "Corvia 40");
    EXPECT_STREQ(modelName(0x78), "Corvia 80");
    EXPECT_EQ(modelName(0x04), nullptr);
    EXPECT_EQ(modelName(0x90), nullptr);
    EXPECT_EQ(numberedName(*findModel(0x74), 12), "Corvia 40 (12)");
}

TEST(DeviceCatalogue, NewDevicesOfAModelGetTheModelNameThenNumberedNames) {
    TestStorage storage;

    EXPECT_EQ(listing(storage, {{"CV8-A", corvia80}, {"CV8-B", corvia80}}),
              (std::vector<std::string>{"Corvia 80", "Corvia 80 (2)"}))
        << "in " << storage.where();
    EXPECT_EQ(storedCounter(storage, corvia80), 2u);
    EXPECT_EQ(storage.open()->readNames(*findModel(corvia80)).size(), 2u);

    // Listed again, the same two keep their names and the counter stays.
    EXPECT_EQ(listing(storage, {{"CV8-B", corvia80}, {"CV8-A", corvia80}}),
              (std::vector<std::string>{"Corvia 80 (2)", "Corvia 80"}));
    EXPECT_EQ(storedCounter(storage, corvia80), 2u);

    // A third device is numbered after all devices ever seen, connected or not.
    EXPECT_EQ(listing(storage, {{"CV8-C", corvia80}, {"CV8-A", corvia80}}),
              (std::vector<std::string>{"Corvia 80 (3)", "Corvia 80"}));
    EXPECT_EQ(storedCounter(storage, corvia80), 3u);
    EXPECT_EQ(storedCounter(storage, solvane), 0u);
}

TEST(DeviceCatalogue, LoadingAnEmptyStoreWritesZeroCounters) {
    TestStorage storage;
    DeviceCatalogue(storage.open()).loadCatalogue();

    const StoredCounters counters = storage.open()->readCounters();
    for (std::size_t i = 0; i < modelCount; ++i) {
        ASSERT_TRUE(counters[i].has_value()) << deviceModels[i].counterValue << " was not written";
        EXPECT_EQ(*counters[i], 0u) << deviceModels[i].counterValue;
    }
}

TEST(DeviceCatalogue, DevicesWithoutSerialTextShareOneNameAcrossModels) {
    TestStorage storage;

    EXPECT_EQ(listing(storage, {{"xxx", corvia80}, {"xxx", minnow}}),
              (std::vector<std::string>{"Corvia 80", "Corvia 80"}));
    EXPECT_EQ(storedCounter(storage, corvia80), 1u);
    EXPECT_EQ(storedCounter(storage, minnow), 0u) << "a remembered name must not use up a number";
}

TEST(DeviceCatalogue, ARenamedDeviceShowsItsNewNameAtTheNextListingWithCountersUnchanged) {
    TestStorage storage;
    listing(storage, {{"SLV-1", solvane}, {"SLV-2", solvane}});

    DeviceCatalogue catalogue(storage.open());
    catalogue.loadCatalogue();
    EXPECT_TRUE(catalogue.storeDeviceName(solvane, "SLV-2", "Kitchen"));
    EXPECT_EQ(catalogue.rememberedNames().at("SLV-2"), "Solvane (2)") << "the names held change only at the next load";

    EXPECT_EQ(listing(storage, {{"SLV-1", solvane}, {"SLV-2", solvane}}),
              (std::vector<std::string>{"Solvane", "Kitchen"}));
    EXPECT_EQ(storedCounter(storage, solvane), 2u);
}

TEST(DeviceCatalogue, TypeCodesOutsideTheModelTableAreNeitherNamedNorStored) {
    TestStorage storage;
    DeviceCatalogue catalogue(storage.open());
    catalogue.loadCatalogue();

    EXPECT_EQ(catalogue.nameDevice("OTHER", 0x04), "");
    EXPECT_FALSE(catalogue.storeDeviceName(0x90, "OTHER", "Something"));
    catalogue.loadCatalogue();
    EXPECT_TRUE(catalogue.rememberedNames().empty());
}

TEST(DeviceCatalogue, NamesAndSerialsOf40CharactersOrMoreAreReadWholeAndLaterDevicesKeepTheirs) {
    TestStorage storage;
    const std::string longName(64, 'N');
    const std::string longSerial(43, 'S');
    // Three models whose older reading stopped at the first value it could not read, and Solvane.
    listing(storage, {{"SLV-A", solvane}, {"MN2-A", minnow}, {"CV8-A", corvia80}, {longSerial, corvia80},
                      {"CV8-C", corvia80}});
    DeviceCatalogue renamer(storage.open());
    renamer.storeDeviceName(solvane, "SLV-A", longName);
    renamer.storeDeviceName(minnow, "MN2-A", longName + "m");
    renamer.storeDeviceName(corvia80, "CV8-A", longName + "c");

    DeviceCatalogue catalogue(storage.open());
    catalogue.loadCatalogue();
    const auto& names = catalogue.rememberedNames();
    EXPECT_EQ(names.at("SLV-A"), longName);
    EXPECT_EQ(names.at("MN2-A"), longName + "m");
    EXPECT_EQ(names.at("CV8-A"), longName + "c");
    ASSERT_EQ(names.count(longSerial), 1u) << "a 43-character serial text was lost";
    EXPECT_EQ(names.at(longSerial), "Corvia 80 (2)");
    EXPECT_EQ(names.at("CV8-C"), "Corvia 80 (3)") << "a device stored after a long name lost its name";

    EXPECT_EQ(listing(storage, {{"CV8-C", corvia80}, {"CV8-D", corvia80}}),
              (std::vector<std::string>{"Corvia 80 (3)", "Corvia 80 (4)"}));
}
