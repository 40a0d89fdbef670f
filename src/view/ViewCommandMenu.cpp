#include "view/ViewCommandMenu.h"

#include "shell/TextFormat.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// The offsets past the last view command are not ours.
constexpr UINT commandRange = IDM_SORT_THIRD - firstViewCommand + 1;

// Leaves in `popup` only the commands in `kept`: no submenus, no separators.
void keepOnly(HMENU popup, const std::vector<UINT>& kept) {
    for (int at = GetMenuItemCount(popup) - 1; at >= 0; --at) {
        if (std::find(kept.begin(), kept.end(), GetMenuItemID(popup, at)) == kept.end()) {
            DeleteMenu(popup, static_cast<UINT>(at), MF_BYPOSITION);
        }
    }
}

}  // namespace

ViewCommandMenu::ViewCommandMenu(IUnknown& owner, Runner run, UINT menuId, MenuContext context, std::vector<UINT> kept)
    : owner_(&owner), run_(std::move(run)), menuId_(menuId), context_(std::move(context)), kept_(std::move(kept)) {}

ViewCommandMenu::Runner commandsToWindow(HWND viewWindow) {
    return [viewWindow](UINT command, const CMINVOKECOMMANDINFO&) -> HRESULT {
        if (!IsWindow(viewWindow)) {
            return E_FAIL;
        }
        SendMessageW(viewWindow, WM_COMMAND, command, 0);
        return S_OK;
    };
}

const QITAB* ViewCommandMenu::interfaces() noexcept {
    static const QITAB table[] = {interfaceEntry<ViewCommandMenu, IContextMenu>(), {}};
    return table;
}

HRESULT ViewCommandMenu::QueryContextMenu(HMENU menu, UINT position, UINT firstId, UINT lastId, UINT flags) noexcept {
    return comBoundary([&] {
        UINT added = 0;
        if (lastId < firstId || lastId - firstId < commandRange) {
            return MAKE_HRESULT(SEVERITY_SUCCESS, 0, added);
        }
        const UniqueMenu loaded = loadContextMenu(menuId_, context_);
        const HMENU popup = GetSubMenu(loaded.get(), 0);
        // Opening a device is what a double click does: the default, and all
        // a host asking for the default alone gets.
        const bool opens = popup && GetMenuState(popup, IDM_OPEN_DEVICE, MF_BYCOMMAND) != static_cast<UINT>(-1);
        if (popup && (flags & CMF_DEFAULTONLY)) {
            keepOnly(popup, {IDM_OPEN_DEVICE});
        } else if (popup && !kept_.empty()) {
            keepOnly(popup, kept_);
        }
        if (popup && GetMenuItemCount(popup) > 0) {
            added = copyMenuWithOffset(menu, position, popup, firstId);
        }
        if (opens) {
            SetMenuDefaultItem(menu, firstId + IDM_OPEN_DEVICE - firstViewCommand, FALSE);
        }
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, added);
    });
}

HRESULT ViewCommandMenu::InvokeCommand(CMINVOKECOMMANDINFO* info) noexcept {
    if (!info) {
        return E_INVALIDARG;
    }
    return comBoundary([&]() -> HRESULT {
        UINT command = 0;
        if (IS_INTRESOURCE(info->lpVerb)) {
            const UINT offset = LOWORD(reinterpret_cast<UINT_PTR>(info->lpVerb));
            command = offset < commandRange ? firstViewCommand + offset : 0;
        } else {
            const auto* extended = reinterpret_cast<const CMINVOKECOMMANDINFOEX*>(info);
            const bool wide = info->cbSize >= sizeof(CMINVOKECOMMANDINFOEX) && (info->fMask & CMIC_MASK_UNICODE) &&
                              extended->lpVerbW && !IS_INTRESOURCE(extended->lpVerbW);
            command = commandOfVerb(wide ? std::wstring(extended->lpVerbW) : widen(info->lpVerb));
        }
        if (command == 0) {
            return E_INVALIDARG;
        }
        return run_(command, *info);
    });
}

HRESULT ViewCommandMenu::GetCommandString(UINT_PTR offset, UINT type, UINT*, CHAR* name, UINT room) noexcept {
    const std::string_view verb = offset < commandRange ? verbOfCommand(firstViewCommand + offset) : "";
    switch (type) {
        case GCS_VALIDATEA:
        case GCS_VALIDATEW:
            return verb.empty() ? S_FALSE : S_OK;
        case GCS_VERBA:
        case GCS_VERBW:
            if (verb.empty()) {
                return E_INVALIDARG;
            }
            if (!name || room <= verb.size()) {
                return E_POINTER;
            }
            for (std::size_t i = 0; i <= verb.size(); ++i) {
                const char letter = i < verb.size() ? verb[i] : '\0';
                if (type == GCS_VERBW) {
                    reinterpret_cast<wchar_t*>(name)[i] = static_cast<wchar_t>(letter);
                } else {
                    name[i] = letter;
                }
            }
            return S_OK;
    }
    return E_NOTIMPL;
}
