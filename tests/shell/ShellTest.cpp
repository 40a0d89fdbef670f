// The shell plumbing under Wine: resource owners, the COM base, text
// filling and the prompts, with the texts of the built modules.
#include "BuiltModules.h"
#include "resources/resource.h"
#include "shell/ComObject.h"
#include "shell/ModuleState.h"
#include "shell/Prompt.h"
#include "shell/ShellResources.h"
#include "shell/TextFormat.h"

#include <ocidl.h>

#include <gtest/gtest.h>

#include <future>
#include <stdexcept>
#include <thread>

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

TEST(ComObject, InterfacesShareOneIdentityTheLiveCountFollowsTheObjectAndTheBoundaryTurnsExceptionsIntoStatus) {
    const long before = moduleState().liveObjects();
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

    EXPECT_EQ(comBoundary([] { return S_FALSE; }), S_FALSE);
    EXPECT_EQ(comBoundary([]() -> HRESULT { throw ComFailure(E_ACCESSDENIED); }), E_ACCESSDENIED);
    EXPECT_EQ(comBoundary([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(comBoundary([]() -> HRESULT { throw std::runtime_error("any text"); }), E_FAIL);
    EXPECT_EQ(comBoundary([]() -> HRESULT { throw 42; }), E_FAIL);
    EXPECT_EQ(comBoundary([]() -> HRESULT { return throwIfFailed(STG_E_FILENOTFOUND), S_OK; }), STG_E_FILENOTFOUND);
}

TEST(FillText, FillsFieldsInOrderWithWidthsAndPercentSignsAndLeavesWhatItCannotFill) {
    EXPECT_EQ(fillText(L"%2d%% of \"%s\" transmitted", {5, "a.txt"}), L" 5% of \"a.txt\" transmitted");
    EXPECT_EQ(fillText(L"%2d%% transmitted", {100}), L"100% transmitted");
    EXPECT_EQ(fillText(L"%i:%02i:%02i", {0, 10, 25}), L"0:10:25");
    EXPECT_EQ(fillText(L"%s (%s) connectet to COM %d", {"Corvia 40", L"CV4-0001", 12}),
              L"Corvia 40 (CV4-0001) connectet to COM 12");
    EXPECT_EQ(fillText(L"[%-4d][%04d][%5s]", {7, -7, "ab"}), L"[7   ][-007][   ab]");
    EXPECT_EQ(fillText(L"%u B", {4294967295u}), L"4294967295 B");
    EXPECT_EQ(fillText(L"Renamed \"%s\" to \"%s\".", {"OLD.TXT"}), L"Renamed \"OLD.TXT\" to \"\".") << "missing value";
    EXPECT_EQ(fillText(L"100%x and %", {1}), L"100%x and %") << "unknown fields stay as written";
    EXPECT_EQ(fillText(L"%d file(s)", {"three"}), L"three file(s)") << "a mixed-up field shows its value";
}

// Points the module state at one of the built resource modules while alive.
struct Texts {
    UniqueModule module;
    explicit Texts(const wchar_t* name) : module(loadResourcesOf(name)) {
        moduleState().setResourceModule(module.get());
    }
    ~Texts() { moduleState().setResourceModule(nullptr); }
};

// The texts, captions, styles and owners of the prompts are checked where the
// folder, the view and the transfers show them; the satellite's where the
// module shows one.
TEST(Prompt, RecorderTakesPromptsFromWorkerThreadsAndNestedRecordersRestoreTheOuter) {
    const Texts english(L"Nimbrel.dll");
    ASSERT_TRUE(english.module);
    prompt::Recorder outer;
    std::thread([] { prompt::showError(nullptr, IDS_ERROR_SEND_TO, {"A.TXT", "Minnow", 7}); }).join();
    {
        prompt::Recorder inner;
        prompt::showError(nullptr, IDS_ERROR_COPY_TO_ITSELF);
        EXPECT_EQ(inner.prompts().size(), 1u);
    }
    prompt::showError(nullptr, IDS_ERROR_DEVICE_FULL);
    // An owner closed meanwhile (the user left the folder): the box comes up on its own, in front.
    const HWND gone = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    prompt::showError(gone, IDS_ERROR_DELETE, {"A.TXT"});
    const auto shown = outer.prompts();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, L"Cannot send file \"A.TXT\" to target device Minnow (COM 7).");
    EXPECT_EQ(shown[1].text, L"Not enough memory on tareget device.");
    EXPECT_EQ(std::tie(shown[2].owner, shown[2].style),
              std::make_tuple(HWND{}, UINT{MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND}));

    EXPECT_EQ(prompt::loadTextAnsi(IDS_WINDOW_CLASS), "KorvelNameSpace");
    EXPECT_EQ(prompt::formatTextAnsi(IDS_STATUS_COPIED, {3, "1.234 B"}), "Copied 3 file(s) (1.234 B) to clipboard.");
    EXPECT_EQ(prompt::loadText(14), L"") << "entries the table does not have load as empty";
}

// Without a recorder the real message box comes up: its default button is
// No, and the answer is what the user pressed.
TEST(Prompt, RealConfirmationBoxHasNoAsItsDefaultButton) {
    const Texts english(L"Nimbrel.dll");
    ASSERT_TRUE(english.module);
    auto answer = std::async(std::launch::async, [] { return prompt::confirm(nullptr, IDS_CONFIRM_RENAME_SYSFILE); });
    HWND box = nullptr;
    // The box is shown only after its initialisation has chosen the default button.
    for (int tries = 0; tries < 200 && !(box && IsWindowVisible(box)); ++tries, Sleep(25))
        box = FindWindowW(L"#32770", L"Attention");
    ASSERT_NE(box, nullptr) << "no message box appeared";
    HWND yes = GetDlgItem(box, IDYES), no = GetDlgItem(box, IDNO);
    ASSERT_TRUE(yes && no);
    EXPECT_EQ(GetWindowLongW(no, GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
    EXPECT_NE(GetWindowLongW(yes, GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
    PostMessageW(box, WM_COMMAND, IDNO, 0);
    EXPECT_FALSE(answer.get());
}

}  // namespace
