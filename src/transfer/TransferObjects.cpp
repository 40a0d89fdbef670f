#include "transfer/TransferObjects.h"

#include "transfer/DeviceFileOperations.h"
#include "transfer/FileDataObject.h"

void addTransferObjects(FolderObjectMakers& makers) noexcept {
    makers.dataObject = &createFileDataObject;
    makers.renameFile = &renameFileOnDevice;
}
