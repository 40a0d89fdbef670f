#include "transfer/FileDropSource.h"

const QITAB* FileDropSource::interfaces() noexcept {
    static const QITAB table[] = {
        interfaceEntry<FileDropSource, IDropSource>(),
        {},
    };
    return table;
}

HRESULT FileDropSource::QueryContinueDrag(BOOL escapePressed, DWORD keyState) noexcept {
    if (escapePressed) return DRAGDROP_S_CANCEL;
    if (!(keyState & button_)) return DRAGDROP_S_DROP;
    return S_OK;
}

HRESULT FileDropSource::GiveFeedback(DWORD) noexcept {
    return DRAGDROP_S_USEDEFAULTCURSORS;
}
