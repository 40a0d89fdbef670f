#pragma once
// What the exported functions of Nimbrel.dll do; DllMain and the exports
// only forward here.
#include <windows.h>

// Records where the module is; its resources and formats come on first use.
void startUpServer(HMODULE server) noexcept;
// processEnding: the process is exiting, so other modules may already be
// gone and nothing is unloaded.
void shutDownServer(bool processEnding) noexcept;

HRESULT getClassObject(REFCLSID classId, REFIID riid, void** object) noexcept;
HRESULT canUnloadNow() noexcept;
HRESULT registerThisServer() noexcept;
HRESULT unregisterThisServer() noexcept;
