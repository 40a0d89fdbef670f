#pragma once
// The texts of the size and date columns, in the user's own formats.
#include "namespace/ItemRecord.h"

#include <cstdint>
#include <string>

// The size in bytes with the locale's thousands separator between groups of
// three digits, and " B" behind.
std::string formatSize(std::uint64_t bytes);

// The short date and the time of a file record in the user's formats.
// Values the platform cannot show (a month 13, a year 0) are replaced by
// fixed ones first, and the replacements are written back into the record,
// so a later sort by date agrees with what is shown.
std::string formatDateTime(ItemRecord& record);
