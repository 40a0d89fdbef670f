#include "shell/ComObject.h"

#include <ocidl.h>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

bool sampleDestroyed = false;

class Sample final : public ComObject<Sample, IPersist, IOleWindow> {
public:
    Sample() = default;
    explicit Sample(LiveCount count) : ComObject(count) {}
    static const QITAB* interfaces() noexcept {
        static const QITAB table[] = {interfaceEntry<Sample, IPersist>(), interfaceEntry<Sample, IOleWindow>(), {}};
        return table;
    }
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }

private:
    ~Sample() override { sampleDestroyed = true; }
};

TEST(ComObject, InterfacesShareOneIdentityTheLiveCountFollowsTheObjectAndTheLastReleaseDeletesIt) {
    const long before = moduleState().liveObjects();
    sampleDestroyed = false;
    {
        ComPtr<Sample> sample = makeComObject<Sample>();
        ComPtr<IPersist> persist;
        {
            ComPtr<IOleWindow> window;
            ComPtr<IUnknown> fromPersist, fromWindow;
            ComPtr<IDropTarget> notServed;
            ASSERT_TRUE(sample.As(&persist) == S_OK && sample.As(&window) == S_OK);
            ASSERT_TRUE(persist.As(&fromPersist) == S_OK && window.As(&fromWindow) == S_OK);
            EXPECT_EQ(fromPersist.Get(), fromWindow.Get()) << "IUnknown should be the same object from every interface";
            EXPECT_EQ(sample.As(&notServed), E_NOINTERFACE);
            EXPECT_EQ(notServed.Get(), nullptr);
            EXPECT_EQ(moduleState().liveObjects(), before + 1);
            EXPECT_FALSE(moduleState().canUnload());
        }
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

TEST(ComObject, BoundaryTurnsEveryEscapingExceptionIntoAStatus) {
    EXPECT_EQ(comBoundary([] { return S_FALSE; }), S_FALSE);
    EXPECT_EQ(comBoundary([]() -> HRESULT { throw ComFailure(E_ACCESSDENIED); }), E_ACCESSDENIED);
    EXPECT_EQ(comBoundary([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(comBoundary([]() -> HRESULT { throw std::runtime_error("any text"); }), E_FAIL);
    EXPECT_EQ(comBoundary([]() -> HRESULT { throw 42; }), E_FAIL);
    EXPECT_EQ(comBoundary([]() -> HRESULT { return throwIfFailed(STG_E_FILENOTFOUND), S_OK; }), STG_E_FILENOTFOUND);
}

}  // namespace
