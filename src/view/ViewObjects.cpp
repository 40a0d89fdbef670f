#include "view/ViewObjects.h"

#include "view/NamespaceView.h"

namespace {

HRESULT createView(NamespaceFolder& folder, HWND, REFIID riid, void** object) {
    return makeComObject<NamespaceView>(folder)->QueryInterface(riid, object);
}

}  // namespace

void addViewObjects(FolderObjectMakers& makers) noexcept {
    makers.view = &createView;
}
