#include "transfer/TransferObjects.h"

#include "transfer/DeviceFileOperations.h"

void addTransferObjects(FolderObjectMakers& makers) noexcept {
    makers.renameFile = &renameFileOnDevice;
}
