#include "MountCommand.h"

// On Windows the devices are a folder of Explorer already.
void addMountCommand(const CommandMaker&, const GlobalOptions&, const std::function<void(int)>&) {}
