#pragma once
// The view's popup menu as an IContextMenu, for the hosts that act on the
// view's selection or background through GetItemObject (the command bar,
// the ribbon): its commands and canonical verbs run in the view exactly as
// the view's own menus run them.
#include "shell/ComObject.h"
#include "view/ViewMenus.h"

#include <shellapi.h>
#include <shlobj.h>

class ViewCommandMenu final : public ComObject<ViewCommandMenu, IContextMenu> {
public:
    // `view` is held so that `viewWindow` stays the view's; `menuId` and
    // `context` are those of the popup the list would show now.
    ViewCommandMenu(IUnknown& view, HWND viewWindow, UINT menuId, MenuContext context);

    static const QITAB* interfaces() noexcept;

    HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU menu, UINT position, UINT firstId, UINT lastId,
                                               UINT flags) noexcept override;
    HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* info) noexcept override;
    HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR offset, UINT type, UINT* reserved, CHAR* name,
                                               UINT room) noexcept override;

private:
    ~ViewCommandMenu() override = default;

    ComPtr<IUnknown> view_;
    HWND viewWindow_;
    UINT menuId_;
    MenuContext context_;
};
