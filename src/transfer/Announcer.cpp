#include "transfer/Announcer.h"

#include "resources/resource.h"
#include "shell/Prompt.h"

#include <oleauto.h>
#include <uiautomationcore.h>

#include <atomic>

namespace {

std::atomic<AnnouncementRecorder*> currentRecorder{nullptr};

// UiaRaiseNotificationEvent and its enumerations, which the SDK headers we
// build with do not declare.
constexpr int actionCompleted = 2;  // NotificationKind_ActionCompleted
constexpr int actionAborted = 3;    // NotificationKind_ActionAborted
constexpr int importantAll = 0;     // NotificationProcessing_ImportantAll
using RaiseNotification = HRESULT(WINAPI*)(IRawElementProviderSimple*, int, int, BSTR, BSTR);
using HostProvider = HRESULT(WINAPI*)(HWND, IRawElementProviderSimple**);

// Loaded once and kept for the process: freeing a library while this
// module unloads would run under the loader lock.
struct Automation {
    HMODULE module = LoadLibraryExW(L"UIAutomationCore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    RaiseNotification raiseNotification = nullptr;
    HostProvider hostProvider = nullptr;

    Automation() {
        if (module) {
            raiseNotification = reinterpret_cast<RaiseNotification>(
                reinterpret_cast<void*>(GetProcAddress(module, "UiaRaiseNotificationEvent")));
            hostProvider = reinterpret_cast<HostProvider>(
                reinterpret_cast<void*>(GetProcAddress(module, "UiaHostProviderFromHwnd")));
        }
    }
};

struct Bstr {
    BSTR text;
    explicit Bstr(const std::wstring& from) : text(SysAllocStringLen(from.data(), static_cast<UINT>(from.size()))) {}
    ~Bstr() { SysFreeString(text); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
};

}  // namespace

void announce(HWND window, const std::wstring& text, Outcome outcome) noexcept {
    try {
        if (AnnouncementRecorder* recorder = currentRecorder.load()) {
            recorder->record({window, text, outcome});
            return;
        }
        static const Automation automation;
        IRawElementProviderSimple* provider = nullptr;
        if (!automation.raiseNotification || !automation.hostProvider ||
            FAILED(automation.hostProvider(window, &provider)) || !provider) {
            return;
        }
        const Bstr display(text);
        const Bstr activity(L"Nimbrel");
        automation.raiseNotification(provider, outcome == Outcome::Completed ? actionCompleted : actionAborted,
                                     importantAll, display.text, activity.text);
        provider->Release();
    } catch (...) {
        // Out of memory: the result stays unsaid, the status bar still shows it.
    }
}

void tellFailure(HWND owner, UINT textId, UINT style, std::initializer_list<TextArg> args) noexcept {
    try {
        announce(owner, prompt::formatText(textId, args), Outcome::Failed);
        prompt::show(owner, textId, IDS_CAPTION_ERROR, style, args);
    } catch (...) {
        // A text that cannot be built must not end the caller (a transfer's thread).
    }
}

AnnouncementRecorder::AnnouncementRecorder() : previous_(currentRecorder.exchange(this)) {}

AnnouncementRecorder::~AnnouncementRecorder() {
    currentRecorder.store(previous_);
}

std::vector<Announcement> AnnouncementRecorder::announcements() const {
    const std::lock_guard lock(mutex_);
    return announcements_;
}

void AnnouncementRecorder::record(Announcement announcement) {
    const std::lock_guard lock(mutex_);
    announcements_.push_back(std::move(announcement));
}
