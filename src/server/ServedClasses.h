#pragma once
// The classes the module serves. One table drives both the class factory
// and the registry script, so what is registered is what can be created.
#include <windows.h>

#include <span>

struct ServedClass {
    const CLSID* classId;
    const wchar_t* classIdText;
    const wchar_t* name;  // default value of the class key
    const wchar_t* infoTip;
    const wchar_t* threadingModel;
    DWORD folderAttributes;         // ShellFolder\Attributes
    const wchar_t* removalMessage;  // desktop NameSpace entry
    HRESULT (*createInstance)(REFIID riid, void** object);
};

std::span<const ServedClass> servedClasses() noexcept;
const ServedClass* findServedClass(REFCLSID classId) noexcept;
