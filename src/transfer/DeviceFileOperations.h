#pragma once
// The changes to files on a device that move no data: one short-lived device
// object for the folder's current device, one transaction, and the user told
// of any failure on the folder's owner window. Callers only see the outcome.
#include "namespace/ItemRecord.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class NamespaceFolder;

// 1 when the device deleted the file; 0 after message 31 was shown.
std::uint32_t deleteFileOnDevice(const NamespaceFolder& folder, const std::string& name) noexcept;

// 1 when the device renamed the file; 0 after message 25 (the target name
// exists) or 30 (any other failure) was shown.
std::uint32_t renameFileOnDevice(const NamespaceFolder& folder, const std::string& oldName,
                                 const std::string& newName) noexcept;

// After a completed move out of the folder: deletes the moved files in
// order; each failure shows message 31 and the rest go on.
void deleteMovedSources(const NamespaceFolder& folder, const std::vector<std::string>& names) noexcept;

// Deletes the selected files (their records in list order) after the
// user's confirmation on `owner`: message 6 or 7 for one file; 8 and, when a
// system file is among them, 9 for several. A refusal of one file is told
// (message 31) and the others go on. The number of files deleted; 0 when
// the user declined.
int deleteSelection(const NamespaceFolder& folder, HWND owner, const std::vector<ItemRecord>& selected) noexcept;
