#pragma once
// Choice of the module that texts, menus and dialogs are loaded from.
#include <windows.h>

#include <string>

// German in any region (Germany, Austria, Switzerland, ...): primary language 7.
bool wantsGermanResources(LANGID language) noexcept;

// The full path of a loaded module; empty when it cannot be read.
std::wstring modulePath(HMODULE module);

// The folder of a module path: the text before its last backslash; empty
// without a backslash.
std::wstring folderOf(const std::wstring& path);

// For a German user language, the German satellite NimbrelDEU.dll from the
// registered install folder, else from the server's own folder, loaded as a
// resource image; null when the language is not German or no satellite loads.
HMODULE loadGermanSatellite(HMODULE server, LANGID language);
