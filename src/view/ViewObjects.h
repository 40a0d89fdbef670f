#pragma once
// What the view layer hands the folder: its shell view.
#include "namespace/FolderObjects.h"

void addViewObjects(FolderObjectMakers& makers) noexcept;
