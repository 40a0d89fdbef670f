#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "NativeHost.h"

extern char** environ;

std::string hostPath(const std::string& unixPath) {
    return unixPath;
}

bool pathExists(const std::string& unixPath) {
    return ::access(unixPath.c_str(), F_OK) == 0;
}

std::string makeUniqueTempDir() {
    std::string pattern = "/tmp/nimbrel-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
    return pattern;
}

void removeTree(const std::string& unixPath) {
    std::error_code ignored;
    std::filesystem::remove_all(unixPath, ignored);
}

long startNative(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0)
        throw std::runtime_error("cannot start " + argv[0]);
    return pid;
}

bool nativeRunning(long pid) {
    int status = 0;
    return ::waitpid(static_cast<pid_t>(pid), &status, WNOHANG) == 0;
}

void stopNative(long pid, bool reap) {
    ::kill(static_cast<pid_t>(pid), SIGTERM);
    if (!reap) return;
    // A program that ignores the request is ended after five seconds.
    for (int i = 0; i < 500; ++i) {
        int status = 0;
        if (::waitpid(static_cast<pid_t>(pid), &status, WNOHANG) != 0) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(static_cast<pid_t>(pid), SIGKILL);
    int status = 0;
    ::waitpid(static_cast<pid_t>(pid), &status, 0);
}

int runNative(const std::vector<std::string>& argv) {
    const long pid = startNative(argv);
    int status = 0;
    ::waitpid(static_cast<pid_t>(pid), &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
