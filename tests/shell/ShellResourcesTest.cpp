#include "shell/ShellResources.h"

#include <gtest/gtest.h>

namespace {

ULONG referencesOf(IUnknown* object) {
    return object->AddRef(), object->Release();
}

TEST(ShellResources, OwnersReleaseTheirKeyLockOrMediumExactlyOnceAndMovesHandOverWithoutReleasing) {
    HKEY raw = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &raw), ERROR_SUCCESS);
    const auto keyState = [&] { return RegQueryInfoKeyW(raw, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0); };
    {
        UniqueRegKey first(raw);
        UniqueRegKey second(std::move(first));
        EXPECT_TRUE(!first && second.get() == raw);
        EXPECT_EQ(keyState(), ERROR_SUCCESS) << "the moved key should still be open";
    }
    EXPECT_EQ(keyState(), ERROR_INVALID_HANDLE) << "the key should be closed with its owner";

    UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, 16));
    {
        GlobalLockGuard<char> lock(memory.get());
        ASSERT_TRUE(lock);
        EXPECT_EQ(lock.size(), 16u);
        EXPECT_EQ(GlobalFlags(memory.get()) & GMEM_LOCKCOUNT, 1u);
    }
    EXPECT_EQ(GlobalFlags(memory.get()) & GMEM_LOCKCOUNT, 0u) << "the guard should unlock the block";

    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    stream->AddRef();  // our own reference, to watch the medium's go
    {
        STGMEDIUM filled{};
        filled.tymed = TYMED_ISTREAM;
        filled.pstm = stream;
        UniqueStgMedium medium(filled);
        UniqueStgMedium moved(std::move(medium));
        EXPECT_TRUE(!medium && moved);
        EXPECT_EQ(referencesOf(stream), 2u);
    }
    EXPECT_EQ(referencesOf(stream), 1u) << "the medium's reference should be released exactly once";
    stream->Release();
    EXPECT_FALSE(UniqueStgMedium(STGMEDIUM{}));
}

}  // namespace
