#pragma once
// The view's list control as a typed handle: each method sends one list
// message with the right types, so the view reads as intent rather than as
// casts. The control itself belongs to its parent window.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

class ListView {
public:
    ListView() = default;
    explicit ListView(HWND window) noexcept : window_(window) {}

    HWND handle() const noexcept { return window_; }
    explicit operator bool() const noexcept { return window_ != nullptr; }

    int itemCount() const noexcept { return static_cast<int>(send(LVM_GETITEMCOUNT)); }
    int selectedCount() const noexcept { return static_cast<int>(send(LVM_GETSELECTEDCOUNT)); }
    int selectionMark() const noexcept { return static_cast<int>(send(LVM_GETSELECTIONMARK)); }
    void setSelectionMark(int item) const noexcept { send(LVM_SETSELECTIONMARK, 0, item); }
    void ensureVisible(int item) const noexcept { send(LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), FALSE); }
    // The title of a column; empty past the last.
    std::string columnTitle(int column) const {
        char text[100] = {};
        LVCOLUMNA description{};
        description.mask = LVCF_TEXT;
        description.pszText = text;
        description.cchTextMax = sizeof text;
        return send(LVM_GETCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&description)) ? text : "";
    }
    // The next entry after `start` (-1: from the first) with the LVNI_ flags; -1 when none.
    int nextItem(int start, UINT flags) const noexcept {
        return static_cast<int>(send(LVM_GETNEXTITEM, static_cast<WPARAM>(start), MAKELPARAM(flags, 0)));
    }
    // The selected entries in list order.
    std::vector<int> selectedItems() const {
        std::vector<int> items;
        for (int item = nextItem(-1, LVNI_SELECTED); item != -1; item = nextItem(item, LVNI_SELECTED)) {
            items.push_back(item);
        }
        return items;
    }

    LPARAM itemData(int item) const noexcept {
        LVITEMA entry{};
        entry.mask = LVIF_PARAM;
        entry.iItem = item;
        return send(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&entry)) ? entry.lParam : 0;
    }
    void setItemData(int item, LPARAM data) const noexcept {
        LVITEMA entry{};
        entry.mask = LVIF_PARAM;
        entry.iItem = item;
        entry.lParam = data;
        send(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&entry));
    }
    UINT itemState(int item, UINT mask) const noexcept {
        return static_cast<UINT>(send(LVM_GETITEMSTATE, static_cast<WPARAM>(item), mask));
    }
    // Item -1 sets the state of every entry.
    void setItemState(int item, UINT state, UINT mask) const noexcept {
        LVITEMA entry{};
        entry.state = state;
        entry.stateMask = mask;
        send(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&entry));
    }
    int insertItem(const LVITEMA& entry) const noexcept {
        return static_cast<int>(send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&entry)));
    }
    void deleteAllItems() const noexcept { send(LVM_DELETEALLITEMS); }
    HWND editLabel(int item) const noexcept { return reinterpret_cast<HWND>(send(LVM_EDITLABELA, item)); }
    HWND editControl() const noexcept { return reinterpret_cast<HWND>(send(LVM_GETEDITCONTROL)); }
    // The rectangle of one part of an entry (LVIR_ICON...), in list coordinates.
    RECT itemRect(int item, int part) const noexcept {
        RECT rect{};
        rect.left = part;
        send(LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&rect));
        return rect;
    }
    void sortItems(PFNLVCOMPARE compare, LPARAM parameter) const noexcept {
        send(LVM_SORTITEMS, static_cast<WPARAM>(parameter), reinterpret_cast<LPARAM>(compare));
    }
    void setImageList(HIMAGELIST images, int which) const noexcept {
        send(LVM_SETIMAGELIST, static_cast<WPARAM>(which), reinterpret_cast<LPARAM>(images));
    }
    void setRedraw(bool redraw) const noexcept { send(WM_SETREDRAW, redraw ? TRUE : FALSE); }

private:
    LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const noexcept {
        return SendMessageA(window_, message, wParam, lParam);
    }

    HWND window_ = nullptr;
};
