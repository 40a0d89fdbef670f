#pragma once
// The registry script of the module: the class key under HKCR\CLSID and the
// desktop NameSpace entry under HKLM, for every served class.
#include <windows.h>

#include "shell/RegisteredServer.h"

#include <string>

// Replaces each class key and NameSpace key whole; modulePath becomes the
// InprocServer32 value and the icon's file. On failure nothing half-written
// stays behind.
HRESULT registerServer(const std::wstring& modulePath);

// Removes each class key and NameSpace key whole, never their parents.
// Keys that are already gone count as removed.
HRESULT unregisterServer();

inline constexpr wchar_t desktopNameSpaceKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\NameSpace";
