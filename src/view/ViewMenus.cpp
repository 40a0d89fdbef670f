#include "view/ViewMenus.h"

#include "resources/resource.h"
#include "shell/ModuleState.h"
#include "view/ViewModes.h"

#include <algorithm>
#include <cctype>

namespace {

// The browser's popups and the popups of menu 105 that go into them.
struct MergedPopup {
    UINT browserPopup;
    int ours;
    bool focusOnly;  // only while the view has the focus
};
constexpr MergedPopup mergedPopups[] = {
    {FCIDM_MENU_FILE, 0, true},
    {FCIDM_MENU_EDIT, 1, true},
    {FCIDM_MENU_VIEW, 2, false},
    {FCIDM_MENU_HELP, 3, false},
};

// Room for an item's text, its terminator not counted.
constexpr UINT itemTextRoom = 256;

UniqueMenu loadMenu(UINT id) {
    return UniqueMenu(LoadMenuA(moduleState().resourceModule(), MAKEINTRESOURCEA(id)));
}

bool isSeparator(HMENU menu, int position) {
    MENUITEMINFOA item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE;
    return GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &item) && (item.fType & MFT_SEPARATOR);
}

HMENU popupByCommand(HMENU menu, UINT command) {
    MENUITEMINFOA item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_SUBMENU;
    return GetMenuItemInfoA(menu, command, FALSE, &item) ? item.hSubMenu : nullptr;
}

}  // namespace

void setMenuStates(HMENU menu, const MenuContext& context) {
    const int n = context.selected;
    const bool dev = context.showsDevices;
    const auto enable = [menu](UINT command, bool enabled) {
        EnableMenuItem(menu, command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    };
    enable(IDM_OPEN_DEVICE, n == 1 && dev);
    enable(IDM_RENAME, n == 1);
    for (UINT command : {IDM_DELETE, IDM_CUT, IDM_COPY}) enable(command, !dev && n > 0);
    enable(IDM_PASTE, context.canPaste && !dev);
    CheckMenuRadioItem(menu, IDM_VIEW_LARGE_ICONS, IDM_VIEW_DETAILS, viewModeOf(context.viewMode).command,
                       MF_BYCOMMAND);
    // The sort commands carry the titles of the columns they sort by.
    for (std::size_t column = 0; column < context.columns.size() && column < 3; ++column) {
        const UINT id = IDM_SORT_FIRST + static_cast<UINT>(column);
        const std::string text = "&" + context.columns[column];
        ModifyMenuA(menu, id, MF_BYCOMMAND | MF_STRING, id, text.c_str());
    }
    CheckMenuRadioItem(menu, IDM_SORT_FIRST, IDM_SORT_THIRD,
                       IDM_SORT_FIRST + static_cast<UINT>(std::clamp(context.sortColumn, 0, 2)), MF_BYCOMMAND);
    enable(IDM_HIDE_SYSTEM_FILES, !dev);
    if (!dev) {
        CheckMenuItem(menu, IDM_HIDE_SYSTEM_FILES,
                      MF_BYCOMMAND | (context.hideSystemFiles ? MF_CHECKED : MF_UNCHECKED));
    }
}

void insertMenuItems(HMENU target, HMENU source, int position) {
    const int count = GetMenuItemCount(source);
    int index = 0;
    if (count > 0 && isSeparator(source, 0) && (position == 0 || isSeparator(target, position - 1))) {
        index = 1;
    }
    for (; index < count; ++index) {
        char text[itemTextRoom + 1] = {};
        MENUITEMINFOA item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = itemTextRoom;
        if (!GetMenuItemInfoA(source, static_cast<UINT>(index), TRUE, &item)) {
            continue;
        }
        MENUITEMINFOA copy{};
        copy.cbSize = sizeof copy;
        if (item.fType & MFT_SEPARATOR) {
            copy.fMask = MIIM_FTYPE;
            copy.fType = MFT_SEPARATOR;
        } else if (text[0] != '\0') {
            copy.fMask = MIIM_STATE | MIIM_ID | MIIM_STRING;
            copy.fState = item.fState;
            copy.wID = item.wID;
            copy.dwTypeData = text;
        } else {
            continue;
        }
        InsertMenuItemA(target, static_cast<UINT>(position), TRUE, &copy);
        ++position;
    }
}

UINT contextMenuId(bool showsDevices, int selected) noexcept {
    if (selected == 0) {
        return IDM_BACKGROUND_POPUP;
    }
    return showsDevices ? IDM_DEVICE_POPUP : IDM_FILE_POPUP;
}

UniqueMenu loadContextMenu(UINT menuId, const MenuContext& context) {
    UniqueMenu loaded = loadMenu(menuId);
    if (const HMENU popup = GetSubMenu(loaded.get(), 0)) {
        setMenuStates(popup, context);
    }
    return loaded;
}

void trackContextMenu(HWND owner, UINT menuId, POINT screen, const MenuContext& context) {
    const UniqueMenu loaded = loadContextMenu(menuId, context);
    const HMENU popup = GetSubMenu(loaded.get(), 0);
    if (!popup) {
        return;
    }
    SetForegroundWindow(owner);
    TrackPopupMenu(popup, TPM_LEFTALIGN, screen.x, screen.y, 0, owner, nullptr);
}

UINT copyMenuWithOffset(HMENU target, UINT position, HMENU source, UINT firstId) {
    UINT end = 0;
    for (int index = 0, count = GetMenuItemCount(source); index < count; ++index, ++position) {
        char text[itemTextRoom + 1] = {};
        MENUITEMINFOA item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
        item.dwTypeData = text;
        item.cch = itemTextRoom;
        if (!GetMenuItemInfoA(source, static_cast<UINT>(index), TRUE, &item)) {
            continue;
        }
        if (item.hSubMenu) {
            const HMENU copy = CreatePopupMenu();
            end = std::max(end, copyMenuWithOffset(copy, 0, item.hSubMenu, firstId));
            item.hSubMenu = copy;
        } else if (!(item.fType & MFT_SEPARATOR)) {
            const UINT offset = item.wID - firstViewCommand;
            end = std::max(end, offset + 1);
            item.wID = firstId + offset;
        }
        InsertMenuItemA(target, position, TRUE, &item);
    }
    return end;
}

namespace {

struct Verb {
    std::string_view verb;
    UINT command;
};
constexpr Verb verbs[] = {
    {"open", IDM_OPEN_DEVICE}, {"copy", IDM_COPY},     {"cut", IDM_CUT},
    {"paste", IDM_PASTE},      {"delete", IDM_DELETE}, {"rename", IDM_RENAME},
};

}  // namespace

UINT commandOfVerb(std::wstring_view verb) noexcept {
    for (const Verb& row : verbs) {
        // Verbs are compared as the shell compares them: without regard to case.
        if (std::ranges::equal(row.verb, verb, [](char ours, wchar_t theirs) {
                return theirs < 0x80 && ours == std::tolower(static_cast<unsigned char>(theirs));
            })) {
            return row.command;
        }
    }
    return 0;
}

std::string_view verbOfCommand(UINT command) noexcept {
    for (const Verb& row : verbs) {
        if (row.command == command) {
            return row.verb;
        }
    }
    return {};
}

void MergedMenus::merge(IShellBrowser& browser, HWND viewWindow, UINT state) {
    if (state == state_) {
        return;
    }
    remove(browser);
    if (state != SVUIA_DEACTIVATE && !shared_) {
        const UniqueMenu ours = loadMenu(IDM_MERGED);
        shared_.reset(CreateMenu());
        OLEMENUGROUPWIDTHS widths{};
        // Browsers that keep their menus to themselves (E_NOTIMPL) leave the shared menu empty.
        browser.InsertMenusSB(shared_.get(), &widths);
        for (const MergedPopup& popup : mergedPopups) {
            if (popup.focusOnly && state != SVUIA_ACTIVATE_FOCUS) {
                continue;
            }
            const HMENU target = popupByCommand(shared_.get(), popup.browserPopup);
            const HMENU source = GetSubMenu(ours.get(), popup.ours);
            if (target && source) {
                insertMenuItems(target, source, 0);
            }
        }
        browser.SetMenuSB(shared_.get(), nullptr, viewWindow);
    }
    state_ = state;
}

void MergedMenus::remove(IShellBrowser& browser) {
    if (state_ == SVUIA_DEACTIVATE) {
        return;
    }
    if (shared_) {
        browser.SetMenuSB(nullptr, nullptr, nullptr);
        browser.RemoveMenusSB(shared_.get());
        shared_.reset();
    }
    state_ = SVUIA_DEACTIVATE;
}
