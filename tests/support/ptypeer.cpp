// nimbrel-ptypeer: the far end of a serial line for tests. Opens a
// pseudo-terminal, points a link path at its slave end, and plays a short
// script against whatever opens the link, recording every byte it receives.
//
//   nimbrel-ptypeer --link PATH [--pid-file PATH] [--capture PATH]
//                   [--script "wait:3 send:06 20 sleep:100 send:41"] [--idle-limit SECONDS]
//
// Script steps, in order:
//   wait:N     wait until N bytes have been received in all
//   send:HH .. send hex bytes (further bare hex tokens belong to the same send)
//   sleep:MS   pause
//   exit       end at once, as a device that goes away
// After the script the peer keeps recording until SIGTERM, or until nothing
// has been received or sent for the idle limit (default 60 s), so it never
// lingers after a test. On exit it removes its link (if still its own) and
// then its pid file, which tells a waiting test that it is gone.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {
volatile sig_atomic_t stopRequested = 0;
void onSignal(int) {
    stopRequested = 1;
}

struct Step {
    enum Kind { Wait, Send, Sleep, Exit } kind;
    long number = 0;
    std::vector<unsigned char> bytes;
};

struct Options {
    std::string link, pidFile, capture, script;
    int idleLimitSeconds = 60;
};

[[noreturn]] void fail(const std::string& text) {
    std::fprintf(stderr, "nimbrel-ptypeer: %s\n", text.c_str());
    std::exit(2);
}

std::vector<Step> parseScript(const std::string& script) {
    std::vector<Step> steps;
    std::istringstream words(script);
    std::string word;
    while (words >> word) {
        const std::size_t colon = word.find(':');
        const std::string name = word.substr(0, colon);
        const std::string value = colon == std::string::npos ? "" : word.substr(colon + 1);
        char* end = nullptr;
        if (name == "exit") {
            steps.push_back({Step::Exit, 0, {}});
        } else if (name == "wait" || name == "sleep") {
            const long number = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || number < 0) fail("bad step " + word);
            steps.push_back({name == "wait" ? Step::Wait : Step::Sleep, number, {}});
        } else {
            // "send:06" starts a send; a bare hex byte continues it.
            const bool starts = name == "send";
            const std::string hex = starts ? value : word;
            if (!starts && (steps.empty() || steps.back().kind != Step::Send)) fail("bad step " + word);
            if (starts) steps.push_back({Step::Send, 0, {}});
            if (hex.empty()) continue;
            const long byte = std::strtol(hex.c_str(), &end, 16);
            if (*end != '\0' || byte < 0 || byte > 255 || hex.size() > 2) fail("bad byte " + word);
            steps.back().bytes.push_back(static_cast<unsigned char>(byte));
        }
    }
    return steps;
}

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc) fail("missing value for " + name);
        const std::string value = argv[++i];
        if (name == "--link")
            options.link = value;
        else if (name == "--pid-file")
            options.pidFile = value;
        else if (name == "--capture")
            options.capture = value;
        else if (name == "--script")
            options.script = value;
        else if (name == "--idle-limit")
            options.idleLimitSeconds = std::atoi(value.c_str());
        else
            fail("unknown option " + name);
    }
    if (options.link.empty()) fail("--link is required");
    return options;
}

// Writes `text` to `path` through a rename, so a reader never sees half of it.
void replaceAtomically(const std::string& path, const std::string& linkTarget, const std::string& text) {
    const std::string temporary = path + ".new" + std::to_string(getpid());
    ::unlink(temporary.c_str());
    if (!linkTarget.empty()) {
        if (::symlink(linkTarget.c_str(), temporary.c_str()) != 0) fail("cannot link " + path);
    } else {
        FILE* file = std::fopen(temporary.c_str(), "w");
        if (file == nullptr) fail("cannot write " + path);
        std::fputs(text.c_str(), file);
        std::fclose(file);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) fail("cannot place " + path);
}

class Peer {
public:
    Peer(const Options& options) : options_(options) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) fail("no pseudo-terminal");
        slaveName_ = ::ptsname(master_);
        // Keep a slave descriptor of our own: without one the master reports
        // a hang-up between the test's opens.
        slave_ = ::open(slaveName_.c_str(), O_RDWR | O_NOCTTY);
        termios settings{};
        ::tcgetattr(master_, &settings);
        ::cfmakeraw(&settings);
        ::cfsetispeed(&settings, B19200);
        ::cfsetospeed(&settings, B19200);
        ::tcsetattr(master_, TCSANOW, &settings);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        if (!options.capture.empty()) {
            capture_ = ::open(options.capture.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (capture_ < 0) fail("cannot write " + options.capture);
        }
        if (!options.pidFile.empty()) replaceAtomically(options.pidFile, "", std::to_string(getpid()) + "\n");
        replaceAtomically(options.link, slaveName_, "");
        lastActivity_ = Clock::now();
    }

    ~Peer() {
        char target[256] = {};
        if (::readlink(options_.link.c_str(), target, sizeof target - 1) > 0 && slaveName_ == target)
            ::unlink(options_.link.c_str());
        ::close(slave_);
        ::close(master_);
        if (capture_ >= 0) ::close(capture_);
        if (!options_.pidFile.empty()) ::unlink(options_.pidFile.c_str());
    }

    void run(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            switch (step.kind) {
                case Step::Wait:
                    while (received_ < step.number)
                        if (!pump(100)) return;
                    break;
                case Step::Send:
                    send(step.bytes);
                    break;
                case Step::Sleep: {
                    const auto until = Clock::now() + std::chrono::milliseconds(step.number);
                    while (Clock::now() < until)
                        if (!pump(10)) return;
                    break;
                }
                case Step::Exit:
                    return;
            }
        }
        while (pump(100)) {
        }
    }

private:
    using Clock = std::chrono::steady_clock;

    // Receives and records what is there, waiting up to `ms`. False when it
    // is time to go.
    bool pump(int ms) {
        if (stopRequested) return false;
        if (Clock::now() - lastActivity_ > std::chrono::seconds(options_.idleLimitSeconds)) return false;
        pollfd entry{master_, POLLIN, 0};
        if (::poll(&entry, 1, ms) <= 0) return true;
        unsigned char buffer[512];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0) {
            if (capture_ >= 0 && ::write(capture_, buffer, static_cast<size_t>(n)) != n) fail("capture failed");
            received_ += n;
            lastActivity_ = Clock::now();
        }
        return true;
    }

    void send(const std::vector<unsigned char>& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0)
                done += static_cast<std::size_t>(n);
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                fail("send failed");
            else if (!pump(1))
                return;
        }
        lastActivity_ = Clock::now();
    }

    const Options& options_;
    int master_ = -1;
    int slave_ = -1;
    int capture_ = -1;
    std::string slaveName_;
    long received_ = 0;
    Clock::time_point lastActivity_;
};
}  // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    const std::vector<Step> steps = parseScript(options.script);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    Peer peer(options);
    peer.run(steps);
    return 0;
}
