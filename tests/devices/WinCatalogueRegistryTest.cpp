// The catalogue in the registry of the current user, read back with the
// registry's own calls: keys, value types and data.
#include <windows.h>

#include <gtest/gtest.h>

#include "RegistryText.h"
#include "TestStorage.h"

TEST(CatalogueRegistry, CountersAreDwordsAndNamesStringsWithoutTerminatingZeroInSubkeysMadeAtLoading) {
    TestStorage storage;
    storage.listing({{"CV8-A", 0x78}, {"CV8-B", 0x78}});
    EXPECT_EQ(describeKey(HKEY_CURRENT_USER, storage.where() + "\\DEVICES"),
              "CV4_INDEX=0x0 CV8_INDEX=0x2 MN2_INDEX=0x0 SLV_INDEX=0x0 CV4{} "
              "CV8{CV8-A=\"Corvia 80\"(no NUL) CV8-B=\"Corvia 80 (2)\"(no NUL)} MN2{} SLV{}");
}

// Long values are read whole on every platform (see CatalogueTest); a name
// written by another program may end in a stored zero.
TEST(CatalogueRegistry, AStoredZeroEndsTheName) {
    TestStorage storage;
    const std::string name("With zero", 10);
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, (storage.where() + "\\DEVICES\\CV4").c_str(), "THIRD", REG_SZ,
                              name.data(), static_cast<DWORD>(name.size())),
              ERROR_SUCCESS);
    EXPECT_EQ(storage.loaded().rememberedNames().at("THIRD"), "With zero");
}
