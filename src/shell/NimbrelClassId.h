#pragma once
// The class identifier under which the shell finds the namespace: served by
// the module's class factory and written into the registry.
#include <guiddef.h>

inline constexpr CLSID CLSID_NimbrelFolder = {
    0x7D41B3C2, 0x58A0, 0x4E1F, {0x9C, 0x36, 0x0B, 0x2E, 0x84, 0xF5, 0xA9, 0x17}};
inline constexpr wchar_t nimbrelClassIdText[] = L"{7D41B3C2-58A0-4E1F-9C36-0B2E84F5A917}";
