#pragma once
// The icon of one item, taken from the shell's shared system image lists so
// that device files look like files of the same type on the PC and devices
// like folders. Nothing is loaded or created per item.
#include "namespace/ItemIdAllocator.h"
#include "shell/ComObject.h"
#include "shell/ShellResources.h"

#include <shlobj.h>
#include <commctrl.h>
#include <shellapi.h>

// The system image list, small or large. The shell owns it; never destroy it.
HIMAGELIST systemImageList(bool small) noexcept;

// Index of the standard folder image in the system image list.
inline constexpr int deviceImageIndex = 3;

class IconExtractor final : public ComObject<IconExtractor, IExtractIconA> {
public:
    // Keeps its own copy of `item`.
    explicit IconExtractor(PCUITEMID_CHILD item);

    static const QITAB* interfaces() noexcept;

    HRESULT STDMETHODCALLTYPE GetIconLocation(UINT flags, PSTR iconFile, UINT iconFileSize, int* index,
                                              UINT* outFlags) noexcept override;
    HRESULT STDMETHODCALLTYPE Extract(PCSTR iconFile, UINT index, HICON* large, HICON* small,
                                      UINT iconSize) noexcept override;

private:
    ~IconExtractor() override;

    ItemIdAllocator allocator_;
    UniqueIdList item_;
};
