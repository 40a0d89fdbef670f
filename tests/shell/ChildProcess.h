#pragma once
// Runs another Windows program from a test, as a user or a script would.
#include "shell/ShellResources.h"

#include <string>

// Starts `commandLine` and waits for it to end (at most `timeoutMs`);
// returns its exit code, STILL_ACTIVE when it had not ended, or the start's
// error code with the top bit set. `environment`, when given, is a whole
// environment block (NAME=value strings, each ending in a NUL, then a NUL).
inline unsigned long runProgram(std::wstring commandLine, unsigned long timeoutMs = 60000,
                                const std::wstring* environment = nullptr) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(
            nullptr, commandLine.data(), nullptr, nullptr, FALSE, environment ? CREATE_UNICODE_ENVIRONMENT : 0,
            environment ? const_cast<wchar_t*>(environment->c_str()) : nullptr, nullptr, &startup, &process))
        return GetLastError() | 0x80000000ul;
    UniqueKernelHandle processHandle(process.hProcess), threadHandle(process.hThread);
    WaitForSingleObject(process.hProcess, timeoutMs);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &code);
    return code;
}
