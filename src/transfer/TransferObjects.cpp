#include "transfer/TransferObjects.h"

#include "transfer/DeviceFileOperations.h"
#include "transfer/FileDataObject.h"
#include "transfer/FolderDropTarget.h"

void addTransferObjects(FolderObjectMakers& makers) noexcept {
    makers.dataObject = &createFileDataObject;
    makers.dropTarget = &createFolderDropTarget;
    makers.renameFile = &renameFileOnDevice;
}
