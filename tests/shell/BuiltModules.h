#pragma once
// The modules of the build (Nimbrel.dll, NimbrelDEU.dll) lie beside the
// test programs; these helpers find and load them.
#include "shell/ShellResources.h"

#include <string>
#include <vector>

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

// "1, 0, 1, 2": the file version in a module's version block, as the About
// box reads it; "(none)" without one. Needs the version library.
inline std::string fileVersionOf(const std::string& path) {
    std::vector<BYTE> block(GetFileVersionInfoSizeA(path.c_str(), nullptr));
    char* value = nullptr;
    UINT length = 0;
    if (block.empty() || !GetFileVersionInfoA(path.c_str(), 0, block.size(), block.data()) ||
        !VerQueryValueA(block.data(), "\\StringFileInfo\\000004b0\\FileVersion", reinterpret_cast<void**>(&value),
                        &length))
        return "(none)";
    return value;
}
