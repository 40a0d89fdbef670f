// The entry points of Nimbrel.dll, exported through Nimbrel.def.
#include "server/ServerModule.h"

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    // Thread notifications stay on: the statically linked runtime may need them.
    if (reason == DLL_PROCESS_ATTACH) {
        startUpServer(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        shutDownServer(reserved != nullptr);
    }
    return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID riid, void** object) {
    return getClassObject(classId, riid, object);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return canUnloadNow();
}

HRESULT STDAPICALLTYPE DllRegisterServer() {
    return registerThisServer();
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return unregisterThisServer();
}

}  // extern "C"
