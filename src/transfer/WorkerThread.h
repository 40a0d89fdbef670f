#pragma once
// One thread of background work, started by the platform's own means. On
// Windows the thread keeps the module that holds its code loaded until it
// has left that code, so the module is never unloaded under it.
#include <functional>
#include <memory>

class WorkerThread {
public:
    explicit WorkerThread(std::function<void()> work);
    // Waits for the thread.
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    void join();

private:
    struct Thread;
    std::unique_ptr<Thread> thread_;
};
