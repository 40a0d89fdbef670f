#pragma once
// What the end-to-end tests share: Nimbrel.dll of the build registered as
// the shell's server while a test runs, and nimbrel-devsim playing devices
// on pseudo-terminals behind the prefix's COM port links.
#include "BuiltModules.h"
#include "TestFiles.h"
#include "ToolProcess.h"

#include <memory>
#include <string>
#include <vector>
#include <utility>

class RegisteredModule {
public:
    using Export = HRESULT(STDAPICALLTYPE*)();

    RegisteredModule() : module_(LoadLibraryW(builtModulePath(L"Nimbrel.dll").c_str())) {
        const Export registerServer = exported("DllRegisterServer");
        registered_ = registerServer && registerServer() == S_OK;
    }
    ~RegisteredModule() {
        if (registered_) exported("DllUnregisterServer")();
    }
    RegisteredModule(const RegisteredModule&) = delete;
    RegisteredModule& operator=(const RegisteredModule&) = delete;

    bool registered() const { return registered_; }
    Export exported(const char* name) const {
        return reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(module_.get(), name)));
    }

private:
    UniqueModule module_;
    bool registered_ = false;
};

inline std::string portLink(int number) {
    return std::string(NIMBREL_PORT_DIR) + "/COM" + std::to_string(number);
}

// nimbrel-devsim with one device for each port number and its --device keys
// (without the link). The links of all other ports are removed, so a scan
// finds nothing behind them at once.
inline std::unique_ptr<ToolProcess> startDevices(const TempDir& folder,
                                                 const std::vector<std::pair<int, std::string>>& devices) {
    std::vector<std::string> remove = {"/bin/rm", "-f"};
    for (int number = 1; number <= 31; ++number) remove.push_back(portLink(number));
    runNative(remove);
    const std::string pidFile = folder.file("devsim.pid");
    // The idle limit ends a simulator that a crashed test left behind.
    std::vector<std::string> args = {"-q", "--idle-limit", "300", "--pid-file", pidFile};
    for (const auto& [port, keys] : devices) {
        args.push_back("--device");
        args.push_back("link=" + portLink(port) + "," + keys);
    }
    return std::make_unique<ToolProcess>(ToolLaunch{nativeTool("nimbrel-devsim"), args, pidFile, pidFile});
}
