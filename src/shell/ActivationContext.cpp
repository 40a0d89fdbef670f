#include "shell/ActivationContext.h"

#include "shell/ModuleState.h"

#include <mutex>

namespace {

// Released when the module goes.
class ModuleContext {
public:
    ModuleContext() {
        ACTCTXW request{};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.hModule = moduleState().serverModule();
        request.lpResourceName = MAKEINTRESOURCEW(2);  // ISOLATIONAWARE_MANIFEST_RESOURCE_ID
        wchar_t path[MAX_PATH] = {};
        if (request.hModule && GetModuleFileNameW(request.hModule, path, MAX_PATH) < MAX_PATH) request.lpSource = path;
        handle_ = request.lpSource ? CreateActCtxW(&request) : INVALID_HANDLE_VALUE;
    }
    ~ModuleContext() {
        if (handle_ != INVALID_HANDLE_VALUE) ReleaseActCtx(handle_);
    }
    ModuleContext(const ModuleContext&) = delete;
    ModuleContext& operator=(const ModuleContext&) = delete;
    HANDLE handle() const noexcept { return handle_; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

std::mutex contextLock;

HANDLE moduleContext() {
    const std::lock_guard<std::mutex> guard(contextLock);
    static const ModuleContext context;
    return context.handle();
}

}  // namespace

ScopedActivation::ScopedActivation() noexcept {
    try {
        const HANDLE context = moduleContext();
        if (context == INVALID_HANDLE_VALUE || !ActivateActCtx(context, &cookie_)) cookie_ = 0;
    } catch (...) {
        cookie_ = 0;  // no lock to be had: the host's context stays
    }
}

ScopedActivation::~ScopedActivation() {
    if (cookie_) DeactivateActCtx(0, cookie_);
}
