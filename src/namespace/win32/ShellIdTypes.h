#pragma once
// The shell's own item identifier types.
#include <windows.h>
#include <shtypes.h>
