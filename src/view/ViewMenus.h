#pragma once
// The view's commands in the Explorer window's menu bar while it is active
// (merged into the browser's File, Edit, View and Help popups), the popup
// menus of the list, and the rule that enables and checks each command.
#include "resources/resource.h"
#include "shell/ShellResources.h"

#include <shlobj.h>

#include <string>
#include <string_view>
#include <vector>

// What the state of the commands depends on.
struct MenuContext {
    int selected = 0;             // selected list entries
    bool showsDevices = false;    // the folder lists devices
    UINT viewMode = FVM_DETAILS;  // FOLDERSETTINGS::ViewMode
    bool hideSystemFiles = true;
    bool canPaste = false;             // the clipboard holds something to paste
    int sortColumn = 0;                // the column the list is sorted by
    std::vector<std::string> columns;  // the list's column titles, naming the sort commands
};

// Enables, grays and checks the view's commands in `menu` and its popups;
// commands the menu lacks are left alone.
void setMenuStates(HMENU menu, const MenuContext& context);

// Copies the items of `source` into `target` from `position` on, leaving out
// a leading separator where it would double one or open the menu.
void insertMenuItems(HMENU target, HMENU source, int position);

// The popup for the list: the selected devices', the selected files', or
// the background's (with nothing selected, in either folder).
UINT contextMenuId(bool showsDevices, int selected) noexcept;

// Popup menu `menuId` loaded, its commands set by `context`; the popup
// itself is the first submenu of the result.
UniqueMenu loadContextMenu(UINT menuId, const MenuContext& context);

// Shows popup menu `menuId` at `screen`, its commands set by `context`; the
// chosen command arrives at `owner` as WM_COMMAND. Returns once it closed.
void trackContextMenu(HWND owner, UINT menuId, POINT screen, const MenuContext& context);

// Copies the items of `source`, submenus included, into `target` from
// `position` on, each command as `firstId` plus its offset from the first
// view command. Returns the largest offset copied plus one (0 for none).
UINT copyMenuWithOffset(HMENU target, UINT position, HMENU source, UINT firstId);

// The offset from the first view command of a command, and back.
constexpr UINT firstViewCommand = IDM_VIEW_LARGE_ICONS;

// The view command of a canonical verb ("open", "copy", "cut", "paste",
// "delete", "rename"), 0 for any other; and the verb of a command, empty
// when it has none.
UINT commandOfVerb(std::wstring_view verb) noexcept;
std::string_view verbOfCommand(UINT command) noexcept;

// The menu shared with the browser: built on each change of the activation
// state, with File and Edit only while the view has the focus.
class MergedMenus {
public:
    // The last state merged: SVUIA_DEACTIVATE (0), _ACTIVATE_NOFOCUS or _ACTIVATE_FOCUS.
    UINT state() const noexcept { return state_; }
    HMENU shared() const noexcept { return shared_.get(); }

    void merge(IShellBrowser& browser, HWND viewWindow, UINT state);
    void remove(IShellBrowser& browser);
    // Drops the shared menu without telling the browser (the view's window is going).
    void discard() noexcept { shared_.reset(); }

private:
    UINT state_ = SVUIA_DEACTIVATE;
    UniqueMenu shared_;
};
