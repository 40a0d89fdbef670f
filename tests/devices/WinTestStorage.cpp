#include <windows.h>

#include <gtest/gtest.h>

#include "TestStorage.h"
#include "devices/RegistryCatalogueStore.h"

// Each test has a key of its own, so tests running side by side in one
// prefix do not see each other's devices.
TestStorage::TestStorage() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    where_ = std::string("Software\\Korvel\\NimbrelTests\\") + test->test_suite_name() + "." + test->name();
    RegDeleteTreeA(HKEY_CURRENT_USER, where_.c_str());
}

TestStorage::~TestStorage() {
    RegDeleteTreeA(HKEY_CURRENT_USER, where_.c_str());
}

std::unique_ptr<CatalogueStore> TestStorage::open() const {
    return std::make_unique<RegistryCatalogueStore>(where_ + "\\DEVICES");
}
