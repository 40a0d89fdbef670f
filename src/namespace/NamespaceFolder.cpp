#include "namespace/NamespaceFolder.h"

#include "shell/NimbrelClassId.h"

NamespaceFolder::NamespaceFolder(bool isRoot) : isRoot_(isRoot) {}

NamespaceFolder::~NamespaceFolder() = default;

const QITAB* NamespaceFolder::interfaces() noexcept
{
    static const QITAB table[] = {
        QITABENT(NamespaceFolder, IShellFolder),
        QITABENT(NamespaceFolder, IPersistFolder),
        QITABENTMULTI(NamespaceFolder, IPersist, IPersistFolder),
        {},
    };
    return table;
}

HRESULT NamespaceFolder::ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, PIDLIST_RELATIVE* idList, ULONG*) noexcept
{
    if (idList) {
        *idList = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT NamespaceFolder::EnumObjects(HWND, SHCONTF, IEnumIDList** enumerator) noexcept
{
    if (enumerator) {
        *enumerator = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT NamespaceFolder::BindToObject(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void** object) noexcept
{
    if (object) {
        *object = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT NamespaceFolder::BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void** object) noexcept
{
    if (object) {
        *object = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT NamespaceFolder::CompareIDs(LPARAM, PCUIDLIST_RELATIVE, PCUIDLIST_RELATIVE) noexcept
{
    return E_NOTIMPL;
}

HRESULT NamespaceFolder::CreateViewObject(HWND, REFIID, void** object) noexcept
{
    if (object) {
        *object = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT NamespaceFolder::GetAttributesOf(UINT, PCUITEMID_CHILD_ARRAY, SFGAOF*) noexcept
{
    return E_NOTIMPL;
}

HRESULT NamespaceFolder::GetUIObjectOf(HWND, UINT, PCUITEMID_CHILD_ARRAY, REFIID, UINT*, void** object) noexcept
{
    if (object) {
        *object = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT NamespaceFolder::GetDisplayNameOf(PCUITEMID_CHILD, SHGDNF, STRRET*) noexcept
{
    return E_NOTIMPL;
}

HRESULT NamespaceFolder::SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF, PITEMID_CHILD* newItem) noexcept
{
    if (newItem) {
        *newItem = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT NamespaceFolder::GetClassID(CLSID* classId) noexcept
{
    if (!classId) {
        return E_POINTER;
    }
    *classId = CLSID_NimbrelFolder;
    return S_OK;
}

HRESULT NamespaceFolder::Initialize(PCIDLIST_ABSOLUTE idList) noexcept
{
    // The shell keeps its own list; ours is a copy that lives with us.
    PIDLIST_ABSOLUTE copy = nullptr;
    if (idList) {
        copy = ILCloneFull(idList);
        if (!copy) {
            return E_OUTOFMEMORY;
        }
    }
    idList_.reset(copy);
    return S_OK;
}
