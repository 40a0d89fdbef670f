#pragma once
// Owner of a POSIX file descriptor.
#include <unistd.h>

#include "link/UniqueResource.h"

struct FileDescriptorTraits {
    using Type = int;
    static Type invalid() noexcept { return -1; }
    static void close(Type fd) noexcept { ::close(fd); }
};

using UniqueFd = UniqueResource<FileDescriptorTraits>;
