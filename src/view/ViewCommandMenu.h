#pragma once
// The view's popup menu as an IContextMenu, for the hosts that act on the
// view's selection or background through GetItemObject (the command bar,
// the ribbon), and on items the folder is asked for with no view in
// between (the navigation pane, the address bar): its commands and
// canonical verbs run the view's own command code.
#include "shell/ComObject.h"
#include "view/ViewMenus.h"

#include <shellapi.h>
#include <shlobj.h>

#include <functional>
#include <vector>

class ViewCommandMenu final : public ComObject<ViewCommandMenu, IContextMenu> {
public:
    // Runs one view command (IDM_); its result is InvokeCommand's. `info`
    // is the caller's, for its window and CMIC_MASK_FLAG_NO_UI.
    using Runner = std::function<HRESULT(UINT command, const CMINVOKECOMMANDINFO& info)>;

    // `owner` is held while the menu lives; `menuId` and `context` are
    // those of the popup the list would show now; with `kept`, only those
    // commands of it are offered.
    ViewCommandMenu(IUnknown& owner, Runner run, UINT menuId, MenuContext context, std::vector<UINT> kept = {});

    static const QITAB* interfaces() noexcept;

    HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU menu, UINT position, UINT firstId, UINT lastId,
                                               UINT flags) noexcept override;
    HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* info) noexcept override;
    HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR offset, UINT type, UINT* reserved, CHAR* name,
                                               UINT room) noexcept override;

private:
    ~ViewCommandMenu() override = default;

    ComPtr<IUnknown> owner_;
    Runner run_;
    UINT menuId_;
    MenuContext context_;
    std::vector<UINT> kept_;
};

// The runner of a view's menu: the command goes to the view's window.
ViewCommandMenu::Runner commandsToWindow(HWND viewWindow);
