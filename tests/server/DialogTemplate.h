#pragma once
// Reads a DIALOGEX resource as the dialog manager sees it, so the tests can
// compare fonts, styles, items and geometry with the layout they expect.
#include <windows.h>

#include <string>
#include <vector>

struct DialogItem {
    int id = 0;
    std::wstring windowClass;  // "Button", "Static" for the predefined ordinals
    std::wstring text;
    DWORD style = 0;
    RECT rect{};  // x, y, width, height in dialog units
};

struct DialogTemplate {
    bool found = false;
    DWORD style = 0;
    int width = 0;
    int height = 0;
    std::wstring caption;
    int pointSize = 0;
    std::wstring typeface;
    std::vector<DialogItem> items;
};

DialogTemplate readDialogTemplate(HMODULE module, int id);
