#pragma once
#include <memory>

#include "platform/os_services.h"

namespace tessora {

// The OS services of the platform the program was built for (posix or win32).
std::unique_ptr<OsServices> CreateNativeOsServices();

}  // namespace tessora
