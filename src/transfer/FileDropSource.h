#pragma once
// The drag source of device files: drops when the left button is let go,
// cancels on Escape, and shows the standard cursors.
#include "shell/ComObject.h"

#include <oleidl.h>

class FileDropSource final : public ComObject<FileDropSource, IDropSource> {
public:
    FileDropSource() = default;
    static const QITAB* interfaces() noexcept;

    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) noexcept override;
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) noexcept override;

private:
    ~FileDropSource() override = default;
};
