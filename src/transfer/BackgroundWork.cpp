#include "transfer/BackgroundWork.h"

#include "transfer/WorkerThread.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace {

struct Worker {
    std::unique_ptr<WorkerThread> thread;
    bool done = false;
};

class Workers {
public:
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
        try {
            self->thread = std::make_unique<WorkerThread>([this, self, work = std::move(work)] {
                try {
                    work();
                } catch (...) {
                    // Background work reports its own failures; nothing may end the process.
                }
                const std::lock_guard<std::mutex> done(lock_);
                self->done = true;
                changed_.notify_all();
            });
        } catch (...) {
            workers_.pop_back();
            throw;
        }
        guard.unlock();
        for (auto& old : finished) old->thread->join();
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
        for (auto& worker : all) worker->thread->join();
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

// Never destroyed: a module's static destructors run under the loader lock,
// where waiting for a thread could block for ever. Each thread holds the
// module itself until it has left our code, and the end of a process stops
// whatever still runs.
Workers& workers() {
    static Workers& all = *new Workers;
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
