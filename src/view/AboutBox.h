#pragma once
// The About box: the product description with the version of the
// registered module.
#include <windows.h>

#include <string>

// The FileVersion of the module's version block as "1.0.1.2": blanks
// removed, commas turned into dots; empty when the block cannot be read.
std::string moduleVersionText(const std::string& modulePath);

// The box on `owner`, for the registered server (or "Nimbrel.dll" when the
// registration cannot be read).
void showAboutBox(HWND owner);
