#include "protocol/TransferCallbacks.h"

#include <cmath>

namespace TransferProgressRules {
namespace {
constexpr std::uint32_t bytesPerStep = 80;
constexpr std::uint32_t reportEveryPackages = 50;

// Packages left, counted as the device would: two more than whole steps.
// Unsigned on purpose: a transfer longer than announced wraps like the
// device's own count.
std::uint32_t packagesLeft(std::uint32_t total, std::uint32_t done) {
    return (total - done) / bytesPerStep + 2;
}

std::int32_t estimateOf(std::uint32_t packages) {
    const auto estimate = static_cast<std::int32_t>(packages * bytesPerStep);
    return estimate > 0 ? estimate : 0;
}
}  // namespace

std::int32_t startEstimate(std::uint32_t total) {
    return estimateOf(packagesLeft(total, 0));
}

void reportPackage(const ProgressCallback& progress, const DeviceInfo& device, std::uint32_t total, std::uint32_t done,
                   std::uint32_t packageBytes, bool capAtHundred) {
    if (!progress) return;
    double percent = static_cast<double>(done) * 100.0 / static_cast<double>(total);
    if (capAtHundred && !(percent <= 100.0)) percent = 100.0;
    const std::uint32_t packages = packagesLeft(total, done);
    if (packages % reportEveryPackages != 0 && done != packageBytes) return;
    double shown = std::floor(percent);
    if (!(shown >= 1.0)) shown = 1.0;
    progress(&device, total, done, shown, estimateOf(packages));
}
}  // namespace TransferProgressRules
