#include "namespace/SortState.h"

SortState& sortState() noexcept {
    static SortState state;
    return state;
}
