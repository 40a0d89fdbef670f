#include "server/ServerModule.h"

#include "server/ClassFactory.h"
#include "server/Registration.h"
#include "server/ResourceModule.h"
#include "server/ServedClasses.h"
#include "shell/ModuleState.h"
#include "shell/ShellResources.h"
#include "transfer/TransferObjects.h"
#include "view/ViewObjects.h"

#include <mutex>
#include <vector>

namespace {

struct ServerState {
    std::mutex factoryLock;
    std::vector<ComPtr<ClassFactory>> factories;  // one slot per served class
    UniqueModule satellite;
};

ServerState& server() {
    static ServerState state;
    return state;
}

}  // namespace

void startUpServer(HMODULE module) noexcept {
    HMODULE resources = module;
    if (HMODULE satellite = loadGermanSatellite(module, GetUserDefaultLangID())) {
        server().satellite.reset(satellite);
        resources = satellite;
    }
    moduleState().setModules(module, resources);
    moduleState().registerClipboardFormats();
    FolderObjectMakers makers;
    addTransferObjects(makers);
    addViewObjects(makers);
    setFolderObjectMakers(makers);
}

void shutDownServer(bool processEnding) noexcept {
    {
        std::lock_guard<std::mutex> guard(server().factoryLock);
        server().factories.clear();
    }
    moduleState().setResourceModule(moduleState().serverModule());
    if (processEnding) {
        server().satellite.release();
    } else {
        server().satellite.reset();
    }
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
