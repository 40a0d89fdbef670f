#include <cstdio>
#include <filesystem>
#include <optional>
#include <memory>

#include <thread>

#include "DeviceWatch.h"
#include "FuseMount.h"
#include "Interrupt.h"
#include "Messages.h"
#include "MountCommand.h"

namespace {

struct MountArguments {
    std::string mountPoint;
    bool foreground = false;
    bool allowSystemFiles = false;
    bool nonEmpty = false;
};

// Why the folder cannot take the mount, if it cannot: told before any
// device is looked for.
std::optional<std::string> mountPointProblem(const MountArguments& arguments) {
    const std::filesystem::path folder(arguments.mountPoint);
    std::error_code error;
    if (!std::filesystem::exists(folder, error)) return "it does not exist";
    if (!std::filesystem::is_directory(folder, error)) return "it is not a folder";
    if (!arguments.nonEmpty && !std::filesystem::is_empty(folder, error))
        return "it is not empty, and its files would be hidden while mounted (--nonempty mounts all the same)";
    return std::nullopt;
}

int runMount(const GlobalOptions& options, const MountArguments& arguments) {
    if (const std::optional<std::string> problem = mountPointProblem(arguments)) {
        reportProblem("cannot mount at " + printable(arguments.mountPoint) + ": " + *problem + ".");
        return ExitCode::Failure;
    }
    MountRequest request;
    request.mountPoint = arguments.mountPoint;
    // Without --device the folder follows the devices as they come and go.
    std::unique_ptr<DeviceWatch> watch;
    if (!options.device.empty()) {
        const Selection selection = selectDevice(options);
        if (!selection.device) return selection.exitCode;
        request.devices.push_back({*selection.device, {}});
        request.deviceAtRoot = true;
    } else {
        try {
            watch = std::make_unique<DeviceWatch>(options);
        } catch (const std::runtime_error& error) {
            reportProblem(std::string(error.what()) + ".");
            return ExitCode::Failure;
        }
        request.devices = watch->devices();
    }
    request.settings.allowSystemFiles = arguments.allowSystemFiles;
    request.settings.report = [verbose = options.verbose](const DeviceInfo& device, const std::string& what,
                                                          const NBException& error) {
        reportFailure(what + " on " + deviceLabel(device), error, verbose);
    };
    try {
        const std::size_t count = request.devices.size();
        FuseMount mount(request);
        const std::string devices = count == 0   ? "No device yet; folders come as devices are plugged in,"
                                    : count == 1 ? "One device"
                                                 : std::to_string(count) + " devices";
        const std::string how = arguments.foreground ? "Ctrl+C" : "fusermount3 -u " + mount.mountPoint();
        std::printf("%s mounted at %s; %s unmounts.\n", devices.c_str(), mount.mountPoint().c_str(), how.c_str());
        std::fflush(stdout);
        if (!arguments.foreground) {
            mount.runInBackground();
            // The thread that takes the signals stayed behind in the parent.
            installInterruptHandling();
        }
        // Threads do not cross into the background process: started here.
        std::thread follower;
        if (watch) {
            follower = std::thread([&mount, &watch] {
                std::vector<NamedDevice> arrived, left;
                while (watch->next(arrived, left)) mount.showDevices(watch->devices());
            });
        }
        const InterruptAction unmount([&mount] { mount.requestUnmount(); });
        const bool served = mount.serve();
        if (watch) {
            watch->stop();
            follower.join();
        }
        return served ? ExitCode::Success : ExitCode::Failure;
    } catch (const std::runtime_error& error) {
        reportProblem(std::string(error.what()) + ".");
        return ExitCode::Failure;
    }
}

}  // namespace

void addMountCommand(const CommandMaker& makeCommand, const GlobalOptions& options,
                     const std::function<void(int)>& setExitCode) {
    const auto arguments = std::make_shared<MountArguments>();
    auto* mount = makeCommand("mount", "Show the devices' files in a folder until it is unmounted",
                              "  nimbrel mount ~/Korvel\n"
                              "  nimbrel --device /dev/ttyUSB0 mount -f ~/Korvel\n"
                              "  fusermount3 -u ~/Korvel      (unmounts)\n");
    mount->add_option("mountpoint", arguments->mountPoint, "An empty folder")->required();
    mount->add_flag("-f,--foreground", arguments->foreground, "Stay in the foreground; Ctrl+C unmounts");
    mount->add_flag("--nonempty", arguments->nonEmpty, "Mount on a folder that has files, hiding them meanwhile");
    mount->add_flag("--allow-system-files", arguments->allowSystemFiles, "Let system files (.NSF) be changed");
    mount->callback([&options, arguments, setExitCode] { setExitCode(runMount(options, *arguments)); });
}
