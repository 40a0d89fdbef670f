#include "protocol/LocalPathName.h"

const char localPathSeparator = '\\';
