// Borrowing a port from a holder window played by the test: the resident
// device server ("Korvel_Server") or the sibling program ("LUMIDOT32").
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LinkTestSupport.h"
#include "link/PortHolder.h"
#include "link/WinHandle.h"
#include "link/WinSerialPort.h"

namespace {
// A top-level holder window on a thread of its own that answers the
// holder messages and records them: "query", "release", "giveback" for the
// resident server, "0x471" and "0x472" for the sibling program. It answers
// a query with `queryAnswer` and a release request by calling `release`. A
// holder that does not pump looks at no message until the test ends (a hung one).
class TestHolder {
public:
    TestHolder(bool server, LRESULT queryAnswer, std::function<void()> release = {}, bool pumps = true)
        : queryAnswer_(queryAnswer), release_(std::move(release)) {
        thread_ = std::thread([this, server, pumps] {
            WNDCLASSA windowClass{};
            windowClass.lpfnWndProc = windowProc;
            windowClass.hInstance = ::GetModuleHandleA(nullptr);
            windowClass.lpszClassName = server ? "Korvel_Server" : "LUMIDOT32";
            ::RegisterClassA(&windowClass);  // a second holder of the class finds it registered
            window_ = ::CreateWindowExA(0, windowClass.lpszClassName, server ? "Korvel Server" : "LUMIDOT32",
                                        WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, windowClass.hInstance,
                                        nullptr);
            ::SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            ::SetEvent(ready_.get());
            if (!pumps) ::WaitForSingleObject(resume_.get(), INFINITE);
            MSG message;
            while (::GetMessageA(&message, nullptr, 0, 0) > 0) ::DispatchMessageA(&message);
        });
        ::WaitForSingleObject(ready_.get(), INFINITE);
    }

    ~TestHolder() {
        ::SetEvent(resume_.get());
        ::PostMessageA(window_, WM_CLOSE, 0, 0);
        thread_.join();
    }

    std::vector<std::string> requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<TestHolder*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
        static const UINT server = ::RegisterWindowMessageA("Korvel_Server");
        std::string request;
        if (message == server && wParam == 1 && lParam == 2)
            request = "query";
        else if (message == server && wParam == 100 && lParam == 1)
            request = "release";
        else if (message == server && wParam == 100 && lParam == 0)
            request = "giveback";
        else if (message == WM_USER + 113 && wParam == 0 && lParam == 0)
            request = "0x471";
        else if (message == WM_USER + 114 && wParam == 0 && lParam == 0)
            request = "0x472";
        else if (message == server)
            request = "unexpected " + std::to_string(wParam) + "/" + std::to_string(lParam);
        if (self != nullptr && !request.empty()) {
            {
                std::lock_guard<std::mutex> lock(self->mutex_);
                self->requests_.push_back(request);
            }
            if ((request == "release" || request == "0x471") && self->release_) self->release_();
            return request == "query" || request == "0x472" ? self->queryAnswer_ : 0;
        }
        if (message == WM_DESTROY) ::PostQuitMessage(0);
        return ::DefWindowProcA(window, message, wParam, lParam);
    }

    LRESULT queryAnswer_;
    std::function<void()> release_;
    UniqueKernelHandle resume_{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    UniqueKernelHandle ready_{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    HWND window_ = nullptr;
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

class PortHolderTest : public ::testing::Test {
protected:
    TempDir dir;
};

std::string cannotOpen(int port) {
    return "UnableToOpenPort: WinSerialPort::initializePort --  Port \"\\\\.\\COM" + std::to_string(port) +
           "\" can't be opened.";
}
}  // namespace

TEST_F(PortHolderTest, HolderLendsItsPortAndGetsItBackOnceAfterTheClose) {
    const struct {
        bool server;
        int port;
        LRESULT queryAnswer;                // the sibling program says its port in bits 8 to 15
        std::vector<std::string> requests;  // query, release and, after the close, the give-back notice
    } cases[] = {{true, 25, 25, {"query", "release", "giveback"}}, {false, 26, 0x1A07, {"0x472", "0x471", "0x472"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE("holder on COM" + std::to_string(c.port));
        const auto device = startDevice(dir, dir.file("pty"));
        pointLink(comLink(c.port), dir.path());  // held: the open is refused
        TestHolder holder(c.server, c.queryAnswer, [&] { pointLink(comLink(c.port), dir.file("pty")); });  // lets go
        PauseLog pauses;
        {
            WinSerialPort port(c.port);
            EXPECT_TRUE(port.borrowed());
            EXPECT_EQ(holder.requests(), std::vector<std::string>(c.requests.begin(), c.requests.end() - 1));
            EXPECT_EQ(pauses.waits(), (std::vector<std::uint32_t>{750, 50, 500}));
            port.writeByte(0xFF);
            EXPECT_EQ(readHex(port, 2), "FE 72") << "the borrowed port reaches the device";
        }
        EXPECT_EQ(holder.requests(), c.requests) << "the port goes back exactly once";
    }
}

TEST_F(PortHolderTest, HolderOfAnotherPortIsNotAskedHolderThatNeverLetsGoIsAskedTenTimesAndAHungOneCostsOneQuery) {
    std::vector<std::string> tenTries{"query"};
    for (int attempt = 0; attempt < 10; ++attempt) tenTries.insert(tenTries.end(), {"release", "giveback"});
    const struct {
        int port;
        LRESULT queryAnswer;  // 0 counts as the port asked for
        bool pumps;
        std::vector<std::string> requests;
        std::vector<std::uint32_t> pauses;  // 750 ms before each try and after each failure
    } cases[] = {{27, 5, true, {"query"}, {}},
                 {28, 0, true, tenTries, std::vector<std::uint32_t>(20, 750)},
                 {29, 29, false, {}, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE("holder on COM" + std::to_string(c.port));
        pointLink(comLink(c.port), dir.path());
        TestHolder holder(true, c.queryAnswer, {}, c.pumps);
        PauseLog pauses;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(raisedBy([&] { WinSerialPort port(c.port); }), cannotOpen(c.port));
        std::cout << "COM" << c.port << ": refused after "
                  << std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() << " s\n";
        EXPECT_EQ(holder.requests(), c.requests);
        EXPECT_EQ(pauses.waits(), c.pauses);
    }
}

TEST_F(PortHolderTest, FindPrefersTheResidentServerAndWithoutAHolderARefusedOpenFailsAtOnce) {
    {
        TestHolder sibling(false, 0x0300);
        ASSERT_TRUE(findPortHolder());
        EXPECT_EQ(portHolderState().kind, 1);
        EXPECT_EQ(queryHolderPort(), 3) << "0x0300 means COM3";
        {
            TestHolder server(true, 0);
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

    pointLink(comLink(23), dir.path());  // Wine refuses a folder with "access denied"
    PauseLog pauses;
    EXPECT_EQ(raisedBy([] { WinSerialPort port(23); }), cannotOpen(23));
    EXPECT_TRUE(pauses.waits().empty()) << "no holder, no waiting";
    removeLink(comLink(23));
}
