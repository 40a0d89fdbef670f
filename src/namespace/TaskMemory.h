#pragma once
// The memory that item identifiers live in. On Windows it is the shell's
// task allocator, because the shell frees what we hand it; elsewhere the
// C heap. Tests may put in a memory that fails.
#include <cstddef>
#include <memory>

class TaskMemory {
public:
    virtual ~TaskMemory() = default;
    // Null when no memory is available.
    virtual void* allocate(std::size_t bytes) noexcept = 0;
    virtual void release(void* block) noexcept = 0;
};

// This platform's task memory (SHGetMalloc on Windows). Null when the
// platform gives none.
std::unique_ptr<TaskMemory> openTaskMemory();
