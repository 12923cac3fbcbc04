// What the controller needs to know from a HID report descriptor: whether the device numbers its
// reports, and the report lengths and top-level usage that the platform would otherwise report
// as the device's capabilities.
//
// hidraw hands an unnumbered input report over without a report-ID byte, and hidapi 0.13 cannot
// read the report descriptor, so the hidraw backend reads the descriptor from sysfs
// (/sys/class/hidraw/<node>/device/report_descriptor, readable by everyone) and looks for Report
// ID items (prefix 0x85) in it.
#pragma once

#include "HidPlatform.h"

#include <cstddef>
#include <cstdint>

namespace dmm {

struct ReportDescriptorSummary {
    bool parsed = false;   // false for an empty or truncated descriptor
    bool numbered = false; // at least one Report ID item: every report starts with its ID
    HidCaps caps;          // lengths count the report-ID byte, as every report carries one
};

ReportDescriptorSummary parseReportDescriptor(const std::uint8_t* data, std::size_t size);

} // namespace dmm
