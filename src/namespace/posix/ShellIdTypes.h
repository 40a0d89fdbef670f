#pragma once
// The shell's item identifier layout, for platforms without the shell:
// a list of items, each a 16-bit byte count (itself included) followed by
// its data, ended by a count of 0. Packed, as the shell declares it.
#pragma pack(push, 1)
struct SHITEMID {
    unsigned short cb;
    unsigned char abID[1];
};
struct ITEMIDLIST {
    SHITEMID mkid;
};
#pragma pack(pop)

using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;
