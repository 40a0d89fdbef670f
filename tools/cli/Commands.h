#pragma once
// The tool's commands. Each returns the program's exit code.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "devices/Discovery.h"

namespace ExitCode {
inline constexpr int Success = 0;
inline constexpr int Failure = 1;  // a device or file error
inline constexpr int Usage = 2;
inline constexpr int Skipped = 3;  // files left out: they exist and were not replaced
inline constexpr int Interrupted = 130;
}  // namespace ExitCode

struct GlobalOptions {
    bool verbose = false;
    std::string device;              // a port or a remembered name
    std::vector<std::string> ports;  // ports to scan instead of the default list
};

enum class OverwriteChoice { Ask, Always, Never };

// The connected devices with their remembered names; tells about devices
// whose firmware is too old, and that none is connected if `tellIfNone`.
// `ports` replaces the ports the options give when not empty.
std::vector<NamedDevice> scanAndName(const GlobalOptions& options, bool tellIfNone, const std::vector<int>& ports = {});

// The device a command works on (--device, or the only one connected), or
// the exit code that ends the command; the reason is told already.
struct Selection {
    std::optional<DeviceInfo> device;
    int exitCode = ExitCode::Success;
};
Selection selectDevice(const GlobalOptions& options);

int runScan(const GlobalOptions& options);
// Prints the devices as they come and go until Ctrl+C (Linux).
int runScanWatch(const GlobalOptions& options);
int runList(const GlobalOptions& options, bool humanSizes);
int runFreeSpace(const GlobalOptions& options);
struct GetOptions {
    std::string target;  // a folder, or the name of the one file copied
    bool all = false;
    OverwriteChoice overwrite = OverwriteChoice::Ask;
};
int runGet(const GlobalOptions& options, const std::vector<std::string>& files, const GetOptions& get);
int runPut(const GlobalOptions& options, const std::vector<std::string>& files, const std::string& targetName,
           OverwriteChoice overwrite);
int runRemove(const GlobalOptions& options, const std::vector<std::string>& files, bool force);
int runRename(const GlobalOptions& options, const std::string& oldName, const std::string& newName, bool force);
int runName(const GlobalOptions& options, const std::string& newName);
int runMonitor(const GlobalOptions& options);
int runTable(const GlobalOptions& options, const std::string& tableFile, std::uint32_t slot, bool backward,
             const std::string& tableName);
