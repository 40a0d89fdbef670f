#pragma once
// The overwrite question (dialog 112), modal and without owner.
#include "transfer/TransferUser.h"

#include <string>

// `name`: a path or a file name; the dialog names the part after its last
// backslash.
OverwriteAnswer askOverwrite(const std::wstring& name);
