#pragma once
// Spoken results: a finished command's outcome, or the text of its failure,
// raised as a UI Automation notification on a window, so a screen reader
// says it where no status bar is shown. The notification exists from Windows 10 1709 on; it is looked
// up at run time, and where it is missing nothing is said.
#include "shell/TextFormat.h"

#include <windows.h>

#include <initializer_list>

#include <mutex>
#include <string>
#include <vector>

enum class Outcome { Completed, Failed };

void announce(HWND window, const std::wstring& text, Outcome outcome) noexcept;

// A failure told in a message box (text textId filled with args, caption
// 23, the platform's `style`) and, before the box blocks, said on `owner`.
void tellFailure(HWND owner, UINT textId, UINT style, std::initializer_list<TextArg> args) noexcept;

struct Announcement {
    HWND window;
    std::wstring text;
    Outcome outcome;
};

// While alive, announcements are recorded here instead of raised.
class AnnouncementRecorder {
public:
    AnnouncementRecorder();
    ~AnnouncementRecorder();
    AnnouncementRecorder(const AnnouncementRecorder&) = delete;
    AnnouncementRecorder& operator=(const AnnouncementRecorder&) = delete;

    std::vector<Announcement> announcements() const;
    void record(Announcement announcement);

private:
    mutable std::mutex mutex_;
    std::vector<Announcement> announcements_;
    AnnouncementRecorder* previous_;
};
