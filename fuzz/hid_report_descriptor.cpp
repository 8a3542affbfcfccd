// Report descriptors come from the device: any bytes at all must parse without reading
// past the end, and a layout called valid must have lengths that fit what they describe.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/linux/hid_report_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tessora::linuxstack::HidReportLayout layout = tessora::linuxstack::ParseHidReportDescriptor(std::span(data, size));
  if (!layout.valid) return 0;
  // Feature bytes come only from declared feature reports; without report IDs there is
  // only report 0.
  if (layout.featureLength > 0 && !layout.featureReportIds.any()) std::abort();
  if (!layout.usesReportIds && (layout.featureReportIds.count() > 1 || layout.featureReportIds.test(0xFF)))
    std::abort();
  return 0;
}
