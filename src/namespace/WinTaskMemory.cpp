// Windows: identifiers go through the shell's task allocator, holding one
// reference to it for the owner's lifetime.
#include "namespace/TaskMemory.h"

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>
#include <wrl/client.h>

namespace {

class ShellTaskMemory final : public TaskMemory {
public:
    explicit ShellTaskMemory(Microsoft::WRL::ComPtr<IMalloc> malloc) : malloc_(std::move(malloc)) {}
    void* allocate(std::size_t bytes) noexcept override { return malloc_->Alloc(bytes); }
    void release(void* block) noexcept override { malloc_->Free(block); }

private:
    Microsoft::WRL::ComPtr<IMalloc> malloc_;
};

}  // namespace

std::unique_ptr<TaskMemory> openTaskMemory() {
    Microsoft::WRL::ComPtr<IMalloc> malloc;
    if (FAILED(SHGetMalloc(&malloc)) || !malloc) return nullptr;
    return std::make_unique<ShellTaskMemory>(std::move(malloc));
}
