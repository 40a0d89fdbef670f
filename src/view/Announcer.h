#pragma once
// Spoken results: a finished command's outcome raised as a UI Automation
// notification on a window, so a screen reader says it where no status bar
// is shown. The notification exists from Windows 10 1709 on; it is looked
// up at run time, and where it is missing nothing is said.
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

enum class Outcome { Completed, Failed };

void announce(HWND window, const std::wstring& text, Outcome outcome) noexcept;

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
