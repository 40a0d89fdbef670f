#include <windows.h>

#include <gtest/gtest.h>

#include "TestStorage.h"
#include "devices/RegistryCatalogueStore.h"

namespace {

const char* const testsRoot = "Software\\Korvel\\NimbrelTests";

std::string currentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return info ? std::string(info->test_suite_name()) + "." + info->name() : "outside-a-test";
}

}  // namespace

// Each test has a key of its own, so tests running side by side in one
// prefix do not see each other's devices.
TestStorage::TestStorage() : where_(std::string(testsRoot) + "\\" + currentTestName()) {
    RegDeleteTreeA(HKEY_CURRENT_USER, where_.c_str());
}

TestStorage::~TestStorage() {
    RegDeleteTreeA(HKEY_CURRENT_USER, where_.c_str());
}

std::unique_ptr<CatalogueStore> TestStorage::open() const {
    return std::make_unique<RegistryCatalogueStore>(where_ + "\\DEVICES");
}
