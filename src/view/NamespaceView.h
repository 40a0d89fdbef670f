#pragma once
// The shell view of the root and of every device folder: a child window of
// the browser holding a report list of the folder's items, the merged menus
// and toolbar buttons, the status texts and the command handling, and the
// folder view that command bars and ribbons act through. Made by its
// folder, which it sees as a DeviceFolder. Runs on the browser's UI thread
// only.
#include "namespace/DeviceFolder.h"
#include "namespace/ItemIdAllocator.h"
#include "shell/ComObject.h"
#include "shell/DeviceWatcher.h"
#include "transfer/ClipboardCommands.h"
#include "view/ListView.h"
#include "view/ViewMenus.h"

#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

class NamespaceView final : public ComObject<NamespaceView, IShellView2, IFolderView> {
public:
    explicit NamespaceView(DeviceFolder& folder);

    static const QITAB* interfaces() noexcept;

    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) noexcept override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enterMode) noexcept override;

    // IShellView
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* message) noexcept override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) noexcept override;
    HRESULT STDMETHODCALLTYPE UIActivate(UINT state) noexcept override;
    HRESULT STDMETHODCALLTYPE Refresh() noexcept override;
    HRESULT STDMETHODCALLTYPE CreateViewWindow(IShellView* previous, LPCFOLDERSETTINGS settings, IShellBrowser* browser,
                                               RECT* rectangle, HWND* window) noexcept override;
    HRESULT STDMETHODCALLTYPE DestroyViewWindow() noexcept override;
    HRESULT STDMETHODCALLTYPE GetCurrentInfo(LPFOLDERSETTINGS settings) noexcept override;
    HRESULT STDMETHODCALLTYPE AddPropertySheetPages(DWORD reserved, LPFNSVADDPROPSHEETPAGE addPage,
                                                    LPARAM parameter) noexcept override;
    HRESULT STDMETHODCALLTYPE SaveViewState() noexcept override;
    HRESULT STDMETHODCALLTYPE SelectItem(PCUITEMID_CHILD item, SVSIF flags) noexcept override;
    HRESULT STDMETHODCALLTYPE GetItemObject(UINT item, REFIID riid, void** object) noexcept override;

    // IShellView2
    HRESULT STDMETHODCALLTYPE GetView(SHELLVIEWID* viewId, ULONG view) noexcept override;
    HRESULT STDMETHODCALLTYPE CreateViewWindow2(LPSV2CVW2_PARAMS parameters) noexcept override;
    HRESULT STDMETHODCALLTYPE HandleRename(PCUITEMID_CHILD item) noexcept override;
    HRESULT STDMETHODCALLTYPE SelectAndPositionItem(PCUITEMID_CHILD item, UINT flags, POINT* point) noexcept override;

    // IFolderView
    HRESULT STDMETHODCALLTYPE GetCurrentViewMode(UINT* mode) noexcept override;
    HRESULT STDMETHODCALLTYPE SetCurrentViewMode(UINT mode) noexcept override;
    HRESULT STDMETHODCALLTYPE GetFolder(REFIID riid, void** folder) noexcept override;
    HRESULT STDMETHODCALLTYPE Item(int index, PITEMID_CHILD* item) noexcept override;
    HRESULT STDMETHODCALLTYPE ItemCount(UINT flags, int* count) noexcept override;
    HRESULT STDMETHODCALLTYPE Items(UINT flags, REFIID riid, void** object) noexcept override;
    HRESULT STDMETHODCALLTYPE GetSelectionMarkedItem(int* item) noexcept override;
    HRESULT STDMETHODCALLTYPE GetFocusedItem(int* item) noexcept override;
    HRESULT STDMETHODCALLTYPE GetItemPosition(PCUITEMID_CHILD item, POINT* point) noexcept override;
    HRESULT STDMETHODCALLTYPE GetSpacing(POINT* point) noexcept override;
    HRESULT STDMETHODCALLTYPE GetDefaultSpacing(POINT* point) noexcept override;
    HRESULT STDMETHODCALLTYPE GetAutoArrange() noexcept override;
    HRESULT STDMETHODCALLTYPE SelectItem(int item, DWORD flags) noexcept override;
    HRESULT STDMETHODCALLTYPE SelectAndPositionItems(UINT count, PCUITEMID_CHILD_ARRAY items, POINT* points,
                                                     DWORD flags) noexcept override;

private:
    ~NamespaceView() override;

    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    // The list's own keys: the Applications key, and the accelerators for
    // browsers that do not translate them.
    static LRESULT CALLBACK listKeys(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR view) noexcept;
    static int CALLBACK compareEntries(LPARAM first, LPARAM second, LPARAM column) noexcept;

    // The dispatcher of the view window; false for what it leaves to the default.
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void createList();
    void fillList();
    // Lists the folder again; the focused entry keeps the focus and the
    // selected ones their selection while they are still there, else the
    // entry now in the focused one's place takes the focus.
    void relist();
    void deleteAllEntries();
    // The view's commands on the selection or the background (SVGIO_ flags).
    HRESULT itemObject(UINT which, REFIID riid, void** object);
    HRESULT selectEntry(int item, DWORD flags);
    // The entry showing the same device or file as `record`; -1 when none.
    int findEntry(const ItemRecord& record) const;
    // The list's own name (what a screen reader says with it): the folder's.
    void nameList();
    void markSortColumn();
    void scaleColumns();
    void sortBy(int column);
    void command(UINT id);
    LRESULT notify(const NMHDR& header);
    void setStatusText(const std::wstring* text);
    // The status text of a finished command, also said by screen readers.
    void reportResult(const std::wstring& text);
    void setupToolbar();
    void updateToolbar();
    void mergeMenus(UINT state);
    void setViewMode(UINT mode);
    void activateSelection();
    void tellDialogHost(ULONG change);
    // Devices came or went: the list follows without asking anything.
    void followDevices();
    // Back in the list of devices: the device just left takes the focus.
    void focusDeviceLeft(IShellBrowser& browser, const DeviceInfo& device);
    void clipboardCommand(bool cut);
    void deleteSelected();
    void showContextMenu(LPARAM position);
    bool beginLabelEdit(int item);
    bool endLabelEdit(const LVITEMA& edited);

    MenuContext menuContext() const;
    ViewTarget target() const;
    PITEMID_CHILD entryId(int item) const;
    bool showsDevices() const { return folder_->showsDevices(); }
    // Gives up what CreateViewWindow made, after a failure or at the end.
    void destroyWindows();

    // The order of the list: a click on a column's header sorts by it, a
    // second click on the same one reverses it.
    struct SortOrder {
        int column = -1;  // none until the first click
        int direction = 1;
    };

    ComPtr<DeviceFolder> folder_;
    SortOrder sort_;
    int sortedColumn() const { return sort_.column < 0 ? 0 : sort_.column; }
    ItemIdAllocator allocator_;
    ComPtr<IShellBrowser> browser_;
    ComPtr<ICommDlgBrowser> dialogHost_;  // the common file dialog that hosts the view, if one does
    HWND browserWindow_ = nullptr;
    FOLDERSETTINGS folderSettings_{FVM_DETAILS, 0};
    HWND viewWindow_ = nullptr;
    ListView list_;
    MergedMenus menus_;
    bool labelEditing_ = false;
    UniqueResource<NullHandleTraits<HACCEL, &DestroyAcceleratorTable>> accelerators_;
    bool hideSystemFiles_ = true;
    bool oleInitialized_ = false;
    std::optional<DeviceWatchSubscription> devicesWatch_;
    bool quietListing_ = false;  // a listing nobody asked for shows no message
};
