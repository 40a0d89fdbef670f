#pragma once
// A downloaded file handed to the shell as a stream. The file was opened
// delete-on-close: it disappears with the stream's last reference.
#include "link/WinHandle.h"
#include "shell/ComObject.h"

#include <objidl.h>

#include <mutex>
#include <string>

class TempFileStream final : public ComObject<TempFileStream, IStream> {
public:
    // A stream over the temporary file `path` (UTF-8); null when it cannot
    // be opened.
    static ComPtr<IStream> open(const std::string& path);

    explicit TempFileStream(UniqueFileHandle file) : file_(std::move(file)) {}
    static const QITAB* interfaces() noexcept;

    // ISequentialStream
    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG count, ULONG* read) noexcept override;
    HRESULT STDMETHODCALLTYPE Write(const void* buffer, ULONG count, ULONG* written) noexcept override;
    // IStream
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) noexcept override;
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) noexcept override;
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                                     ULARGE_INTEGER* written) noexcept override;
    HRESULT STDMETHODCALLTYPE Commit(DWORD flags) noexcept override;
    HRESULT STDMETHODCALLTYPE Revert() noexcept override;
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD type) noexcept override;
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD type) noexcept override;
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* statistics, DWORD flags) noexcept override;
    HRESULT STDMETHODCALLTYPE Clone(IStream** clone) noexcept override;

private:
    ~TempFileStream() override = default;

    std::mutex lock_;
    UniqueFileHandle file_;
};
