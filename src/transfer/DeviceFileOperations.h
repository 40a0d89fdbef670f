#pragma once
// The changes to files on a device that move no data: one short-lived device
// object for the given device, one transaction, and the user told of any
// failure on `owner`. Callers only see the outcome.
#include "namespace/ItemRecord.h"
#include "namespace/ShellChanges.h"

#include <windows.h>

#include <string>
#include <vector>

// True when the device deleted the file; false after message 31 was shown.
bool deleteFileOnDevice(const DeviceInfo& device, const std::string& name, HWND owner) noexcept;

// True when the device renamed the file; false after message 25 (the
// target name exists) or 30 (any other failure) was shown.
bool renameFileOnDevice(const DeviceInfo& device, const std::string& oldName, const std::string& newName,
                        HWND owner) noexcept;

// After a completed move away from the device: deletes the moved files in
// order; each failure shows message 31 and the rest go on.
void deleteMovedSources(const DeviceInfo& device, const std::vector<std::string>& names, HWND owner) noexcept;

// Deletes the selected files (their records in list order) after the
// user's confirmation on `owner`: message 6 or 7 for one file; 8 and, when a
// system file is among them, 9 for several. A refusal of one file is told
// (message 31) and the others go on. The number of files deleted; 0 when
// the user declined. The shell hears of each deleted file at `location`.
int deleteSelection(const DeviceInfo& device, HWND owner, const std::vector<ItemRecord>& selected,
                    const FolderLocation& location) noexcept;
