#pragma once
// Where the namespace server is registered: start-up looks for the German
// satellite beside it, and the About box reads its version from it.
#include <string>

// The default value of HKCR\CLSID\{...}\InprocServer32 of the namespace
// class; empty when it cannot be read.
std::wstring registeredServerPath();
