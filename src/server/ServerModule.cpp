#include "server/ServerModule.h"

#include "server/ClassFactory.h"
#include "server/Registration.h"
#include "server/ServedClasses.h"
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
