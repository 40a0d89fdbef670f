#include "BuiltModules.h"
#include "resources/resource.h"
#include "shell/ModuleState.h"
#include "shell/Prompt.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace {

const HWND owner = reinterpret_cast<HWND>(0x1234);

// Points the module state at one of the built resource modules while alive.
struct Texts {
    UniqueModule module;
    explicit Texts(const wchar_t* name) : module(loadResourcesOf(name)) {
        moduleState().setResourceModule(module.get());
    }
    ~Texts() { moduleState().setResourceModule(nullptr); }
};

TEST(Prompt, EachKindHasItsCaptionIconAndButtonsOnlyYesConfirmsAndTheSatelliteSpeaksGerman) {
    const Texts english(L"Nimbrel.dll");
    ASSERT_TRUE(english.module);
    prompt::Recorder recorder(IDYES);
    prompt::showError(owner, IDS_ERROR_READ_LIST, {"Corvia 80", 3});
    prompt::showInformation(nullptr, IDS_NO_DEVICES);
    EXPECT_TRUE(prompt::confirm(owner, IDS_CONFIRM_DELETE_FILE, {"BRIEF.TXT"}));
    recorder.setAnswer(IDNO);
    EXPECT_FALSE(prompt::confirm(owner, IDS_CONFIRM_DELETE_FILES, {4}));
    recorder.setAnswer(0);
    EXPECT_FALSE(prompt::confirm(owner, IDS_CONFIRM_DELETE_FILES, {4}));

    {
        const Texts german(L"NimbrelDEU.dll");  // the satellite's texts and captions
        prompt::showError(owner, IDS_ERROR_DELETE, {"BRIEF.TXT"});
        EXPECT_FALSE(prompt::confirm(owner, IDS_CONFIRM_DELETE_FILES, {2}));
        EXPECT_EQ(prompt::loadText(IDS_COLUMN_SIZE), L"Gr\u00f6\u00dfe");
    }
    const UINT error = MB_OK | MB_ICONEXCLAMATION, question = MB_YESNO | MB_DEFBUTTON2 | MB_ICONEXCLAMATION;
    using Seen = std::tuple<std::wstring, std::wstring, UINT, HWND>;
    const Seen expected[] = {
        {L"Cannot read the file list from device Corvia 80 (COM 3).", L"An error occurred!", error, owner},
        {L"No supported devices connected.", L"Information", MB_OK | MB_ICONINFORMATION, nullptr},
        {L"Do you really want to delete the selected file \"BRIEF.TXT\"?", L"Attention", question, owner},
        {L"Do you really want to delete 4 selected files?", L"Attention", question, owner},
        {L"Do you really want to delete 4 selected files?", L"Attention", question, owner},
        {L"Die Datei \u201eBRIEF.TXT\u201c konnte nicht gel\u00f6scht werden.", L"Ein Fehler ist aufgetreten!", error,
         owner},
        {L"M\u00f6chten Sie die 2 ausgew\u00e4hlten Dateien wirklich l\u00f6schen?", L"Achtung", question, owner},
    };
    const auto shown = recorder.prompts();
    ASSERT_EQ(shown.size(), std::size(expected));
    EXPECT_EQ(shown[0].textId, static_cast<UINT>(IDS_ERROR_READ_LIST));
    for (std::size_t i = 0; i < shown.size(); ++i)
        EXPECT_EQ(Seen(shown[i].text, shown[i].caption, shown[i].style, shown[i].owner), expected[i]) << "prompt " << i;
}

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
    const auto shown = outer.prompts();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, L"Cannot send file \"A.TXT\" to target device Minnow (COM 7).");
    EXPECT_EQ(shown[1].text, L"Not enough memory on tareget device.");

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
