#pragma once
// What the transfer layer hands the folder: the data object of selected
// files, the drop targets and the file rename.
#include "namespace/FolderObjects.h"

void addTransferObjects(FolderObjectMakers& makers) noexcept;
