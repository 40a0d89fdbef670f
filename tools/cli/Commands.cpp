#include "Commands.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

#include "DeviceTime.h"
#include "Interrupt.h"
#include "Messages.h"
#include "Ports.h"
#include "ProgressBar.h"
#include "TerminalUser.h"
#include "devices/DeviceCatalogue.h"
#include "devices/Discovery.h"
#include "link/LocalFile.h"
#include "protocol/DeviceNames.h"
#include "protocol/SLVFamilyDevice.h"
#include "transfer/FileNames.h"
#include "transfer/PcTransfers.h"

namespace {
// More than a device folder shows: the tool lists whatever the device sends.
constexpr std::uint32_t maximumListedFiles = 4096;

#ifdef _WIN32
constexpr char pathSeparator = '\\';
#else
constexpr char pathSeparator = '/';
#endif

void tellFirmwareTooOld(const DeviceInfo& device) {
    reportProblem(deviceLabel(device) + " (serial " + printable(device.serial) +
                  ") is supported, but its firmware must be upgraded (2.10 or later) "
                  "before its files can be used.");
}

// Characters, not bytes, of a UTF-8 text: what a terminal column takes.
std::size_t characterCount(const std::string& text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string padded(const std::string& text, std::size_t width) {
    const std::size_t count = characterCount(text);
    return count >= width ? text : text + std::string(width - count, ' ');
}

void printDevices(const std::vector<NamedDevice>& devices) {
    // Columns as wide as their longest entry: device paths can be long.
    std::size_t portWidth = 4, nameWidth = 6;
    for (const NamedDevice& device : devices) {
        portWidth = std::max(portWidth, characterCount(portLabel(static_cast<int>(device.info.portNumber))));
        nameWidth = std::max(nameWidth, characterCount(printable(device.name)));
    }
    std::printf("%s  %s  %-10s  %s\n", padded("Port", portWidth).c_str(), padded("Device", nameWidth).c_str(), "Model",
                "Serial number");
    for (const NamedDevice& device : devices) {
        const char* model = modelName(device.info.typeCode);
        std::printf("%s  %s  %-10s  %s\n",
                    padded(portLabel(static_cast<int>(device.info.portNumber)), portWidth).c_str(),
                    padded(printable(device.name), nameWidth).c_str(), model ? model : "?",
                    printable(device.info.serial).c_str());
    }
}

// Runs `work` on the selected device, reporting a failure as "<what>".
template <typename Work>
int withDevice(const GlobalOptions& options, Work&& work) {
    Selection selection = selectDevice(options);
    if (!selection.device) return selection.exitCode;
    try {
        SLVFamilyDevice device(*selection.device);
        return work(device);
    } catch (NBException error) {
        reportFailure("cannot use " + deviceLabel(*selection.device), error, options.verbose);
        return ExitCode::Failure;
    }
}

int failureExit(const NBException& error) {
    return error.code == ErrorCode::Cancelled || wasInterrupted() ? ExitCode::Interrupted : ExitCode::Failure;
}

std::string widenedDate(const FileListEntry& entry) {
    const int year = entry.year > 90 ? 1900 + entry.year : 2000 + entry.year;
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02u", year, entry.month, entry.day, entry.hour,
                  entry.minute, entry.second);
    return text;
}

// "97.7 KiB" for 100000: a size of 1024 bytes or more in the largest
// binary unit it fills (1048575 bytes are "1.0 MiB", never "1024.0 KiB").
std::string readableSize(std::uint64_t bytes) {
    const char* units[] = {"KiB", "MiB", "GiB"};
    double size = static_cast<double>(bytes) / 1024.0;
    int unit = 0;
    for (; size >= 1023.95 && unit < 2; ++unit) size /= 1024;
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", size, units[unit]);
    return text;
}

// Paths the user typed are UTF-8 on Windows, bytes elsewhere.
std::filesystem::path localPath(const std::string& path) {
#ifdef _WIN32
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
#else
    return std::filesystem::path(path);
#endif
}

std::string lastComponent(const std::string& path) {
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Names the user typed, as the device stores them; none, told already,
// when one has a character the device's code page cannot hold, or, for a
// name to be made, a slash (any name a device sends can be looked for).
std::optional<std::vector<std::string>> deviceNamesFromUser(const std::vector<std::string>& typed,
                                                            bool newNames = false) {
    std::vector<std::string> names;
    for (const std::string& name : typed) {
        // The device would refuse it with no reason given.
        if (newNames && name.find_first_of("/\\") != std::string::npos) {
            reportProblem("\"" + printable(name) +
                          "\" cannot be a file name on the device: a name there cannot hold a slash or backslash.");
            return std::nullopt;
        }
        std::optional<std::string> deviceName = deviceNameFromLocal(name);
        if (!deviceName) {
            reportProblem("\"" + printable(name) +
                          "\" cannot be a file name on the device: it has characters the device cannot store.");
            return std::nullopt;
        }
        names.push_back(std::move(*deviceName));
    }
    return names;
}

// A typed name reaches a system file whatever its case, as the device folds it.
bool namesSystemFile(std::string_view typed) {
    return typed.size() >= 4 && sameDeviceName(typed.substr(typed.size() - 4), ".NSF");
}

// Shell-style: * any run of characters, ? one, [a-z] or [!a-z] one of a set;
// ASCII case ignored, as the device ignores it.
bool matchesPattern(std::string_view pattern, std::string_view name) {
    // The pattern position after the element at `p` if it takes `c`.
    const auto takes = [&pattern](std::size_t p, char c) -> std::optional<std::size_t> {
        if (pattern[p] == '?') return p + 1;
        if (pattern[p] == '[') {
            std::size_t q = p + 1;
            const bool negated = q < pattern.size() && (pattern[q] == '!' || pattern[q] == '^');
            if (negated) ++q;
            bool found = false;
            for (bool first = true; q < pattern.size() && (first || pattern[q] != ']'); first = false) {
                char low = pattern[q], high = low;
                if (q + 2 < pattern.size() && pattern[q + 1] == '-' && pattern[q + 2] != ']') {
                    high = pattern[q + 2];
                    q += 2;
                }
                ++q;
                found = found || (asciiUpper(c) >= asciiUpper(low) && asciiUpper(c) <= asciiUpper(high)) ||
                        (c >= low && c <= high);
            }
            if (q < pattern.size()) return found != negated ? std::optional(q + 1) : std::nullopt;
        }
        return asciiUpper(pattern[p]) == asciiUpper(c) ? std::optional(p + 1) : std::nullopt;
    };
    std::size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (const std::optional<std::size_t> next = p < pattern.size() ? takes(p, name[n]) : std::nullopt) {
            p = *next;
            ++n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

// The copy's modification time is the device's for the file; a date the
// device cannot mean is left alone.
void keepDeviceDate(const std::string& path, const FileListEntry& entry) {
    if (entry.month < 1 || entry.month > 12 || entry.day < 1 || entry.day > 31 || entry.hour > 23 ||
        entry.minute > 59 || entry.second > 59 || entry.year < 0 || entry.year > 99)
        return;
    const std::time_t when = deviceTime(entry);
    if (when == static_cast<std::time_t>(-1)) return;
    std::error_code unused;
    std::filesystem::last_write_time(
        localPath(path), std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(when)), unused);
}

}  // namespace

std::vector<NamedDevice> scanAndName(const GlobalOptions& options, bool tellIfNone, const std::vector<int>& ports) {
    // Ports that cannot hold a device are passed over before the probe; -v
    // says why for each port tried, and a denied port is named even without.
    std::vector<int> usable;
    std::vector<std::string> denied;
    for (const int port : ports.empty() ? candidatePorts(options.ports) : ports) {
        const std::optional<std::string> problem = portProblem(port);
        if (!problem) {
            usable.push_back(port);
        } else if (options.verbose) {
            reportProblem(portLabel(port) + ": passed over: " + *problem + ".");
        } else if (problem->starts_with("permission denied")) {
            denied.push_back(portLabel(port) + ": " + *problem + ".");
        }
    }
    ScanResult scan = scanDevices(usable);
    for (const DeviceInfo& device : scan.firmwareTooOld) tellFirmwareTooOld(device);
    if (options.verbose) {
        for (const int port : usable) {
            const auto answered = [port](const DeviceInfo& device) { return device.portNumber == std::uint32_t(port); };
            if (std::none_of(scan.devices.begin(), scan.devices.end(), answered) &&
                std::none_of(scan.firmwareTooOld.begin(), scan.firmwareTooOld.end(), answered))
                reportProblem(portLabel(port) + ": passed over: no supported device answers.");
        }
    }
    DeviceCatalogue catalogue;
    std::vector<NamedDevice> devices = listDevices(scan.devices, catalogue);
    if (devices.empty() && tellIfNone) {
        reportProblem("No supported devices connected.");
        for (const std::string& port : denied) reportProblem(port);
    }
    return devices;
}

Selection selectDevice(const GlobalOptions& options) {
    if (!options.device.empty()) {
        if (std::optional<int> port = portFromText(options.device)) {
            if (const std::optional<std::string> problem = portProblem(*port)) {
                reportProblem("cannot use " + printable(options.device) + ": " + *problem + ".");
                return {std::nullopt, ExitCode::Failure};
            }
            const std::optional<DeviceInfo> device = probePort(*port);
            if (!device || !isFileCapableModel(device->typeCode)) {
                reportProblem("no supported device answers on " + printable(options.device) + ".");
                return {std::nullopt, ExitCode::Failure};
            }
            if (device->protocolVersion == 0) {
                tellFirmwareTooOld(*device);
                return {std::nullopt, ExitCode::Failure};
            }
            return {device, ExitCode::Success};
        }
        std::vector<NamedDevice> called = scanAndName(options, false);
        std::erase_if(called, [&](const NamedDevice& named) { return !sameDeviceName(named.name, options.device); });
        if (called.size() == 1) return {called.front().info, ExitCode::Success};
        if (called.empty()) {
            reportProblem("no connected device is called \"" + printable(options.device) + "\".");
            return {std::nullopt, ExitCode::Failure};
        }
        reportProblem("several connected devices are called \"" + printable(options.device) +
                      "\"; choose one by its port with --device PORT:");
        printDevices(called);
        return {std::nullopt, ExitCode::Usage};
    }
    std::vector<NamedDevice> devices = scanAndName(options, true);
    if (devices.empty()) return {std::nullopt, ExitCode::Failure};
    if (devices.size() > 1) {
        reportProblem("several devices are connected; choose one with --device PORT or --device NAME:");
        printDevices(devices);
        return {std::nullopt, ExitCode::Usage};
    }
    return {devices.front().info, ExitCode::Success};
}

int runScan(const GlobalOptions& options) {
    std::vector<NamedDevice> devices = scanAndName(options, true);
    if (devices.empty()) return ExitCode::Failure;
    printDevices(devices);
    return ExitCode::Success;
}

int runList(const GlobalOptions& options, bool humanSizes) {
    return withDevice(options, [&](SLVFamilyDevice& device) {
        const std::string label = deviceLabel(device.deviceInfo());
        const std::vector<FileListEntry> files = device.sendFileList(maximumListedFiles);
        if (files.empty()) {
            std::printf("There are no files on %s.\n", label.c_str());
            return ExitCode::Success;
        }
        const auto sizeText = [humanSizes](std::uint64_t bytes) {
            return !humanSizes    ? std::to_string(bytes)
                   : bytes < 1024 ? std::to_string(bytes) + " B"
                                  : readableSize(bytes);
        };
        std::vector<std::string> names;
        std::size_t nameWidth = 4;
        std::uint64_t total = 0;
        for (const FileListEntry& file : files) {
            names.push_back(shownName(file.name));
            nameWidth = std::max(nameWidth, characterCount(names.back()));
            total += file.size;
        }
        std::printf("%s  %12s  %s\n", padded("File", nameWidth).c_str(), "Size", "Modified");
        for (std::size_t i = 0; i < files.size(); ++i)
            std::printf("%s  %12s  %s\n", padded(names[i], nameWidth).c_str(), sizeText(files[i].size).c_str(),
                        widenedDate(files[i]).c_str());
        std::printf("%zu %s, %s in all\n", files.size(), files.size() == 1 ? "file" : "files",
                    humanSizes ? sizeText(total).c_str() : (std::to_string(total) + " bytes").c_str());
        return ExitCode::Success;
    });
}

int runFreeSpace(const GlobalOptions& options) {
    return withDevice(options, [&](SLVFamilyDevice& device) {
        std::uint32_t first = 0, freeBytes = 0;
        device.sendDiskSpace(first, freeBytes);
        std::string amount = std::to_string(freeBytes) + " bytes free";
        if (freeBytes >= 1024) amount += " (" + readableSize(freeBytes) + ")";
        std::printf("%s: %s\n", deviceLabel(device.deviceInfo()).c_str(), amount.c_str());
        return ExitCode::Success;
    });
}

int runGet(const GlobalOptions& options, const std::vector<std::string>& files, const GetOptions& get) {
    const std::optional<std::vector<std::string>> names = deviceNamesFromUser(files);
    if (!names) return ExitCode::Failure;
    return withDevice(options, [&](SLVFamilyDevice& device) {
        const std::string label = deviceLabel(device.deviceInfo());
        const std::vector<FileListEntry> listed = device.sendFileList(maximumListedFiles);
        int result = ExitCode::Success;
        std::vector<const FileListEntry*> wanted;
        const auto want = [&wanted](const FileListEntry& entry) {
            if (std::find(wanted.begin(), wanted.end(), &entry) == wanted.end()) wanted.push_back(&entry);
        };
        if (get.all)
            for (const FileListEntry& entry : listed) want(entry);
        for (const std::string& name : *names) {
            // The name as the device stores it; else in another case, or as a pattern.
            const bool pattern = name.find_first_of("*?[") != std::string::npos;
            const auto exact =
                std::find_if(listed.begin(), listed.end(), [&](const FileListEntry& e) { return name == e.name; });
            bool found = false;
            for (const FileListEntry& entry : listed) {
                if (exact != listed.end() ? &entry == &*exact
                    : pattern             ? matchesPattern(name, entry.name)
                                          : sameDeviceName(name, entry.name)) {
                    want(entry);
                    found = true;
                }
            }
            if (!found) {
                reportProblem(
                    "cannot copy \"" + shownName(name) + "\" from " + label +
                    (pattern ? ": no file on the device matches it." : ": the file does not exist on the device."));
                result = ExitCode::Failure;
            }
        }
        if (get.all && listed.empty()) std::printf("There are no files on %s.\n", label.c_str());
        // A target that is not a folder is the name of the one file copied.
        std::error_code unused;
        const bool intoFolder = get.target.empty() || get.target.back() == '/' || get.target.back() == pathSeparator ||
                                std::filesystem::is_directory(localPath(get.target), unused);
        const std::filesystem::path folder =
            intoFolder ? localPath(get.target.empty() ? "." : get.target) : localPath(get.target).parent_path();
        if (!wanted.empty() && !folder.empty() && !std::filesystem::is_directory(folder, unused)) {
            reportProblem("cannot copy to " + printable(get.target) + ": there is no such folder.");
            return ExitCode::Failure;
        }
        if (!intoFolder && wanted.size() > 1) {
            reportProblem("cannot copy " + std::to_string(wanted.size()) + " files into " + printable(get.target) +
                          ": it is not a folder.");
            return ExitCode::Failure;
        }
        // Each device name becomes one safe file name in the folder, never a
        // path, and never the name another of these files gets.
        std::vector<std::string> shownNames;
        for (const FileListEntry* entry : wanted) shownNames.push_back(deviceNameForDisplay(entry->name));
        const std::vector<std::string> localNames = distinctNames(shownNames, safeLocalFileName);
        bool yesToAll = get.overwrite == OverwriteChoice::Always;
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            const FileListEntry& entry = *wanted[i];
            const std::string shown = shownName(entry.name);
            std::string target = get.target;
            if (intoFolder) {
                if (!target.empty() && target.back() != '/' && target.back() != pathSeparator) target += pathSeparator;
                target += localNames[i];
            }
            if (!yesToAll && std::filesystem::exists(localPath(target), unused)) {
                const OverwriteAnswer answer = get.overwrite == OverwriteChoice::Never
                                                   ? OverwriteAnswer::No
                                                   : askAtTerminal(printable(target) + " already exists.");
                if (answer == OverwriteAnswer::Cancel) {
                    for (std::size_t rest = i; rest < wanted.size(); ++rest)
                        std::printf("Skipped \"%s\"\n", shownName(wanted[rest]->name).c_str());
                    return result == ExitCode::Success ? ExitCode::Skipped : result;
                }
                if (answer == OverwriteAnswer::No) {
                    std::printf("Skipped \"%s\": %s already exists\n", shown.c_str(), printable(target).c_str());
                    if (result == ExitCode::Success) result = ExitCode::Skipped;
                    continue;
                }
                yesToAll = answer == OverwriteAnswer::YesToAll;
            }
            try {
                ProgressBar bar(shown);
                InterruptAction cancel([&device] { device.cancelTransfer(); });
                device.sendFile(entry.name, target, entry.size, bar.callback());
                bar.finish();
                keepDeviceDate(target, entry);
                std::printf("Copied \"%s\" (%u bytes) from %s to %s\n", shown.c_str(), entry.size, label.c_str(),
                            printable(target).c_str());
            } catch (NBException error) {
                reportFailure("cannot copy \"" + shown + "\" from " + label + " to " + printable(target), error,
                              options.verbose);
                if (failureExit(error) == ExitCode::Interrupted) return ExitCode::Interrupted;
                result = ExitCode::Failure;
            }
        }
        return result;
    });
}

int runPut(const GlobalOptions& options, const std::vector<std::string>& files, const std::string& targetName,
           OverwriteChoice overwrite) {
    if (!targetName.empty() && !deviceNamesFromUser({targetName}, true)) return ExitCode::Failure;
    int result = ExitCode::Success;
    // Files that cannot be read are told before the device is looked for.
    std::vector<std::string> readable;
    std::vector<std::uint32_t> sizes;
    for (const std::string& path : files) {
        try {
            sizes.push_back(openLocalFile(path, LocalFile::ReadMode)->getSize());
            readable.push_back(path);
        } catch (const NBException&) {
            std::error_code unused;
            const bool exists = std::filesystem::exists(localPath(path), unused);
            reportProblem("cannot copy " + printable(path) + ": " +
                          (exists ? "it cannot be read." : "it does not exist."));
            result = ExitCode::Failure;
        }
    }
    if (readable.empty()) return result;
    Selection selection = selectDevice(options);
    if (!selection.device) return selection.exitCode;
    const DeviceInfo target = *selection.device;
    const std::string label = deviceLabel(target);
    TerminalUser user(label, overwrite, options.verbose);
    // The transfer core's rule for a file that exists: asked, answered or refused as set.
    bool yesToAll = overwrite == OverwriteChoice::Always;
    bool skipped = false;
    for (std::size_t i = 0; i < readable.size(); ++i) {
        const std::string& path = readable[i];
        const std::optional<std::string> deviceName =
            deviceNameFromLocal(targetName.empty() ? lastComponent(path).substr(0, longestDeviceName) : targetName);
        if (!deviceName) {
            reportProblem("cannot copy " + printable(path) + " to " + label +
                          ": its name has characters the device cannot store; name it with --as.");
            result = ExitCode::Failure;
            continue;
        }
        user.startFile(path, *deviceName, sizes[i]);
        const int failuresBefore = user.failures();
        bool fileDone = true;
        bool goOn = false;
        {
            const ProgressScope progress(TransferProgress::create(user, TransferMode::PcAndDevice, 1, 0));
            InterruptAction cancel([&progress] { progress->abort(); });
            goOn = uploadOneFile(target, {path, *deviceName}, 0, nullptr, yesToAll, *progress, user, fileDone);
        }
        if (wasInterrupted()) return ExitCode::Interrupted;
        if (goOn && fileDone)
            std::printf("Copied %s to %s as \"%s\"\n", printable(path).c_str(), label.c_str(),
                        shownName(*deviceName).c_str());
        skipped = skipped || (goOn && !fileDone);
        if (goOn || user.failures() > failuresBefore) continue;
        // The question was answered with quit, or not at all: this file and
        // the rest stay where they are.
        for (std::size_t rest = i; rest < readable.size(); ++rest)
            std::printf("Skipped %s\n", printable(readable[rest]).c_str());
        skipped = true;
        break;
    }
    if (user.failures() > 0) return ExitCode::Failure;
    return result == ExitCode::Success && skipped ? ExitCode::Skipped : result;
}

int runRemove(const GlobalOptions& options, const std::vector<std::string>& files, bool force) {
    const std::optional<std::vector<std::string>> names = deviceNamesFromUser(files);
    if (!names) return ExitCode::Failure;
    for (const std::string& name : *names) {
        if (namesSystemFile(name) && !force) {
            reportProblem("\"" + shownName(name) +
                          "\" is a system file; deleting it may leave the device "
                          "unstable or unusable. Use --force to delete it all the same.");
            return ExitCode::Failure;
        }
    }
    return withDevice(options, [&](SLVFamilyDevice& device) {
        const std::string label = deviceLabel(device.deviceInfo());
        int result = ExitCode::Success;
        for (const std::string& name : *names) {
            try {
                device.deleteFile(name);
                std::printf("Deleted \"%s\" on %s\n", shownName(name).c_str(), label.c_str());
            } catch (NBException error) {
                reportFailure("cannot delete \"" + shownName(name) + "\" on " + label, error, options.verbose);
                result = ExitCode::Failure;
            }
        }
        return result;
    });
}

int runRename(const GlobalOptions& options, const std::string& oldName, const std::string& newName, bool force) {
    const std::optional<std::vector<std::string>> oldNames = deviceNamesFromUser({oldName});
    const std::optional<std::vector<std::string>> newNames =
        oldNames ? deviceNamesFromUser({newName}, true) : std::nullopt;
    if (!newNames) return ExitCode::Failure;
    const std::string &from = oldNames->front(), &to = newNames->front();
    if (to.empty() || to.size() > longestDeviceName) {
        reportProblem("a file name on the device has 1 to 64 characters.");
        return ExitCode::Usage;
    }
    if (namesSystemFile(from) && !force) {
        reportProblem("\"" + shownName(from) +
                      "\" is a system file; renaming it may leave the device "
                      "unstable or unusable. Use --force to rename it all the same.");
        return ExitCode::Failure;
    }
    return withDevice(options, [&](SLVFamilyDevice& device) {
        const std::string label = deviceLabel(device.deviceInfo());
        try {
            // The device finds a file whatever the case of its name; a rename
            // only under the name as it stores it.
            const std::vector<FileListEntry> listed = device.sendFileList(maximumListedFiles);
            auto stored = std::find_if(listed.begin(), listed.end(),
                                       [&](const FileListEntry& entry) { return from == entry.name; });
            if (stored == listed.end())
                stored = std::find_if(listed.begin(), listed.end(),
                                      [&](const FileListEntry& entry) { return sameDeviceName(from, entry.name); });
            device.renameFile(stored == listed.end() ? from : std::string(stored->name), to);
        } catch (NBException error) {
            reportFailure("cannot rename \"" + shownName(from) + "\" to \"" + shownName(to) + "\" on " + label, error,
                          options.verbose);
            return ExitCode::Failure;
        }
        std::printf("Renamed \"%s\" to \"%s\" on %s\n", shownName(from).c_str(), shownName(to).c_str(), label.c_str());
        return ExitCode::Success;
    });
}

int runName(const GlobalOptions& options, const std::string& newName) {
    if (newName.empty()) {
        std::vector<NamedDevice> devices = scanAndName(options, true);
        if (devices.empty()) return ExitCode::Failure;
        std::erase_if(devices, [&](const NamedDevice& device) {
            return !options.device.empty() && !sameDeviceName(device.name, options.device) &&
                   portFromText(options.device) != static_cast<int>(device.info.portNumber);
        });
        printDevices(devices);
        return ExitCode::Success;
    }
    if (newName.size() > longestDeviceName) {
        reportProblem("a device name has at most 64 characters.");
        return ExitCode::Usage;
    }
    Selection selection = selectDevice(options);
    if (!selection.device) return selection.exitCode;
    DeviceCatalogue catalogue;
    catalogue.loadCatalogue();
    // A name picks one device, so no two devices share one.
    std::string oldName = modelName(selection.device->typeCode) ? modelName(selection.device->typeCode) : "";
    for (const auto& [serial, name] : catalogue.rememberedNames()) {
        if (serial == selection.device->serial) {
            oldName = name;
        } else if (sameDeviceName(name, newName)) {
            reportProblem("another device (serial " + printable(serial) + ") is called \"" + printable(name) +
                          "\" already; choose another name.");
            return ExitCode::Failure;
        }
    }
    if (!catalogue.storeDeviceName(selection.device->typeCode, selection.device->serial, newName)) {
        reportProblem("the new name cannot be stored.");
        return ExitCode::Failure;
    }
    std::printf("\"%s\" (%s) is now called \"%s\"\n", printable(oldName).c_str(),
                shortPortLabel(static_cast<int>(selection.device->portNumber)).c_str(), printable(newName).c_str());
    return ExitCode::Success;
}

int runMonitor(const GlobalOptions& options) {
    return withDevice(options, [&](SLVFamilyDevice& device) {
        std::fprintf(stderr, "Waiting for text lines from %s; Ctrl+C ends.\n",
                     deviceLabel(device.deviceInfo()).c_str());
        InterruptAction stop([&device] { device.stopMonitorMode(); });
        device.startMonitorMode([](const DeviceInfo*, const char* line, std::int32_t number, std::int32_t changed) {
            if (changed) std::printf("%3d: %s\n", number, shownName(line).c_str());
            std::fflush(stdout);
        });
        return wasInterrupted() ? ExitCode::Interrupted : ExitCode::Success;
    });
}

int runTable(const GlobalOptions& options, const std::string& tableFile, std::uint32_t slot, bool backward,
             const std::string& tableName) {
    // Read as every local file is (a path beyond ASCII works on Windows too);
    // a byte more than a table has is enough to refuse the file.
    std::vector<std::uint8_t> bytes;
    try {
        const std::unique_ptr<LocalFile> input = openLocalFile(tableFile, LocalFile::ReadMode);
        std::uint8_t chunk[257];
        while (bytes.size() < sizeof chunk) {
            const std::uint32_t count = input->readBuffer(chunk, static_cast<std::uint32_t>(sizeof chunk));
            if (count == 0) break;
            bytes.insert(bytes.end(), chunk, chunk + count);
        }
    } catch (NBException) {
        reportProblem("cannot read " + printable(tableFile) + ".");
        return ExitCode::Failure;
    }
    if (bytes.size() != 256) {
        reportProblem(printable(tableFile) + " is not a braille table: a table has exactly 256 bytes, this file has " +
                      (bytes.size() > 256 ? std::string("more") : std::to_string(bytes.size())) + ".");
        return ExitCode::Failure;
    }
    const std::optional<std::vector<std::string>> names =
        deviceNamesFromUser({tableName.empty() ? lastComponent(tableFile) : tableName}, true);
    if (!names) return ExitCode::Failure;
    const std::string& name = names->front();
    return withDevice(options, [&](SLVFamilyDevice& device) {
        try {
            device.receiveBrailleTable(std::span<const std::uint8_t, 256>(bytes.data(), 256), name, slot, backward);
        } catch (NBException error) {
            reportFailure("cannot load the braille table " + printable(tableFile) + " into slot " +
                              std::to_string(slot) + " of " + deviceLabel(device.deviceInfo()),
                          error, options.verbose);
            return ExitCode::Failure;
        }
        std::printf("Loaded %s into braille table slot %u of %s\n", printable(tableFile).c_str(), slot,
                    deviceLabel(device.deviceInfo()).c_str());
        return ExitCode::Success;
    });
}
