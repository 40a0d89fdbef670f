// POSIX: there is no shell to hand identifiers to, so the C heap serves.
#include "namespace/TaskMemory.h"

#include <cstdlib>

namespace {

class HeapTaskMemory final : public TaskMemory {
public:
    void* allocate(std::size_t bytes) noexcept override { return std::malloc(bytes); }
    void release(void* block) noexcept override { std::free(block); }
};

}  // namespace

std::unique_ptr<TaskMemory> openTaskMemory() {
    return std::make_unique<HeapTaskMemory>();
}
