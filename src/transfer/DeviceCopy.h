#pragma once
// The shell's side of a device-to-device copy: reads what the source's data
// object says (its device, the system-file answer, its files), hands the
// data object to the job's thread through the global interface table, and
// starts the job.
#include "transfer/TransferTarget.h"

#include <objidl.h>

// With `move` the user asked for a move (a cut pasted, a drop with Shift).
// S_FALSE when the data object holds no files of another device folder of
// ours or the job cannot be set up (the caller does nothing more); S_OK when
// the job started or the user was told why not; else the failure of a shell
// call. The target's refresh window gets Refresh after the job.
HRESULT startDeviceCopy(IDataObject* dataObject, const TransferTarget& target, bool move);
