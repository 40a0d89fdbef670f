#include <cstdio>
#include <memory>

#include "FuseMount.h"
#include "Interrupt.h"
#include "Messages.h"
#include "MountCommand.h"

namespace {

struct MountArguments {
    std::string mountPoint;
    bool foreground = false;
    bool allowSystemFiles = false;
};

int runMount(const GlobalOptions& options, const MountArguments& arguments) {
    MountRequest request;
    request.mountPoint = arguments.mountPoint;
    if (!options.device.empty()) {
        const Selection selection = selectDevice(options);
        if (!selection.device) return selection.exitCode;
        request.devices.push_back({*selection.device, {}});
        request.deviceAtRoot = true;
    } else {
        request.devices = scanAndName(options, true);
        if (request.devices.empty()) return ExitCode::Failure;
    }
    request.settings.allowSystemFiles = arguments.allowSystemFiles;
    request.settings.report = [verbose = options.verbose](const DeviceInfo& device, const std::string& what,
                                                          const NBException& error) {
        reportFailure(what + " on " + deviceLabel(device), error, verbose);
    };
    try {
        const std::size_t count = request.devices.size();
        FuseMount mount(request);
        const std::string devices = count == 1 ? "One device" : std::to_string(count) + " devices";
        const std::string how = arguments.foreground ? "Ctrl+C" : "fusermount3 -u " + mount.mountPoint();
        std::printf("%s mounted at %s; %s unmounts.\n", devices.c_str(), mount.mountPoint().c_str(), how.c_str());
        std::fflush(stdout);
        if (!arguments.foreground) {
            mount.runInBackground();
            // The thread that takes the signals stayed behind in the parent.
            installInterruptHandling();
        }
        const InterruptAction unmount([&mount] { mount.requestUnmount(); });
        return mount.serve() ? ExitCode::Success : ExitCode::Failure;
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
    mount->add_flag("--allow-system-files", arguments->allowSystemFiles, "Let system files (.NSF) be changed");
    mount->callback([&options, arguments, setExitCode] { setExitCode(runMount(options, *arguments)); });
}
