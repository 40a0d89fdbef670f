#include "shell/Prompt.h"

#include "resources/resource.h"
#include "shell/ActivationContext.h"
#include "shell/ModuleState.h"

#include <atomic>

namespace prompt {

namespace {

std::atomic<Recorder*> activeRecorder{nullptr};

}  // namespace

std::wstring loadText(UINT id) {
    // With no buffer size LoadStringW hands out the text inside the
    // resource itself, so no text is ever cut short.
    const wchar_t* text = nullptr;
    const int length = LoadStringW(moduleState().resourceModule(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) {
        return {};
    }
    return std::wstring(text, static_cast<size_t>(length));
}

std::string loadTextAnsi(UINT id) {
    return narrow(loadText(id));
}

std::wstring formatText(UINT id, std::initializer_list<TextArg> args) {
    return fillText(loadText(id), args);
}

std::string formatTextAnsi(UINT id, std::initializer_list<TextArg> args) {
    return narrow(formatText(id, args));
}

int show(HWND owner, UINT textId, UINT captionId, UINT style, std::initializer_list<TextArg> args) {
    // A box whose owner is gone (the user left the folder or closed its
    // window meanwhile) would never show: it comes up on its own, in front.
    if (owner && !IsWindow(owner)) {
        owner = nullptr;
        style |= MB_SETFOREGROUND;
    }
    ShownPrompt prompt{textId, formatText(textId, args), loadText(captionId), style, owner};
    if (Recorder* recorder = activeRecorder.load()) {
        return recorder->record(prompt);
    }
    const ScopedActivation controls;
    return MessageBoxW(owner, prompt.text.c_str(), prompt.caption.c_str(), style);
}

void showError(HWND owner, UINT textId, std::initializer_list<TextArg> args) {
    show(owner, textId, IDS_CAPTION_ERROR, errorStyle, args);
}

bool confirm(HWND owner, UINT textId, std::initializer_list<TextArg> args) {
    return show(owner, textId, IDS_CAPTION_ATTENTION, confirmStyle, args) == IDYES;
}

void showInformation(HWND owner, UINT textId, std::initializer_list<TextArg> args) {
    show(owner, textId, IDS_CAPTION_INFORMATION, informationStyle, args);
}

Recorder::Recorder(int answer) : Recorder(Answerer([answer](const ShownPrompt&) { return answer; })) {}

Recorder::Recorder(Answerer answerer) : answerer_(std::move(answerer)), previous_(activeRecorder.exchange(this)) {}

Recorder::~Recorder() {
    activeRecorder.store(previous_);
}

std::vector<ShownPrompt> Recorder::prompts() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return prompts_;
}

void Recorder::setAnswer(int answer) {
    std::lock_guard<std::mutex> guard(mutex_);
    answerer_ = [answer](const ShownPrompt&) { return answer; };
}

int Recorder::record(const ShownPrompt& prompt) {
    std::lock_guard<std::mutex> guard(mutex_);
    prompts_.push_back(prompt);
    return answerer_(prompt);
}

}  // namespace prompt
