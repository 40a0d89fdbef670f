#include "server/ServerModule.h"

#include "server/ClassFactory.h"
#include "server/Registration.h"
#include "server/ServedClasses.h"
#include "shell/DeviceWatcher.h"
#include "shell/ModuleState.h"
#include "shell/ResourceModule.h"
#include "shell/ShellResources.h"

#include <mutex>
#include <vector>

namespace {

struct ServerState {
    std::mutex factoryLock;
    std::vector<ComPtr<ClassFactory>> factories;  // one slot per served class
};

ServerState& server() {
    static ServerState state;
    return state;
}

}  // namespace

void startUpServer(HMODULE module) noexcept {
    // Under the loader lock: nothing is loaded, read or registered here.
    moduleState().setServerModule(module);
}

void shutDownServer(bool processEnding) noexcept {
    {
        std::lock_guard<std::mutex> guard(server().factoryLock);
        server().factories.clear();
    }
    deviceWatcher().abandon();
    moduleState().release(processEnding);
}

HRESULT getClassObject(REFCLSID classId, REFIID riid, void** object) noexcept {
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    const ServedClass* served = findServedClass(classId);
    if (!served) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return comBoundary([&] {
        std::lock_guard<std::mutex> guard(server().factoryLock);
        auto& factories = server().factories;
        factories.resize(servedClasses().size());
        ComPtr<ClassFactory>& factory = factories[static_cast<size_t>(served - servedClasses().data())];
        if (!factory) {
            factory = makeComObject<ClassFactory>(*served);
        }
        return factory->QueryInterface(riid, object);
    });
}

HRESULT canUnloadNow() noexcept {
    // A device watcher that has stopped is joined here, so no thread of ours
    // is left when the module may go; one still ending keeps its lock.
    try {
        deviceWatcher().finishIfStopped();
    } catch (...) {
        // Not joined now: its lock keeps the module, and the next call tries again.
    }
    return moduleState().canUnload() ? S_OK : S_FALSE;
}

HRESULT registerThisServer() noexcept {
    return comBoundary([] {
        const std::wstring path = modulePath(moduleState().serverModule());
        return path.empty() ? HRESULT_FROM_WIN32(GetLastError()) : registerServer(path);
    });
}

HRESULT unregisterThisServer() noexcept {
    return comBoundary([] { return unregisterServer(); });
}
