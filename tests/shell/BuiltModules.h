#pragma once
// The modules of the build (Nimbrel.dll, NimbrelDEU.dll) lie beside the
// test programs; these helpers find and load them.
#include "shell/ShellResources.h"

#include <string>

inline std::wstring builtModulePath(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring program(path);
    return program.substr(0, program.rfind(L'\\') + 1) + name;
}

// Resources only: no code of the module runs.
inline UniqueModule loadResourcesOf(const wchar_t* name) {
    return UniqueModule(LoadLibraryExW(builtModulePath(name).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
}

// A string of a module's table; empty when it has none.
inline std::wstring moduleText(HMODULE module, UINT id) {
    const wchar_t* text = nullptr;
    const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}
