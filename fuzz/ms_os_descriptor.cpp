// The Microsoft OS 2.0 descriptors come from the device: any BOS descriptor and any
// descriptor set must be walked without reading past their ends.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/linux/ms_os_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::span<const std::uint8_t> bytes(data, size);
  tessora::linuxstack::FindMsOs20Capability(bytes);
  tessora::linuxstack::DeclaredInterfaceClasses(bytes);
  return 0;
}
