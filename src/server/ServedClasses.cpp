#include "server/ServedClasses.h"

#include "folder/NamespaceFolder.h"
#include "shell/NimbrelClassId.h"

#include <shlobj.h>

namespace {

HRESULT createRootFolder(REFIID riid, void** object) {
    return makeComObject<NamespaceFolder>()->QueryInterface(riid, object);
}

const ServedClass classes[] = {
    {&CLSID_NimbrelFolder, nimbrelClassIdText, L"Nimbrel", L"Nimbrel", L"Apartment",
     SFGAO_HASSUBFOLDER | SFGAO_FOLDER | SFGAO_BROWSABLE, L"Delete Nimbrel", &createRootFolder},
};

}  // namespace

std::span<const ServedClass> servedClasses() noexcept {
    return classes;
}

const ServedClass* findServedClass(REFCLSID classId) noexcept {
    for (const ServedClass& served : classes) {
        if (IsEqualCLSID(*served.classId, classId)) {
            return &served;
        }
    }
    return nullptr;
}
