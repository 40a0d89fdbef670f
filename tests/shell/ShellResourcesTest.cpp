#include "shell/ShellResources.h"

#include <gtest/gtest.h>

namespace {

ULONG referencesOf(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

TEST(ShellResources, RegistryKeyIsClosedWhenItsOwnerEndsAndMovesWithoutClosing)
{
    HKEY raw = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &raw), ERROR_SUCCESS);
    {
        UniqueRegKey first(raw);
        UniqueRegKey second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.get(), raw);
        EXPECT_EQ(RegQueryInfoKeyW(second.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr),
                  ERROR_SUCCESS)
            << "the moved key should still be open";
    }
    EXPECT_EQ(RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_INVALID_HANDLE)
        << "the key should be closed with its owner";
}

TEST(ShellResources, GlobalLockIsHeldOnlyForTheGuardsScope)
{
    UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, 16));
    ASSERT_TRUE(memory);
    {
        GlobalLockGuard<char> lock(memory.get());
        ASSERT_TRUE(lock);
        EXPECT_EQ(lock.size(), 16u);
        EXPECT_EQ(GlobalFlags(memory.get()) & GMEM_LOCKCOUNT, 1u);
    }
    EXPECT_EQ(GlobalFlags(memory.get()) & GMEM_LOCKCOUNT, 0u) << "the guard should unlock the block";
}

TEST(ShellResources, StorageMediumReleasesWhatItHoldsOnceAndEmptyMediumIsNone)
{
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    stream->AddRef();  // our own reference, to watch the medium's go
    {
        STGMEDIUM filled{};
        filled.tymed = TYMED_ISTREAM;
        filled.pstm = stream;
        UniqueStgMedium medium(filled);
        EXPECT_TRUE(medium);
        UniqueStgMedium moved(std::move(medium));
        EXPECT_FALSE(medium);
        EXPECT_EQ(referencesOf(stream), 2u);
    }
    EXPECT_EQ(referencesOf(stream), 1u) << "the medium's reference should be released exactly once";
    stream->Release();
    EXPECT_FALSE(UniqueStgMedium(STGMEDIUM{}));
}

}  // namespace
