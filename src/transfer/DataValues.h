#pragma once
// The 4-byte values that data objects carry in global memory (drop
// effects, the device's port, the system-file answer), read and written
// as both sides of a transfer do.
#include <windows.h>
#include <objidl.h>
#include <shldisp.h>

#include <optional>

// The shell's name for what the headers call IDataObjectAsyncCapability.
using IAsyncOperation = IDataObjectAsyncCapability;

// A request for `format` in global memory, for the whole content.
FORMATETC valueFormat(UINT format);

// A 4-byte value block; null when out of memory.
HGLOBAL makeValueBlock(DWORD value, UINT flags);
// The low 16 bits of a value block (readers look at no more); none when it
// cannot be read.
std::optional<DWORD> readValueBlock(HGLOBAL block);

// The value of `format` in the data object; none when it has none.
std::optional<DWORD> readValue(IDataObject& data, UINT format);
// Hands the data object a new value block, which it takes over.
void writeValue(IDataObject& data, UINT format, DWORD value);
