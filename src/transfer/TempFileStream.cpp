#include "transfer/TempFileStream.h"

#include "shell/TextFormat.h"

#include <algorithm>

namespace {
constexpr ULONG copyChunk = 500;
}

ComPtr<IStream> TempFileStream::open(const std::string& path) {
    UniqueFileHandle file(CreateFileW(widenUtf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file) return nullptr;
    return makeComObject<TempFileStream>(std::move(file));
}

const QITAB* TempFileStream::interfaces() noexcept {
    static const QITAB table[] = {
        interfaceEntry<TempFileStream, IStream>(),
        interfaceEntry<TempFileStream, ISequentialStream>(),
        {},
    };
    return table;
}

HRESULT TempFileStream::Read(void* buffer, ULONG count, ULONG* read) noexcept {
    if (read) *read = 0;
    const std::lock_guard<std::mutex> guard(lock_);
    if (!file_) return E_FAIL;
    if (GetFileSize(file_.get(), nullptr) == 0) return S_FALSE;
    DWORD done = 0;
    if (!ReadFile(file_.get(), buffer, count, &done, nullptr)) return E_FAIL;
    if (read) *read = done;
    return done == 0 ? S_FALSE : S_OK;
}

HRESULT TempFileStream::Write(const void*, ULONG, ULONG* written) noexcept {
    if (written) *written = 0;
    return E_NOTIMPL;
}

HRESULT TempFileStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) noexcept {
    const std::lock_guard<std::mutex> guard(lock_);
    const DWORD method = origin == STREAM_SEEK_CUR ? FILE_CURRENT : origin == STREAM_SEEK_END ? FILE_END : FILE_BEGIN;
    const DWORD at = SetFilePointer(file_.get(), static_cast<LONG>(move.LowPart), nullptr, method);
    if (position) position->QuadPart = at;
    return S_OK;
}

HRESULT TempFileStream::CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                               ULARGE_INTEGER* written) noexcept {
    if (!target) return STG_E_INVALIDPOINTER;
    ULONGLONG copied = 0;
    HRESULT result = S_OK;
    BYTE buffer[copyChunk];
    while (copied < count.QuadPart) {
        ULONG got = 0;
        const ULONG wanted = static_cast<ULONG>(std::min<ULONGLONG>(copyChunk, count.QuadPart - copied));
        const HRESULT readResult = Read(buffer, wanted, &got);
        if (FAILED(readResult)) {
            result = readResult;
            break;
        }
        if (readResult == S_FALSE || got == 0) break;
        ULONG put = 0;
        const HRESULT writeResult = target->Write(buffer, got, &put);
        if (FAILED(writeResult)) {
            result = writeResult;
            break;
        }
        copied += got;
    }
    if (read) read->QuadPart = copied;
    if (written) written->QuadPart = copied;
    return result;
}

HRESULT TempFileStream::SetSize(ULARGE_INTEGER) noexcept {
    return E_NOTIMPL;
}

HRESULT TempFileStream::Commit(DWORD) noexcept {
    return E_NOTIMPL;
}

HRESULT TempFileStream::Revert() noexcept {
    return E_NOTIMPL;
}

HRESULT TempFileStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept {
    return E_NOTIMPL;
}

HRESULT TempFileStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept {
    return E_NOTIMPL;
}

HRESULT TempFileStream::Stat(STATSTG*, DWORD) noexcept {
    return E_NOTIMPL;
}

HRESULT TempFileStream::Clone(IStream**) noexcept {
    return E_NOTIMPL;
}
