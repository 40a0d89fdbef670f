// Borrowing a port from a holder window played by the test: the resident
// device server ("Korvel_Server") or the sibling program ("LUMIDOT32").
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PortTestSupport.h"
#include "PtyPeer.h"
#include "WinPortTestSupport.h"
#include "link/PortHolder.h"
#include "link/WinSerialPort.h"

namespace {
// A top-level holder window on a thread of its own that answers the
// holder messages and records them: "query", "release", "giveback" for the
// resident server, "0x471" and "0x472" for the sibling program.
class TestHolder {
public:
    using Answer = std::function<LRESULT(const std::string& request)>;

    TestHolder(const char* className, const char* title, Answer answer, bool pumps = true)
        : className_(className), title_(title), answer_(std::move(answer)), pumps_(pumps),
          resume_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        std::unique_lock<std::mutex> lock(mutex_);
        thread_ = std::thread([this] { run(); });
        ready_.wait(lock, [this] { return started_; });
    }

    ~TestHolder() {
        ::SetEvent(resume_.get());
        if (window_) ::PostMessageA(window_, WM_CLOSE, 0, 0);
        thread_.join();
    }

    std::vector<std::string> requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<TestHolder*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
        static const UINT serverMessage = ::RegisterWindowMessageA("Korvel_Server");
        std::string request;
        if (message == serverMessage && wParam == 1 && lParam == 2) request = "query";
        else if (message == serverMessage && wParam == 100 && lParam == 1) request = "release";
        else if (message == serverMessage && wParam == 100 && lParam == 0) request = "giveback";
        else if (message == WM_USER + 113 && wParam == 0 && lParam == 0) request = "0x471";
        else if (message == WM_USER + 114 && wParam == 0 && lParam == 0) request = "0x472";
        else if (message == serverMessage) request = "unexpected " + std::to_string(wParam) + "/" + std::to_string(lParam);
        if (self != nullptr && !request.empty()) {
            {
                std::lock_guard<std::mutex> lock(self->mutex_);
                self->requests_.push_back(request);
            }
            return self->answer_(request);
        }
        if (message == WM_DESTROY) ::PostQuitMessage(0);
        return ::DefWindowProcA(window, message, wParam, lParam);
    }

    void run() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = windowProc;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.lpszClassName = className_;
        ::RegisterClassA(&windowClass);  // a second holder of the class finds it registered
        window_ = ::CreateWindowExA(0, className_, title_, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                    windowClass.hInstance, nullptr);
        ::SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            started_ = true;
        }
        ready_.notify_all();
        // A hung holder does not look at its messages until the test ends.
        if (!pumps_) ::WaitForSingleObject(resume_.get(), INFINITE);
        MSG message;
        while (::GetMessageA(&message, nullptr, 0, 0) > 0) ::DispatchMessageA(&message);
    }

    const char* className_;
    const char* title_;
    Answer answer_;
    bool pumps_;
    UniqueKernelHandle resume_;
    HWND window_ = nullptr;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable ready_;
    bool started_ = false;
    std::vector<std::string> requests_;
};

class PortHolderTest : public ::testing::Test {
protected:
    HolderTestLock lock;
    TempDir dir;
};

std::string cannotOpen(int port) {
    return "WinSerialPort::initializePort --  Port \"\\\\.\\COM" + std::to_string(port) + "\" can't be opened.";
}
}  // namespace

TEST_F(PortHolderTest, ResidentServerLendsItsPortAndGetsItBackOnceAfterTheClose) {
    PtyPeer peer(dir, dir.file("pty"));
    pointLink(comLink(25), dir.path());  // held: the open is refused
    TestHolder holder("Korvel_Server", "Korvel Server", [&](const std::string& request) -> LRESULT {
        if (request == "release") pointLink(comLink(25), dir.file("pty"));  // lets go of the port
        return request == "query" ? 25 : 0;
    });
    RecordedPauses pauses;
    {
        WinSerialPort port(25);
        EXPECT_TRUE(port.borrowed());
        EXPECT_EQ(holder.requests(), (std::vector<std::string>{"query", "release"}));
        EXPECT_EQ(pauses.taken(), (std::vector<std::uint32_t>{750, 50, 500}));
        port.writeByte(0x42);
        EXPECT_EQ(peer.capturedAtLeast(1), bytesOf({0x42})) << "the borrowed port reaches the device";
    }
    EXPECT_EQ(holder.requests(), (std::vector<std::string>{"query", "release", "giveback"}))
        << "the port goes back exactly once";
}

TEST_F(PortHolderTest, SiblingProgramSaysItsPortInBits8To15) {
    PtyPeer peer(dir, dir.file("pty"));
    pointLink(comLink(26), dir.path());
    LRESULT queryAnswer = 0x0300;
    TestHolder holder("LUMIDOT32", "LUMIDOT32", [&](const std::string& request) -> LRESULT {
        if (request == "0x471") pointLink(comLink(26), dir.file("pty"));
        return request == "0x472" ? queryAnswer : 0;
    });
    ASSERT_TRUE(findPortHolder());
    EXPECT_EQ(portHolderState().kind, 1);
    EXPECT_EQ(queryHolderPort(), 3) << "0x0300 means COM3";

    queryAnswer = 0x1A07;  // COM26; the low byte means nothing
    RecordedPauses pauses;
    {
        WinSerialPort port(26);
        EXPECT_TRUE(port.borrowed());
    }
    EXPECT_EQ(holder.requests(), (std::vector<std::string>{"0x472", "0x472", "0x471", "0x472"}))
        << "the test's query, then query, release and the give-back notice";
}

TEST_F(PortHolderTest, HolderOfAnotherPortIsNotAskedToLetGo) {
    pointLink(comLink(27), dir.path());
    TestHolder holder("Korvel_Server", "Korvel Server",
                      [](const std::string& request) -> LRESULT { return request == "query" ? 5 : 0; });
    RecordedPauses pauses;
    EXPECT_EQ(std::string(raisedBy<PortExceptions::UnableToOpenPort>([] { WinSerialPort port(27); }).description),
              cannotOpen(27));
    EXPECT_EQ(holder.requests(), (std::vector<std::string>{"query"}));
    EXPECT_TRUE(pauses.taken().empty());
}

TEST_F(PortHolderTest, HolderThatNeverLetsGoIsAskedTenTimes) {
    pointLink(comLink(28), dir.path());
    // An answer of 0 counts as the port asked for.
    TestHolder holder("Korvel_Server", "Korvel Server", [](const std::string&) -> LRESULT { return 0; });
    RecordedPauses pauses;
    EXPECT_EQ(std::string(raisedBy<PortExceptions::UnableToOpenPort>([] { WinSerialPort port(28); }).description),
              cannotOpen(28));
    std::vector<std::string> expected{"query"};
    for (int attempt = 0; attempt < 10; ++attempt) {
        expected.push_back("release");
        expected.push_back("giveback");
    }
    EXPECT_EQ(holder.requests(), expected);
    EXPECT_EQ(pauses.taken(), std::vector<std::uint32_t>(20, 750)) << "750 ms before each try and after each failure";
}

TEST_F(PortHolderTest, FindPrefersTheResidentServerAndKeepsTheKindWhenNothingIsFound) {
    {
        TestHolder sibling("LUMIDOT32", "LUMIDOT32", [](const std::string&) -> LRESULT { return 0; });
        ASSERT_TRUE(findPortHolder());
        EXPECT_EQ(portHolderState().kind, 1);
        {
            TestHolder server("Korvel_Server", "Korvel Server", [](const std::string&) -> LRESULT { return 0; });
            ASSERT_TRUE(findPortHolder());
            EXPECT_EQ(portHolderState().kind, 0) << "with both present the resident server is chosen";
            EXPECT_EQ(portHolderState().serverMessage, ::RegisterWindowMessageA("Korvel_Server"));
        }
        ASSERT_TRUE(findPortHolder());
        EXPECT_EQ(portHolderState().kind, 1);
    }
    EXPECT_FALSE(findPortHolder());
    EXPECT_EQ(portHolderState().window, 0u);
    EXPECT_EQ(portHolderState().kind, 1) << "a search that finds nothing leaves the kind";
}

TEST_F(PortHolderTest, HungHolderCostsOneTimedOutQueryAndNoRelease) {
    pointLink(comLink(29), dir.path());
    TestHolder holder("Korvel_Server", "Korvel Server", [](const std::string&) -> LRESULT { return 29; }, false);
    RecordedPauses pauses;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(raisedBy<PortExceptions::UnableToOpenPort>([] { WinSerialPort port(29); }).code, 10);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << "a hung holder cost " << seconds << " s\n";
    EXPECT_TRUE(pauses.taken().empty());
}
