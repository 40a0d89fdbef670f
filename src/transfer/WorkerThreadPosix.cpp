#include "transfer/WorkerThread.h"

#include <thread>

struct WorkerThread::Thread {
    std::thread thread;
};

WorkerThread::WorkerThread(std::function<void()> work)
    : thread_(std::make_unique<Thread>(Thread{std::thread(std::move(work))})) {}

WorkerThread::~WorkerThread() {
    join();
}

void WorkerThread::join() {
    if (thread_->thread.joinable()) thread_->thread.join();
}
