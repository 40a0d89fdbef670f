#pragma once
// Work for the thread that made the mailbox (a thread with a message loop,
// the shell's UI thread), handed in from any thread: it runs when that
// thread next takes its messages. What only the owning thread may do (the
// clipboard it filled) goes through here.
#include <windows.h>

#include <functional>

class ThreadMailbox {
public:
    ThreadMailbox();
    // From any thread: the mailbox's window goes with its own thread's next message.
    ~ThreadMailbox();
    ThreadMailbox(const ThreadMailbox&) = delete;
    ThreadMailbox& operator=(const ThreadMailbox&) = delete;

    // Runs `work` at once on the owning thread, else posts it; false when
    // the owning thread takes no more messages (the work is dropped).
    bool run(std::function<void()> work);

private:
    HWND window_;
    DWORD thread_;
};
