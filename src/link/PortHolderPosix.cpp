// No resident device server or sibling program runs on POSIX systems:
// there is never a holder to borrow a port from.
#include "link/PortHolder.h"

bool findPortHolder() {
    return false;
}
int queryHolderPort() {
    return -1;
}
void requestPortRelease() {}
void announcePortReturn() {}
PortHolderState portHolderState() {
    return {};
}
