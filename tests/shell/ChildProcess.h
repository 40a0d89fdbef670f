#pragma once
// Runs another Windows program from a test, as a user or a script would.
#include "shell/ShellResources.h"

#include <string>

struct ChildProcess {
    UniqueKernelHandle process, thread;
    DWORD id = 0, error = 0;  // the process's id; the start's error code when it failed
};

// Wine fails a start with ERROR_INTERNAL_ERROR when the new process dies
// before it is up, which was seen once on a loaded machine right after a
// restart of the prefix; such a start is tried again, other failures are not.
inline ChildProcess startProgram(std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    ChildProcess child;
    bool created = false;
    for (int attempt = 0; attempt < 3 && !created; ++attempt) {
        if (attempt) Sleep(500);
        created = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                 &started);
        child.error = created ? 0 : GetLastError();
        if (!created && child.error != ERROR_INTERNAL_ERROR) break;
    }
    if (created) {
        child.process.reset(started.hProcess);
        child.thread.reset(started.hThread);
        child.id = started.dwProcessId;
    }
    return child;
}

// Starts `commandLine` and waits for it to end (at most `timeoutMs`);
// returns its exit code, STILL_ACTIVE when it had not ended, or the start's
// error code with the top bit set.
inline unsigned long runProgram(std::wstring commandLine, unsigned long timeoutMs = 60000) {
    const ChildProcess child = startProgram(std::move(commandLine));
    if (!child.process) return child.error | 0x80000000ul;
    WaitForSingleObject(child.process.get(), timeoutMs);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(child.process.get(), &code);
    return code;
}
