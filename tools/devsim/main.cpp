// nimbrel-devsim: plays one or more devices of the family, each on its own
// pseudo-terminal, for end-to-end tests and demonstrations.
#include <CLI/CLI.hpp>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "DeviceOptions.h"
#include "NimbrelVersion.h"
#include "PtyLine.h"
#include "SimulatedDevice.h"
#include "protocol/PrintableText.h"

using namespace devsim;

namespace {

std::mutex outputMutex;

void say(const std::string& line) {
    std::lock_guard lock(outputMutex);
    std::cout << line << std::endl;
}

struct RunningDevice {
    std::string label;
    std::unique_ptr<SimulatedDevice> device;
    std::unique_ptr<PtyLine> line;
    std::thread thread;
};

std::string hexByte(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

}  // namespace

int main(int argc, char** argv) try {
    CLI::App app{
        "Plays devices of the Korvel family on pseudo-terminals. Each device answers on the\n"
        "pseudo-terminal its link points at, one line of output per transaction.",
        "nimbrel-devsim"};
    app.set_version_flag("--version", "nimbrel-devsim " NIMBREL_VERSION_TEXT);
    std::vector<std::string> deviceOptions;
    std::string pidFile;
    double idleLimit = 0;
    bool pace = false;
    bool quiet = false;
    app.add_option("-d,--device", deviceOptions, "A device: comma-separated keys, see below (repeatable)")
        ->required()
        ->allow_extra_args(false);
    app.add_option("--pid-file", pidFile, "Write the process id to this file (removed on exit)");
    app.add_option("--idle-limit", idleLimit, "End after this many seconds without a byte from the PC (0: never)")
        ->check(CLI::NonNegativeNumber);
    app.add_flag("--pace", pace, "Send at the real line rate on every device");
    app.add_flag("-q,--quiet", quiet, "Print nothing but errors");
    app.footer(deviceOptionsHelp);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) return app.exit(error);
        if (deviceOptions.empty())
            std::cerr << "nimbrel-devsim: give at least one device with --device 'link=PATH' "
                         "(see nimbrel-devsim --help).\n";
        else
            std::cerr << "nimbrel-devsim: " << error.what() << " (see nimbrel-devsim --help).\n";
        return 2;
    }

    std::vector<DeviceOptions> setups;
    try {
        for (const std::string& option : deviceOptions) setups.push_back(parseDeviceOptions(option));
    } catch (const std::exception& error) {
        std::cerr << "nimbrel-devsim: " << error.what() << "\n";
        return 2;
    }

    // The signals that end us are taken by the main thread only.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&endSignals, signal);
    pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);

    std::atomic<bool> stopping{false};
    std::vector<RunningDevice> running;
    try {
        for (DeviceOptions& setup : setups) {
            if (pace) setup.config.pacing = true;
            std::unique_ptr<DeviceStorage> storage;
            if (setup.filesDirectory) storage = std::make_unique<DirectoryStorage>(*setup.filesDirectory);
            RunningDevice entry;
            entry.label = setup.link.filename().string();
            entry.device = std::make_unique<SimulatedDevice>(setup.config, std::move(storage));
            for (const auto& [name, data] : setup.seeds) entry.device->putFile(name, data);
            entry.device->setFaults(setup.faults);
            entry.line = std::make_unique<PtyLine>(setup.link, stopping);
            if (!quiet) {
                const std::string label = entry.label;
                // Names and serials are whatever the options hold: the log shows them escaped.
                entry.device->setEventObserver(
                    [label](const std::string& event) { say(label + ": " + printable(event)); });
                say(entry.label + ": type " + hexByte(setup.config.typeCode) + ", serial " +
                    printable(setup.config.serial) + ", version " + std::to_string(setup.config.protocolVersion) +
                    ", on " + entry.line->slavePath() + " via " + setup.link.string());
            }
            running.push_back(std::move(entry));
        }
    } catch (const std::exception& error) {
        std::cerr << "nimbrel-devsim: " << error.what() << "\n";
        return 1;
    }
    if (!pidFile.empty()) std::ofstream(pidFile) << ::getpid() << "\n";

    // A paced device sleeps a byte time (0.57 ms) at a time; the default
    // timer slack would add a tenth to each of its waits. The threads inherit it.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    for (RunningDevice& entry : running) entry.thread = std::thread([&entry] { entry.device->serve(*entry.line); });

    const auto idleLimitDuration = std::chrono::duration<double>(idleLimit);
    for (;;) {
        const timespec wait{0, 200'000'000};
        const int signal = sigtimedwait(&endSignals, nullptr, &wait);
        if (signal > 0) {
            if (!quiet)
                say(std::string("stopping on ") + (signal == SIGINT    ? "SIGINT"
                                                   : signal == SIGTERM ? "SIGTERM"
                                                                       : "SIGHUP"));
            break;
        }
        if (idleLimit > 0) {
            auto latest = std::chrono::steady_clock::time_point{};
            for (const RunningDevice& entry : running) latest = std::max(latest, entry.line->lastActivity());
            if (std::chrono::steady_clock::now() - latest > idleLimitDuration) {
                if (!quiet) say("stopping: idle for " + std::to_string(idleLimit) + " s");
                break;
            }
        }
    }

    stopping = true;
    for (RunningDevice& entry : running) entry.thread.join();
    running.clear();  // removes the links
    if (!pidFile.empty()) std::remove(pidFile.c_str());
    return 0;
} catch (const std::exception& error) {
    std::cerr << "nimbrel-devsim: " << error.what() << "\n";
    return 1;
} catch (...) {
    std::cerr << "nimbrel-devsim: unexpected failure\n";
    return 1;
}
