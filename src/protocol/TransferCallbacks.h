#pragma once
// The functions through which transfers report progress and the monitor
// loop reports lines. Plain functions fit, and so do lambdas.
#include <cstdint>
#include <functional>

#include "protocol/DeviceInfo.h"

// (device record, total bytes expected, bytes done, percent, estimate).
// percent is 0.0 in the first call and a whole number of at least 1 later;
// estimate is what is left, in 80-byte steps plus two packages.
using ProgressCallback = std::function<void(const DeviceInfo* device, std::uint32_t total, std::uint32_t done,
                                            double percent, std::int32_t estimate)>;

// (device record, line text, line number, changed): changed is 1 when the
// text differs from the line reported before, 0 when only the number does.
using MonitorCallback =
    std::function<void(const DeviceInfo* device, const char* line, std::int32_t lineNumber, std::int32_t changed)>;

namespace TransferProgressRules {
// Estimate passed with the first call of a transfer of `total` bytes.
std::int32_t startEstimate(std::uint32_t total);

// Reports a finished package of `packageBytes` bytes if the call rules
// ask for it: on the first package and whenever the packages left are a
// multiple of 50. Downloads cap the percentage at 100, uploads do not.
void reportPackage(const ProgressCallback& progress, const DeviceInfo& device, std::uint32_t total, std::uint32_t done,
                   std::uint32_t packageBytes, bool capAtHundred);
}  // namespace TransferProgressRules
