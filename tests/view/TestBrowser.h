#pragma once
// A browser of our own for the view: a top-level window that hosts the view
// of a folder, navigates as BrowseObject asks (into a device, back to the
// parent), routes keys through the view's TranslateAccelerator as a browser
// does, and records what the view asks of it. Like Wine's Explorer it can
// also refuse menus, toolbar and status texts (E_NOTIMPL).
#include "namespace/ItemRecord.h"
#include "shell/ComObject.h"
#include "shell/ShellResources.h"

#include <shlobj.h>

#include <map>
#include <string>
#include <vector>

struct ControlMessage {
    UINT control, message;
    WPARAM wParam;
    LPARAM lParam;
};

class TestBrowser final : public ComObject<TestBrowser, IShellBrowser> {
public:
    explicit TestBrowser(bool frameCalls = true);
    static const QITAB* interfaces() noexcept;

    // Shows the view of `folder`, replacing the current one; activated with
    // the focus unless `activate` is false.
    HRESULT open(const ComPtr<IShellFolder>& folder, bool activate = true);
    void close();
    HWND window() const { return window_.get(); }
    IShellView* view() const { return view_.Get(); }
    HWND list() const;
    // Dispatches what is queued, keys through the view first.
    void pump();
    // A key on the focused window, with modifiers held, handled as a browser handles it.
    void press(UINT key, std::initializer_list<UINT> held = {});
    void type(const std::wstring& text);
    // The entries' texts in column 0, in list order; selected ones marked with '*'.
    std::vector<std::string> entries() const;
    void select(std::initializer_list<int> items);

    // What the view asked for.
    int insertedMenus = 0, removedMenus = 0, activations = 0;
    HMENU sharedMenu = nullptr;  // of the last SetMenuSB
    std::vector<std::wstring> statusTexts;
    std::vector<ControlMessage> controlMessages;
    std::vector<TBBUTTON> toolbar;
    std::vector<std::pair<std::string, UINT>> browsed;  // the item's name ("" for none) and the flags
    // Enabled state of each toolbar command, as last set.
    std::map<UINT, bool> buttons() const;
    // Our popups in the shared menu (File, Edit, View, Help).
    HMENU popup(int index) const { return popups_[index]; }

    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) noexcept override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }
    // IShellBrowser
    HRESULT STDMETHODCALLTYPE InsertMenusSB(HMENU shared, LPOLEMENUGROUPWIDTHS widths) noexcept override;
    HRESULT STDMETHODCALLTYPE SetMenuSB(HMENU shared, HOLEMENU, HWND) noexcept override;
    HRESULT STDMETHODCALLTYPE RemoveMenusSB(HMENU shared) noexcept override;
    HRESULT STDMETHODCALLTYPE SetStatusTextSB(LPCWSTR text) noexcept override;
    HRESULT STDMETHODCALLTYPE EnableModelessSB(BOOL) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAcceleratorSB(MSG*, WORD) noexcept override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE BrowseObject(PCUIDLIST_RELATIVE item, UINT flags) noexcept override;
    HRESULT STDMETHODCALLTYPE GetViewStateStream(DWORD, IStream**) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetControlWindow(UINT, HWND*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SendControlMsg(UINT control, UINT message, WPARAM wParam, LPARAM lParam,
                                             LRESULT* result) noexcept override;
    HRESULT STDMETHODCALLTYPE QueryActiveShellView(IShellView** view) noexcept override;
    HRESULT STDMETHODCALLTYPE OnViewWindowActive(IShellView*) noexcept override;
    HRESULT STDMETHODCALLTYPE SetToolbarItems(LPTBBUTTONSB buttons, UINT count, UINT) noexcept override;

private:
    ~TestBrowser() override;

    bool frameCalls_;
    UniqueWindow window_;
    std::vector<ComPtr<IShellFolder>> folders_;  // the root first, the shown folder last
    ComPtr<IShellView> view_;
    HWND viewWindow_ = nullptr;
    HMENU popups_[4] = {};
    LRESULT nextBitmapOffset_ = 20;
};
