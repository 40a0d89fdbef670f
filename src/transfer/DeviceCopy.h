#pragma once
// The shell's side of a device-to-device copy: reads what the source's data
// object says (its device, the system-file answer, its files, copy or move),
// hands the data object to the job's thread through the global interface
// table, and starts the job.
#include <windows.h>
#include <objidl.h>

#include <cstdint>

class NamespaceFolder;

// 1 when the data object is not files of another device folder of ours, or
// the job cannot be set up (the caller does nothing more); 0 when the job
// started or the user was told why not; a failure code of a shell call.
// `viewWindow` gets Refresh (271) after the job.
std::uint32_t startDeviceCopy(NamespaceFolder& targetFolder, IDataObject* dataObject, HWND viewWindow);
