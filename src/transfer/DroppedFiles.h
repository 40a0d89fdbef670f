#pragma once
// The shell's side of an upload: the PC files of a drop or a paste (a
// CF_HDROP list) go to a device folder, and the source hears whether a
// move was completed.
#include "shell/ComObject.h"
#include "transfer/DataValues.h"
#include "transfer/TransferTarget.h"

#include <optional>

// The source's asynchronous operation, when it works asynchronously: it
// then keeps its files until EndOperation tells it they arrived.
ComPtr<IAsyncOperation> asyncOperationOf(IDataObject& data);

// Runs on a worker thread that has initialised COM. With `move` the source
// is told once every file arrived, and deletes its own; an asynchronous
// source hears the outcome in any case. Messages are owned by the target's
// owner window, which also gets Refresh when the device changed. True when
// the file list was gone through.
bool uploadDroppedFiles(IDataObject* dataObject, const TransferTarget& target, bool move);

// The same on a thread of its own, the data object handed over through the
// global interface table. Before it returns (on the UI thread) the source
// hears the effect that will be performed and, when it works
// asynchronously, that the operation started. False when nothing started.
bool uploadDroppedFilesInBackground(IDataObject* dataObject, TransferTarget target, bool move);

// Whether the first file of a data object's CF_HDROP list can be read (a
// folder cannot); none when the object has no list to look at.
std::optional<bool> firstDroppedFileReadable(IDataObject& dataObject);
