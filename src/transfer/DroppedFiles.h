#pragma once
// The shell's side of an upload: the PC files of a drop or a paste (a
// CF_HDROP list) go to a device folder, and the source hears whether a
// move was completed.
#include <windows.h>
#include <objidl.h>

#include <cstdint>
#include <optional>

class NamespaceFolder;

// Runs on a worker thread that has initialised COM. Messages are owned by
// `ownerWindow`, which also gets Refresh (271) when the device changed.
// `moveRequested` makes it a move when the source names no effect of its
// own. 1 when the file list was gone through, 0 when it stopped early.
std::uint32_t uploadDroppedFiles(IDataObject* dataObject, NamespaceFolder& targetFolder, HWND ownerWindow,
                                 bool moveRequested);

// The same on a thread of its own: the data object reaches it through the
// global interface table. False when nothing could be started.
bool uploadDroppedFilesInBackground(IDataObject* dataObject, NamespaceFolder& targetFolder, HWND ownerWindow,
                                    bool moveRequested);

// Whether the first file of a data object's CF_HDROP list can be read (a
// folder cannot); none when the object has no list to look at.
std::optional<bool> firstDroppedFileReadable(IDataObject& dataObject);
