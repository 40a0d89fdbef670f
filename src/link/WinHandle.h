#pragma once
// Owners for kernel handles. Files and COM ports use INVALID_HANDLE_VALUE
// for "none"; threads, events and processes use null.
#include <windows.h>

#include "link/UniqueResource.h"

struct FileHandleTraits {
    using Type = HANDLE;
    static Type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(Type handle) noexcept { ::CloseHandle(handle); }
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type handle) noexcept { ::CloseHandle(handle); }
};

using UniqueFileHandle = UniqueResource<FileHandleTraits>;
using UniqueKernelHandle = UniqueResource<KernelHandleTraits>;
