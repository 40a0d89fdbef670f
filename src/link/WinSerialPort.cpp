#include "link/WinSerialPort.h"

#include <cstdio>
#include <memory>

#include "link/Pause.h"
#include "link/PortHolder.h"
#include "link/PortOpener.h"

namespace {
std::string deviceNameOf(std::int32_t portNumber) {
    char name[20];
    std::snprintf(name, sizeof name, "\\\\.\\COM%d", static_cast<int>(portNumber));
    return name;
}

constexpr std::uint32_t purgePauseMs = 50;
constexpr std::uint32_t settlePauseMs = 500;
}  // namespace

WinSerialPort::WinSerialPort(std::int32_t portNumber) : BasicSerialPort("WinSerialPort", deviceNameOf(portNumber)) {
    initializePort(portNumber, 19200, 0, 8, 0);
}

WinSerialPort::~WinSerialPort() {
    closeAndGiveBack();
}

void WinSerialPort::closeAndGiveBack() {
    handle_.reset();
    if (borrowed_) {
        borrowed_ = false;
        announcePortReturn();
    }
}

bool WinSerialPort::openDevice() {
    handle_.reset(::CreateFileA(deviceName().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    return handle_.valid();
}

void WinSerialPort::initializePort(std::int32_t portNumber, std::uint32_t baudRate, std::int32_t parity,
                                   std::uint8_t dataBits, std::int32_t stopBits) {
    borrowed_ = false;
    if (!openDevice() && ::GetLastError() == ERROR_ACCESS_DENIED) {
        if (!borrowPortFromHolder(portNumber, [this] { return openDevice(); })) throw errors().cannotOpen();
        borrowed_ = true;
    }
    // A port that does not exist is not refused here: reading its settings
    // fails below and reports it as an initialization error.
    try {
        configure(baudRate, parity, dataBits, stopBits);
    } catch (...) {
        // The destructor will not run: close here, then tell the holder
        // (if one was ever found) that it may take its port again.
        handle_.reset();
        borrowed_ = false;
        announcePortReturn();
        throw;
    }
}

void WinSerialPort::configure(std::uint32_t baudRate, std::int32_t parity, std::uint8_t dataBits,
                              std::int32_t stopBits) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle_.get(), &dcb)) throw errors().cannotReadSettings();

    dcb.BaudRate = baudRate;
    dcb.ByteSize = dataBits;
    static constexpr BYTE parities[] = {ODDPARITY, EVENPARITY, NOPARITY, MARKPARITY, SPACEPARITY};
    if (parity >= 0 && parity < 5) dcb.Parity = parities[parity];
    static constexpr BYTE stops[] = {ONESTOPBIT, TWOSTOPBITS, ONE5STOPBITS};
    if (stopBits >= 0 && stopBits < 3) dcb.StopBits = stops[stopBits];
    dcb.XonLim = 0;
    dcb.XoffLim = 0;
    dcb.fBinary = TRUE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = FALSE;
    if (!::SetCommState(handle_.get(), &dcb)) throw errors().cannotWriteSettings();

    COMMTIMEOUTS timeouts{};
    if (!::GetCommTimeouts(handle_.get(), &timeouts)) throw errors().cannotReadTimeouts();
    // A read waits 300 ms per requested byte plus one second at the most.
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 300;
    timeouts.ReadTotalTimeoutConstant = 1000;
    timeouts.WriteTotalTimeoutMultiplier = 10;
    timeouts.WriteTotalTimeoutConstant = 10;
    if (!::SetCommTimeouts(handle_.get(), &timeouts)) throw errors().cannotWriteSettings();

    purgeBuffers();
    pauseFor(settlePauseMs);
}

void WinSerialPort::purgeBuffers() {
    if (!handle_) return;
    pauseFor(purgePauseMs);
    ::PurgeComm(handle_.get(), PURGE_TXCLEAR | PURGE_RXCLEAR);
}

void WinSerialPort::writeBuffer(const std::uint8_t* bytes, std::uint32_t count) {
    DWORD written = 0;
    if (!::WriteFile(handle_.get(), bytes, count, &written, nullptr)) throw errors().cannotWrite();
}

std::uint32_t WinSerialPort::readOnce(std::uint8_t* bytes, std::uint32_t count, bool* callFailed) {
    DWORD got = 0;
    const BOOL ok = ::ReadFile(handle_.get(), bytes, count, &got, nullptr);
    *callFailed = !ok;
    return ok ? got : 0;
}

std::uint32_t WinSerialPort::takeLineErrors() {
    DWORD errorWord = 0;
    COMSTAT status{};
    return ::ClearCommError(handle_.get(), &errorWord, &status) ? errorWord : 0;
}

std::unique_ptr<SerialPort> openPlatformPort(int portNumber) {
    return std::make_unique<WinSerialPort>(portNumber);
}
