#include <cstdio>

#include "app/console/console_platform.h"

namespace tessora {

int PrintUdevRule(DeviceStack* /*realStack*/) {
  std::fprintf(stderr, "tessora: --udev-rule is for Linux; Windows reaches the controllers through its drivers\n");
  return 2;
}

// Windows reports its own device problems through the messages the run has shown.
void ExplainFailure(const Settings& /*settings*/) {}

}  // namespace tessora
