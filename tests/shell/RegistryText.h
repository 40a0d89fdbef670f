#pragma once
// Registry keys as one line of text each, for tests that compare what a
// program wrote with what it should have written, value for value.
#include "shell/ShellResources.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

// `view` is 0 for the program's own view of the registry, or
// KEY_WOW64_32KEY / KEY_WOW64_64KEY for one of the two.
inline bool keyExists(HKEY root, const std::string& path, REGSAM view = 0) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// A key with all it holds as one line: values in order of their names as
// name="text" (strings; "text"(no NUL) for one stored without its end) or
// name=0x... (numbers),
// then subkeys as Name{...}; "(absent)" when there is no such key.
inline std::string describeKey(HKEY root, const std::string& path, REGSAM view = 0) {
    HKEY raw = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &raw) != ERROR_SUCCESS) return "(absent)";
    UniqueRegKey key(raw);
    std::map<std::string, std::string> values, subkeys;
    for (DWORD i = 0;; ++i) {
        char name[256], data[1024];
        DWORD nameLength = sizeof name, size = sizeof data, type = 0, number = 0;
        if (RegEnumValueA(key.get(), i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &size)) break;
        std::memcpy(&number, data, sizeof number);
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%lx", number);
        values[*name ? name : "(default)"] = type == REG_DWORD         ? hex
                                             : type != REG_SZ          ? "type " + std::to_string(type)
                                             : size && !data[size - 1] ? "\"" + std::string(data, size - 1) + "\""
                                                                       : "\"" + std::string(data, size) + "\"(no NUL)";
    }
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLength = sizeof name;
        if (RegEnumKeyExA(key.get(), i, name, &nameLength, nullptr, nullptr, nullptr, nullptr)) break;
        subkeys[name] = describeKey(root, path + "\\" + name, view);
    }
    std::string out;
    for (const auto& [valueName, value] : values) out += (out.empty() ? "" : " ") + valueName + "=" + value;
    for (const auto& [subkey, inside] : subkeys) out += (out.empty() ? "" : " ") + subkey + "{" + inside + "}";
    return out;
}

// Where registering Nimbrel writes, and what: the class key with the module
// at `module`, and the desktop's entry for it.
inline const std::string nimbrelClassKey = "CLSID\\{7D41B3C2-58A0-4E1F-9C36-0B2E84F5A917}";
inline const std::string nameSpaceParentKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\NameSpace";
inline const std::string nimbrelNameSpaceKey = nameSpaceParentKey + "\\{7D41B3C2-58A0-4E1F-9C36-0B2E84F5A917}";

inline std::string registeredClassKey(const std::string& module) {
    return "(default)=\"Nimbrel\" InfoTip=\"Nimbrel\" DefaultIcon{(default)=\"" + module +
           ",0\"} InprocServer32{(default)=\"" + module +
           "\" ThreadingModel=\"Apartment\"} ShellFolder{Attributes=0xa8000000}";
}
inline const std::string registeredNameSpaceKey = "Removal Message=\"Delete Nimbrel\"";
