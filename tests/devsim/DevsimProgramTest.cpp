// nimbrel-devsim as end-to-end tests meet it: a device on a pseudo-terminal
// behind a link, opened through POSIX termios like a serial port.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Bytes = std::vector<unsigned char>;

namespace {

class DevsimProcess {
public:
    DevsimProcess(const fs::path& directory, std::vector<std::string> arguments) : output_(directory / "out.log") {
        arguments.insert(arguments.begin(), std::string(NIMBREL_TOOLS_DIR) + "/nimbrel-devsim");
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0) << "cannot start " << argv[0];
        posix_spawn_file_actions_destroy(&actions);
    }
    ~DevsimProcess() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    // Exit status after waiting up to `limit`; -1 if it is still running.
    int waitForExit(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }

    void signal(int number) { ::kill(pid_, number); }

    std::string output() const {
        std::ifstream in(output_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    fs::path output_;
    pid_t pid_ = -1;
    bool exited_ = false;
};

bool waitForPath(const fs::path& path) {
    for (int i = 0; i < 300 && !fs::exists(path); ++i) std::this_thread::sleep_for(10ms);
    return fs::exists(path);
}

// Opens the link as the PC's POSIX port does: raw, 19200 baud.
int openLikeAPort(const fs::path& link) {
    const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return fd;
    termios settings{};
    tcgetattr(fd, &settings);
    cfmakeraw(&settings);
    cfsetispeed(&settings, B19200);
    cfsetospeed(&settings, B19200);
    tcsetattr(fd, TCSANOW, &settings);
    tcflush(fd, TCIOFLUSH);
    return fd;
}

Bytes exchange(int fd, const Bytes& request, std::size_t expected) {
    EXPECT_EQ(::write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    Bytes answer;
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (answer.size() < expected && std::chrono::steady_clock::now() < deadline) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, 50) <= 0) continue;
        unsigned char buffer[64];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) answer.insert(answer.end(), buffer, buffer + got);
    }
    return answer;
}

fs::path freshDirectory(const std::string& name) {
    const fs::path directory = fs::temp_directory_path() / ("devsim-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(directory);
    fs::create_directories(directory);
    return directory;
}

}  // namespace

TEST(DevsimProgram, AnswersIdentificationOnItsLinkAcrossReopensAndRemovesTheLinkOnSigterm) {
    const fs::path directory = freshDirectory("ident");
    const fs::path link = directory / "ports" / "COM3";
    DevsimProcess devsim(directory, {"--device", "link=" + link.string() + ",model=MN2,serial=MN2-4711,version=1",
                                     "--pid-file", (directory / "pid").string(), "--idle-limit", "30"});
    ASSERT_TRUE(waitForPath(directory / "pid")) << "no pid file; output:\n" << devsim.output();
    ASSERT_TRUE(fs::is_symlink(link));

    for (int open = 0; open < 2; ++open) {
        const int fd = openLikeAPort(link);
        ASSERT_GE(fd, 0) << "cannot open " << link;
        EXPECT_EQ(exchange(fd, {0xFF}, 2), (Bytes{0xFE, 0x72})) << "identification, open " << open;
        EXPECT_EQ(exchange(fd, {0x0C}, 5), (Bytes{0x06, 0x0C, 0x00, 0x01, 0x16}));
        ::write(fd, "\x06\x16", 2);
        EXPECT_EQ(exchange(fd, {0xAE}, 1), (Bytes{'O'}));
        const Bytes serial = exchange(fd, {'I', 'N', 'F', 'O', ' ', 'N'}, 45);
        EXPECT_EQ(std::string(serial.begin(), serial.end()).substr(0, 13), "INFOIMN2-4711");
        EXPECT_EQ(exchange(fd, {0x0B, 0x00, 0x20}, 5), (Bytes{0x06, 0x00, 0x06, 0x20, 0x04})) << "an empty file list";
        EXPECT_EQ(exchange(fd, {0x0B, 0x00}, 2), (Bytes{0x06, 0x02}));
        ::close(fd);
    }

    devsim.signal(SIGTERM);
    EXPECT_EQ(devsim.waitForExit(5s), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "link left behind";
    EXPECT_FALSE(fs::exists(directory / "pid")) << "pid file left behind";
    const std::string output = devsim.output();
    EXPECT_NE(output.find("COM3: type 0x72, serial MN2-4711, version 1"), std::string::npos) << output;
    EXPECT_NE(output.find("COM3: sent file list (0 files)"), std::string::npos) << output;
    fs::remove_all(directory);
}

TEST(DevsimProgram, EndsByItselfAfterTheIdleLimitAndRefusesUnknownKeys) {
    const fs::path directory = freshDirectory("idle");
    const fs::path link = directory / "COM4";
    DevsimProcess devsim(directory, {"--device", "link=" + link.string(), "--idle-limit", "0.3"});
    EXPECT_EQ(devsim.waitForExit(5s), 0) << devsim.output();
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));

    DevsimProcess wrong(directory, {"--device", "link=" + link.string() + ",colour=red"});
    EXPECT_EQ(wrong.waitForExit(5s), 2);
    fs::remove_all(directory);
}
