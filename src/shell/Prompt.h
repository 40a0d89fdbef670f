#pragma once
// Every text the user sees comes from the resource module's string table
// through here, and every message box goes through show(): errors,
// confirmations and information each with their fixed caption, icon and
// buttons. A Recorder installed by a test takes the place of the real box.
#include "shell/TextFormat.h"

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

namespace prompt {

// Caption 23, OK, exclamation.
inline constexpr UINT errorStyle = MB_OK | MB_ICONEXCLAMATION;
// Caption 5, Yes and No with No as the default, exclamation.
inline constexpr UINT confirmStyle = MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2;
// Caption 29, OK, information.
inline constexpr UINT informationStyle = MB_OK | MB_ICONINFORMATION;

// A text of the resource module; empty when the table has no such entry.
std::wstring loadText(UINT id);
std::string loadTextAnsi(UINT id);

// A text of the resource module filled like printf (see fillText).
std::wstring formatText(UINT id, std::initializer_list<TextArg> args);
std::string formatTextAnsi(UINT id, std::initializer_list<TextArg> args);

// One message box: text textId filled with args, caption captionId, the
// platform's style flags. An owner that is no window (any more) gives a box
// without owner in the foreground. Returns the button that closed it
// (IDOK, IDYES...).
int show(HWND owner, UINT textId, UINT captionId, UINT style, std::initializer_list<TextArg> args = {});

void showError(HWND owner, UINT textId, std::initializer_list<TextArg> args = {});
// True only when the user answered Yes.
bool confirm(HWND owner, UINT textId, std::initializer_list<TextArg> args = {});
void showInformation(HWND owner, UINT textId, std::initializer_list<TextArg> args = {});

// What a message box would have shown.
struct ShownPrompt {
    UINT textId = 0;
    std::wstring text;  // filled
    std::wstring caption;
    UINT style = 0;
    HWND owner = nullptr;
};

// While alive, message boxes are recorded instead of shown and answered by
// the answerer (any thread may show one). Recorders nest: the previous one
// comes back when this one ends.
class Recorder {
public:
    using Answerer = std::function<int(const ShownPrompt&)>;

    explicit Recorder(int answer = IDOK);
    explicit Recorder(Answerer answerer);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    std::vector<ShownPrompt> prompts() const;
    void setAnswer(int answer);

    int record(const ShownPrompt& prompt);

private:
    mutable std::mutex mutex_;
    Answerer answerer_;
    std::vector<ShownPrompt> prompts_;
    Recorder* previous_;
};

}  // namespace prompt
