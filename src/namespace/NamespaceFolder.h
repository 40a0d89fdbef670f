#pragma once
// The shell folder of the namespace: the root (devices, or the files of the
// one connected device) and each device folder. The COM plumbing stands;
// browsing is added method by method.
#include "shell/ComObject.h"
#include "shell/ShellResources.h"

#include <shlobj.h>

class NamespaceFolder final : public ComObject<NamespaceFolder, IShellFolder, IPersistFolder> {
public:
    explicit NamespaceFolder(bool isRoot);

    static const QITAB* interfaces() noexcept;

    bool isRoot() const noexcept { return isRoot_; }
    // The absolute identifier list the shell gave in Initialize, or null.
    PCIDLIST_ABSOLUTE idList() const noexcept { return idList_.get(); }

    // IShellFolder
    HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND window, IBindCtx* bindContext, LPWSTR displayName, ULONG* eaten,
                                               PIDLIST_RELATIVE* idList, ULONG* attributes) noexcept override;
    HRESULT STDMETHODCALLTYPE EnumObjects(HWND window, SHCONTF flags, IEnumIDList** enumerator) noexcept override;
    HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE idList, IBindCtx* bindContext, REFIID riid,
                                           void** object) noexcept override;
    HRESULT STDMETHODCALLTYPE BindToStorage(PCUIDLIST_RELATIVE idList, IBindCtx* bindContext, REFIID riid,
                                            void** object) noexcept override;
    HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM column, PCUIDLIST_RELATIVE first,
                                         PCUIDLIST_RELATIVE second) noexcept override;
    HRESULT STDMETHODCALLTYPE CreateViewObject(HWND owner, REFIID riid, void** object) noexcept override;
    HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT count, PCUITEMID_CHILD_ARRAY items,
                                              SFGAOF* attributes) noexcept override;
    HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND owner, UINT count, PCUITEMID_CHILD_ARRAY items, REFIID riid,
                                            UINT* reserved, void** object) noexcept override;
    HRESULT STDMETHODCALLTYPE GetDisplayNameOf(PCUITEMID_CHILD item, SHGDNF flags, STRRET* name) noexcept override;
    HRESULT STDMETHODCALLTYPE SetNameOf(HWND window, PCUITEMID_CHILD item, LPCWSTR name, SHGDNF flags,
                                        PITEMID_CHILD* newItem) noexcept override;

    // IPersist
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) noexcept override;

    // IPersistFolder
    HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE idList) noexcept override;

private:
    ~NamespaceFolder() override;

    bool isRoot_;
    UniqueIdList idList_;
};
