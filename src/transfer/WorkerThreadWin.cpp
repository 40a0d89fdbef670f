#include "transfer/WorkerThread.h"

#include "link/WinHandle.h"

#include <memory>
#include <system_error>

namespace {

struct Start {
    std::function<void()> work;
    HMODULE module;  // the reference that keeps our code loaded while the thread runs it
};

DWORD WINAPI runWork(void* parameter) {
    std::unique_ptr<Start> start(static_cast<Start*>(parameter));
    try {
        start->work();
    } catch (...) {
        // Background work reports its own failures; nothing may end the process.
    }
    const HMODULE module = start->module;
    start.reset();  // what the work held goes while our code is still there
    FreeLibraryAndExitThread(module, 0);
}

}  // namespace

struct WorkerThread::Thread {
    UniqueKernelHandle handle;
};

WorkerThread::WorkerThread(std::function<void()> work) : thread_(std::make_unique<Thread>()) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&runWork), &module)) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "module reference");
    }
    auto start = std::make_unique<Start>(Start{std::move(work), module});
    thread_->handle.reset(CreateThread(nullptr, 0, &runWork, start.get(), 0, nullptr));
    if (!thread_->handle) {
        const DWORD error = GetLastError();
        FreeLibrary(module);
        throw std::system_error(static_cast<int>(error), std::system_category(), "CreateThread");
    }
    start.release();  // the thread's own now
}

WorkerThread::~WorkerThread() {
    join();
}

void WorkerThread::join() {
    if (thread_->handle) WaitForSingleObject(thread_->handle.get(), INFINITE);
    thread_->handle.reset();
}
