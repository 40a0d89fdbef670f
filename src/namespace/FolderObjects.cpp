#include "namespace/FolderObjects.h"

namespace {

FolderObjectMakers& installedMakers() noexcept {
    static FolderObjectMakers makers;
    return makers;
}

}  // namespace

void setFolderObjectMakers(const FolderObjectMakers& makers) noexcept {
    installedMakers() = makers;
}

const FolderObjectMakers& folderObjectMakers() noexcept {
    return installedMakers();
}
