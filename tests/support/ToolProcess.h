#pragma once
// A native tool (the device simulator, a shell) run by a test: started
// with its arguments, ready once its ready path exists, stopped when the
// object goes. Works the same in a native test and in a Windows test under
// Wine, where the tool must write a pid file (its only handle there) and
// remove it when it ends.
#include <chrono>
#include <string>
#include <vector>

struct ToolLaunch {
    std::string program;            // Unix path of the native program
    std::vector<std::string> args;  // arguments after the program
    std::string readyPath;          // Unix path that exists once the tool is ready
    std::string pidFile;            // Unix path of the tool's pid file (needed under Wine)
    std::chrono::milliseconds readyTimeout{15000};
};

class ToolProcess {
public:
    // Raises std::runtime_error when the tool ends or is not ready in time.
    explicit ToolProcess(ToolLaunch launch);
    ~ToolProcess();
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;

    // Asks the tool to end (SIGTERM) and waits until it has.
    void stop();
    // Ends the tool at once (SIGKILL), as when a device is unplugged; its
    // links stay behind as such a crash leaves them.
    void kill();
    long pid() const { return pid_; }

private:
    ToolLaunch launch_;
    long child_ = 0;  // pid from the start, 0 under Wine
    long pid_ = 0;
    bool running_ = false;
};

// The Unix path of a native tool built with the tests ("nimbrel-devsim").
std::string nativeTool(const std::string& name);
// nimbrel-devsim playing one device behind `link` with the device keys
// `keys` ("model=MN2,version=1"), ready once the link is there.
ToolLaunch devsimLaunch(const std::string& link, const std::string& keys, const std::string& pidFile);
