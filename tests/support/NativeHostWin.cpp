#include <windows.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "NativeHost.h"

namespace {
// One argument as the command-line parser splits it again (Wine builds the
// Linux program's argv from the command line by Windows rules).
std::string quoteArgument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
        } else {
            if (c == '"') quoted.append(backslashes + 1, '\\');
            backslashes = 0;
        }
        quoted += c;
    }
    quoted.append(backslashes, '\\');
    return quoted + "\"";
}

// One word for /bin/sh.
std::string shellWord(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string uniqueName() {
    static std::atomic<unsigned> counter{0};
    return std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++counter) + "-" +
           std::to_string(::GetTickCount64());
}
}  // namespace

std::string hostPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

bool pathExists(const std::string& unixPath) {
    // Wine cannot take the attributes of a pseudo-terminal (a peer's link),
    // but it lists the directory entry.
    WIN32_FIND_DATAA found;
    const HANDLE search = ::FindFirstFileA(hostPath(unixPath).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    ::FindClose(search);
    return true;
}

std::string makeUniqueTempDir() {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path = "/tmp/nimbrel-test-" + uniqueName();
        if (::CreateDirectoryA(hostPath(path).c_str(), nullptr)) return path;
    }
    throw std::runtime_error("cannot make a temporary folder");
}

void removeTree(const std::string& unixPath) {
    // Wine may not see through links to pseudo-terminals; let Linux do it.
    runNative({"/bin/rm", "-rf", unixPath});
}

long startNative(const std::vector<std::string>& argv) {
    // The program gets no output of ours: a tool that outlives a test
    // would keep ctest waiting for the test's output to end.
    std::string script = "exec";
    for (const std::string& arg : argv) script += " " + shellWord(arg);
    script += " </dev/null >/dev/null 2>&1";
    const std::string commandLine = hostPath("/bin/sh") + " -c " + quoteArgument(script);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string mutableLine = commandLine;
    if (!::CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        throw std::runtime_error("cannot start " + argv[0]);
    if (process.hThread) ::CloseHandle(process.hThread);
    if (process.hProcess) ::CloseHandle(process.hProcess);
    return 0;
}

bool nativeRunning(long) {
    return true;
}

void stopNative(long pid, bool) {
    runNative({"/bin/kill", std::to_string(pid)});
}

int runNative(const std::vector<std::string>& argv) {
    // No handle to wait on: the program runs inside a shell that leaves its
    // exit status in a file, renamed into place when complete.
    const std::string marker = "/tmp/nimbrel-run-" + uniqueName();
    std::string script;
    for (const std::string& arg : argv) script += shellWord(arg) + " ";
    script +=
        "; echo $? > " + shellWord(marker + ".tmp") + "; mv " + shellWord(marker + ".tmp") + " " + shellWord(marker);
    startNative({"/bin/sh", "-c", script});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!pathExists(marker)) {
        if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("no end of " + argv[0]);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    int status = -1;
    std::ifstream(hostPath(marker)) >> status;
    ::DeleteFileA(hostPath(marker).c_str());
    return status;
}
