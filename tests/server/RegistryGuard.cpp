#include "RegistryGuard.h"

#include "server/Registration.h"
#include "shell/ShellResources.h"

RegistryGuard::RegistryGuard() : previousPath_(registeredServerPath()) {}

RegistryGuard::~RegistryGuard()
{
    if (previousPath_.empty()) {
        unregisterServer();
    } else {
        registerServer(previousPath_);
    }
}

unsigned long runRegsvr32(const std::wstring& arguments)
{
    std::wstring command = L"regsvr32.exe " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return GetLastError() | 0x80000000ul;
    }
    UniqueKernelHandle processHandle(process.hProcess);
    UniqueKernelHandle threadHandle(process.hThread);
    WaitForSingleObject(process.hProcess, 30000);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &code);
    return code;
}
