#pragma once
// The order of two items by a list column. Devices: 0 name, 1 port,
// 2 serial number; files: 0 name, 1 size, 2 modified. Only the sign of the
// result matters; the folder applies the sort direction.
#include "namespace/ItemRecord.h"

int compareItems(int column, const ItemRecord& a, const ItemRecord& b);
