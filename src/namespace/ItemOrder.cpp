#include "namespace/ItemOrder.h"

#include <array>
#include <string>

#include "namespace/Collation.h"

namespace {

template <std::size_t N>
int collateFields(const char (&a)[N], const char (&b)[N]) {
    return collateIgnoringCase(std::string(fieldText(a)), std::string(fieldText(b)));
}

int threeWay(std::uint32_t a, std::uint32_t b) {
    return a == b ? 0 : (a > b ? 1 : -1);
}

int compareDevices(int column, const ItemRecord& a, const ItemRecord& b) {
    switch (column) {
        case 0:
            return collateFields(a.name, b.name);
        case 1:
            // Ports are unique in a listing, so equal ports never need to compare equal.
            return static_cast<std::int32_t>(a.port) > static_cast<std::int32_t>(b.port) ? 1 : -1;
        case 2:
            return collateFields(a.serial, b.serial);
        default:
            return 0;
    }
}

int compareModified(const ItemRecord& a, const ItemRecord& b) {
    const std::array<std::uint32_t, 6> left{a.year, a.month, a.day, a.hour, a.minute, a.second};
    const std::array<std::uint32_t, 6> right{b.year, b.month, b.day, b.hour, b.minute, b.second};
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (const int order = threeWay(left[i], right[i]); order != 0) return order;
    }
    return 0;
}

int compareFiles(int column, const ItemRecord& a, const ItemRecord& b) {
    switch (column) {
        case 0:
            return collateFields(a.name, b.name);
        case 1:
            return threeWay(a.size, b.size);
        case 2:
            return compareModified(a, b);
        default:
            return 0;
    }
}

}  // namespace

int compareItems(int column, const ItemRecord& a, const ItemRecord& b) {
    return a.kind == ItemKind::Device ? compareDevices(column, a, b) : compareFiles(column, a, b);
}
