#pragma once
// Owners for the Win32 resources of the shell layers, on the project's one
// move-only UniqueResource (link/UniqueResource.h). Kernel and file handles
// have their owners in link/WinHandle.h.
#include "link/UniqueResource.h"
#include "link/WinHandle.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

// Handles whose "none" is null, given back by Close.
template <typename Handle, auto Close>
struct NullHandleTraits {
    using Type = Handle;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type handle) noexcept { (void)Close(handle); }
};

// Memory from the COM task allocator, e.g. item identifier lists.
template <typename Pointer>
struct TaskMemoryTraits {
    using Type = Pointer;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type memory) noexcept { CoTaskMemFree(memory); }
};

// Two storage mediums are the same when they hold the same storage, so an
// empty medium (TYMED_NULL, nothing held) compares equal to "none".
inline bool operator==(const STGMEDIUM& left, const STGMEDIUM& right) noexcept {
    return left.tymed == right.tymed && left.hGlobal == right.hGlobal && left.pUnkForRelease == right.pUnkForRelease;
}

// A medium filled by IDataObject::GetData, given back by ReleaseStgMedium.
struct StgMediumTraits {
    using Type = STGMEDIUM;
    static Type invalid() noexcept { return STGMEDIUM{}; }
    static void close(Type medium) noexcept { ReleaseStgMedium(&medium); }
};

using UniqueRegKey = UniqueResource<NullHandleTraits<HKEY, &RegCloseKey>>;
using UniqueGlobal = UniqueResource<NullHandleTraits<HGLOBAL, &GlobalFree>>;
using UniqueModule = UniqueResource<NullHandleTraits<HMODULE, &FreeLibrary>>;
using UniqueMenu = UniqueResource<NullHandleTraits<HMENU, &DestroyMenu>>;
using UniqueIcon = UniqueResource<NullHandleTraits<HICON, &DestroyIcon>>;
using UniqueWindow = UniqueResource<NullHandleTraits<HWND, &DestroyWindow>>;
using UniqueGdiObject = UniqueResource<NullHandleTraits<HGDIOBJ, &DeleteObject>>;
template <typename T>
using UniqueTaskMemory = UniqueResource<TaskMemoryTraits<T*>>;
using UniqueIdList = UniqueTaskMemory<ITEMIDLIST>;
using UniqueStgMedium = UniqueResource<StgMediumTraits>;

// Holds the lock of a global memory block for one scope; the block itself
// stays with its owner (a UniqueGlobal or a storage medium).
template <typename T = void>
class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL memory) noexcept
        : memory_(memory), data_(memory ? static_cast<T*>(GlobalLock(memory)) : nullptr) {}
    ~GlobalLockGuard() {
        if (data_) {
            GlobalUnlock(memory_);
        }
    }
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;

    T* get() const noexcept { return data_; }
    explicit operator bool() const noexcept { return data_ != nullptr; }
    SIZE_T size() const noexcept { return data_ ? GlobalSize(memory_) : 0; }

private:
    HGLOBAL memory_;
    T* data_;
};
