#include "ToolProcess.h"

#include <fstream>
#include <stdexcept>
#include <thread>

#include "NativeHost.h"

namespace {
using Clock = std::chrono::steady_clock;

long readPid(const std::string& pidFile) {
    long pid = 0;
    std::ifstream(hostPath(pidFile)) >> pid;
    return pid;
}
}  // namespace

std::string nativeTool(const std::string& name) {
    return std::string(NIMBREL_TESTSUPPORT_TOOLS_DIR) + "/" + name;
}

ToolLaunch devsimLaunch(const std::string& link, const std::string& keys, const std::string& pidFile) {
    return {nativeTool("nimbrel-devsim"),
            {"--quiet", "--idle-limit", "60", "--pid-file", pidFile, "--device", "link=" + link + "," + keys},
            link,
            pidFile};
}

ToolProcess::ToolProcess(ToolLaunch launch) : launch_(std::move(launch)) {
    std::vector<std::string> argv{launch_.program};
    argv.insert(argv.end(), launch_.args.begin(), launch_.args.end());
    child_ = startNative(argv);
    running_ = true;
    const auto deadline = Clock::now() + launch_.readyTimeout;
    // Under Wine the pid file is the only handle: a tool that writes it after
    // its ready path (or a ready path left from before) must not leave us
    // without one, or the tool would outlive the test.
    for (pid_ = child_; !pathExists(launch_.readyPath) || pid_ == 0;
         pid_ = child_ ? child_ : readPid(launch_.pidFile)) {
        if ((child_ != 0 && !nativeRunning(child_)) || Clock::now() > deadline) {
            if (child_ == 0) pid_ = readPid(launch_.pidFile);
            stop();
            throw std::runtime_error(launch_.program + " did not get ready: " + launch_.readyPath + " did not appear");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

ToolProcess::~ToolProcess() {
    try {
        stop();
    } catch (...) {
        // A test ends here; the tool's idle limit ends it in the worst case.
    }
}

void ToolProcess::stop() {
    if (!running_) return;
    running_ = false;
    if (child_ != 0) {
        stopNative(child_, true);
        return;
    }
    if (pid_ == 0) return;
    stopNative(pid_, false);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (pathExists(launch_.pidFile) && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void ToolProcess::kill() {
    if (!running_ || pid_ == 0) return;
    running_ = false;
    runNative({"/bin/kill", "-KILL", std::to_string(pid_)});
    if (child_ != 0)
        stopNative(child_, true);  // reaps it
    else
        runNative({"/bin/rm", "-f", launch_.pidFile});
}
