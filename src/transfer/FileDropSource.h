#pragma once
// The drag source of device files: drops when the button that began the
// drag is let go, cancels on Escape, and shows the standard cursors.
#include "shell/ComObject.h"

#include <oleidl.h>

class FileDropSource final : public ComObject<FileDropSource, IDropSource> {
public:
    // `button`: MK_LBUTTON or MK_RBUTTON, the one held for the drag.
    explicit FileDropSource(DWORD button) : button_(button) {}
    static const QITAB* interfaces() noexcept;

    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) noexcept override;
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) noexcept override;

private:
    ~FileDropSource() override = default;

    const DWORD button_;
};
