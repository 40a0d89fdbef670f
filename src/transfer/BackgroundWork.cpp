#include "transfer/BackgroundWork.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Worker {
    std::thread thread;
    bool done = false;
};

class Workers {
public:
    // At the process's end the threads may already be gone without having
    // said so (Windows ends them first): join, don't wait for their word.
    ~Workers() {
        for (auto& worker : workers_)
            if (worker->thread.joinable()) worker->thread.join();
    }

    void start(std::function<void()> work) {
        std::vector<std::unique_ptr<Worker>> finished;
        std::unique_lock<std::mutex> guard(lock_);
        // Joined outside the lock: a finished thread may still be leaving.
        auto split = std::partition(workers_.begin(), workers_.end(), [](const auto& worker) { return !worker->done; });
        std::move(split, workers_.end(), std::back_inserter(finished));
        workers_.erase(split, workers_.end());
        auto worker = std::make_unique<Worker>();
        Worker* self = worker.get();
        workers_.push_back(std::move(worker));
        self->thread = std::thread([this, self, work = std::move(work)] {
            try {
                work();
            } catch (...) {
                // Background work reports its own failures; nothing may end the process.
            }
            const std::lock_guard<std::mutex> done(lock_);
            self->done = true;
            changed_.notify_all();
        });
        guard.unlock();
        for (auto& old : finished) old->thread.join();
    }

    void joinAll() {
        std::vector<std::unique_ptr<Worker>> all;
        {
            std::unique_lock<std::mutex> guard(lock_);
            changed_.wait(guard, [this] {
                return std::all_of(workers_.begin(), workers_.end(), [](const auto& worker) { return worker->done; });
            });
            all.swap(workers_);
        }
        for (auto& worker : all) worker->thread.join();
    }

    std::size_t running() {
        const std::lock_guard<std::mutex> guard(lock_);
        return static_cast<std::size_t>(
            std::count_if(workers_.begin(), workers_.end(), [](const auto& worker) { return !worker->done; }));
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::unique_ptr<Worker>> workers_;
};

Workers& workers() {
    static Workers all;
    return all;
}

}  // namespace

void runInBackground(std::function<void()> work) {
    workers().start(std::move(work));
}

void waitForBackgroundWork() {
    workers().joinAll();
}

std::size_t backgroundWorkRunning() {
    return workers().running();
}
