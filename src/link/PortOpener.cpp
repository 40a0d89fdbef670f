#include "link/PortOpener.h"

namespace {
PortOpener& installedOpener() {
    static PortOpener opener;
    return opener;
}
}  // namespace

std::unique_ptr<SerialPort> openSerialPort(int portNumber) {
    if (const PortOpener& opener = installedOpener()) return opener(portNumber);
    return openPlatformPort(portNumber);
}

PortOpener setPortOpener(PortOpener opener) {
    PortOpener previous = std::move(installedOpener());
    installedOpener() = std::move(opener);
    return previous;
}
