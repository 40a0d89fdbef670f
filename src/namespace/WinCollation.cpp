// Windows: the C runtime's multibyte collation in the current code page,
// which is what the shell's own name columns follow.
#include "namespace/Collation.h"

#include <mbstring.h>

int collateIgnoringCase(const std::string& a, const std::string& b) {
    return _mbsicoll(reinterpret_cast<const unsigned char*>(a.c_str()),
                     reinterpret_cast<const unsigned char*>(b.c_str()));
}
