#include "BuiltModules.h"
#include "resources/resource.h"
#include "shell/ModuleState.h"
#include "shell/Prompt.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace {

// Points the module state at one of the built resource modules for a test.
class PromptTest : public ::testing::Test {
protected:
    void use(const wchar_t* name)
    {
        module_ = loadResourcesOf(name);
        ASSERT_TRUE(module_) << "cannot load " << testing::PrintToString(std::wstring(name));
        moduleState().setResourceModule(module_.get());
    }
    void TearDown() override { moduleState().setResourceModule(nullptr); }

    HWND owner = reinterpret_cast<HWND>(0x1234);

private:
    UniqueModule module_;
};

TEST_F(PromptTest, ErrorShowsTheFilledTextUnderCaption23WithExclamationAndOk)
{
    use(L"Nimbrel.dll");
    prompt::Recorder recorder;
    prompt::showError(owner, IDS_ERROR_READ_LIST, {"Corvia 80", 3});

    const auto shown = recorder.prompts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].textId, static_cast<UINT>(IDS_ERROR_READ_LIST));
    EXPECT_EQ(shown[0].text, L"Cannot read the file list from device Corvia 80 (COM 3).");
    EXPECT_EQ(shown[0].caption, L"An error occurred!");
    EXPECT_EQ(shown[0].style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(shown[0].owner, owner);
}

TEST_F(PromptTest, ConfirmationIsYesNoWithNoAsDefaultAndOnlyYesConfirms)
{
    use(L"Nimbrel.dll");
    prompt::Recorder recorder(IDYES);
    EXPECT_TRUE(prompt::confirm(owner, IDS_CONFIRM_DELETE_FILE, {"BRIEF.TXT"}));
    recorder.setAnswer(IDNO);
    EXPECT_FALSE(prompt::confirm(owner, IDS_CONFIRM_DELETE_FILES, {4}));
    recorder.setAnswer(0);
    EXPECT_FALSE(prompt::confirm(owner, IDS_CONFIRM_DELETE_FILES, {4}));

    const auto shown = recorder.prompts();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, L"Do you really want to delete the selected file \"BRIEF.TXT\"?");
    EXPECT_EQ(shown[1].text, L"Do you really want to delete 4 selected files?");
    EXPECT_EQ(shown[0].caption, L"Attention");
    EXPECT_EQ(shown[0].style, static_cast<UINT>(MB_YESNO | MB_DEFBUTTON2 | MB_ICONEXCLAMATION));
}

TEST_F(PromptTest, InformationUsesCaption29AndTheInformationIcon)
{
    use(L"Nimbrel.dll");
    prompt::Recorder recorder;
    prompt::showInformation(nullptr, IDS_NO_DEVICES);
    const auto shown = recorder.prompts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, L"No supported devices connected.");
    EXPECT_EQ(shown[0].caption, L"Information");
    EXPECT_EQ(shown[0].style, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
}

TEST_F(PromptTest, GermanSatelliteGivesGermanTextsAndCaptions)
{
    use(L"NimbrelDEU.dll");
    prompt::Recorder recorder;
    prompt::showError(owner, IDS_ERROR_DELETE, {"BRIEF.TXT"});
    EXPECT_FALSE(prompt::confirm(owner, IDS_CONFIRM_DELETE_FILES, {2}));
    const auto shown = recorder.prompts();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, L"Die Datei \u201eBRIEF.TXT\u201c konnte nicht gel\u00f6scht werden.");
    EXPECT_EQ(shown[0].caption, L"Ein Fehler ist aufgetreten!");
    EXPECT_EQ(shown[1].text, L"M\u00f6chten Sie die 2 ausgew\u00e4hlten Dateien wirklich l\u00f6schen?");
    EXPECT_EQ(shown[1].caption, L"Achtung");
    EXPECT_EQ(prompt::loadText(IDS_COLUMN_SIZE), L"Gr\u00f6\u00dfe");
}

TEST_F(PromptTest, RecorderTakesPromptsFromWorkerThreadsAndNestedRecordersRestoreTheOuter)
{
    use(L"Nimbrel.dll");
    prompt::Recorder outer;
    std::thread worker([] { prompt::showError(nullptr, IDS_ERROR_SEND_TO, {"A.TXT", "Minnow", 7}); });
    worker.join();
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
}

TEST_F(PromptTest, AnsiTextsForTheAFunctionsOfThePlatform)
{
    use(L"Nimbrel.dll");
    EXPECT_EQ(prompt::loadTextAnsi(IDS_WINDOW_CLASS), "KorvelNameSpace");
    EXPECT_EQ(prompt::formatTextAnsi(IDS_STATUS_COPIED, {3, "1.234 B"}), "Copied 3 file(s) (1.234 B) to clipboard.");
    EXPECT_EQ(prompt::loadText(14), L"") << "entries the table does not have load as empty";
}

// Without a recorder the real message box comes up: its default button is
// No, and the answer is what the user pressed.
TEST_F(PromptTest, RealConfirmationBoxHasNoAsItsDefaultButton)
{
    use(L"Nimbrel.dll");
    auto answer = std::async(std::launch::async, [] { return prompt::confirm(nullptr, IDS_CONFIRM_RENAME_SYSFILE); });
    HWND box = nullptr;
    // The box is shown only after its initialisation has chosen the default button.
    for (int tries = 0; tries < 200 && !(box && IsWindowVisible(box)); ++tries) {
        Sleep(25);
        box = FindWindowW(L"#32770", L"Attention");
    }
    ASSERT_NE(box, nullptr) << "no message box appeared";
    HWND yes = GetDlgItem(box, IDYES);
    HWND no = GetDlgItem(box, IDNO);
    ASSERT_NE(yes, nullptr);
    ASSERT_NE(no, nullptr);
    EXPECT_EQ(GetWindowLongW(no, GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
    EXPECT_NE(GetWindowLongW(yes, GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
    PostMessageW(box, WM_COMMAND, IDNO, 0);
    EXPECT_FALSE(answer.get());
}

}  // namespace
