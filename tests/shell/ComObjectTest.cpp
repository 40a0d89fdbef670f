#include "shell/ComObject.h"

#include <objidl.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

bool sampleDestroyed = false;

class Sample final : public ComObject<Sample, IPersistStream, IOleWindow> {
public:
    Sample() = default;
    explicit Sample(LiveCount count) : ComObject(count) {}

    static const QITAB* interfaces() noexcept
    {
        static const QITAB table[] = {
            QITABENT(Sample, IPersistStream),
            QITABENTMULTI(Sample, IPersist, IPersistStream),
            QITABENT(Sample, IOleWindow),
            {},
        };
        return table;
    }

    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsDirty() noexcept override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(IStream*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Save(IStream*, BOOL) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }

private:
    ~Sample() override { sampleDestroyed = true; }
};

TEST(ComObject, InterfacesOfTheTableShareOneIdentityAndOthersAreRefused)
{
    ComPtr<Sample> sample = makeComObject<Sample>();
    ComPtr<IUnknown> fromStream, fromWindow;
    ComPtr<IPersistStream> stream;
    ComPtr<IOleWindow> window;
    ASSERT_EQ(sample.As(&stream), S_OK);
    ASSERT_EQ(sample.As(&window), S_OK);
    ASSERT_EQ(stream.As(&fromStream), S_OK);
    ASSERT_EQ(window.As(&fromWindow), S_OK);
    EXPECT_EQ(fromStream.Get(), fromWindow.Get()) << "IUnknown should be the same object from every interface";

    ComPtr<IDropTarget> notServed;
    EXPECT_EQ(sample.As(&notServed), E_NOINTERFACE);
    EXPECT_EQ(notServed.Get(), nullptr);
}

TEST(ComObject, LiveCountFollowsTheObjectAndTheLastReleaseDeletesIt)
{
    const long before = moduleState().liveObjects();
    sampleDestroyed = false;
    {
        ComPtr<Sample> sample = makeComObject<Sample>();
        ComPtr<IPersist> persist;
        ASSERT_EQ(sample.As(&persist), S_OK);
        EXPECT_EQ(moduleState().liveObjects(), before + 1);
        EXPECT_FALSE(moduleState().canUnload());
        sample.Reset();
        EXPECT_FALSE(sampleDestroyed) << "one reference is still held";
        persist->AddRef();
        EXPECT_EQ(persist->Release(), 1u) << "only the IPersist reference should be left";
    }
    EXPECT_TRUE(sampleDestroyed);
    EXPECT_EQ(moduleState().liveObjects(), before);

    ComPtr<Sample> uncounted = makeComObject<Sample>(LiveCount::notCounted);
    EXPECT_EQ(moduleState().liveObjects(), before) << "an uncounted object must not keep the module loaded";
}

TEST(ComObject, BoundaryTurnsEveryEscapingExceptionIntoAStatus)
{
    EXPECT_EQ(comBoundary([] { return S_FALSE; }), S_FALSE);
    EXPECT_EQ(comBoundary([]() -> HRESULT { throw ComFailure(E_ACCESSDENIED); }), E_ACCESSDENIED);
    EXPECT_EQ(comBoundary([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(comBoundary([]() -> HRESULT { throw std::runtime_error("any text"); }), E_FAIL);
    EXPECT_EQ(comBoundary([]() -> HRESULT { throw 42; }), E_FAIL);
    EXPECT_EQ(comBoundary([]() -> HRESULT {
                  throwIfFailed(STG_E_FILENOTFOUND);
                  return S_OK;
              }),
              STG_E_FILENOTFOUND);
}

}  // namespace
