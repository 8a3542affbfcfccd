#include "app/console/exit_status.h"

#include "app/procedures.h"

namespace tessora {

int ExitStatusOfOutcome(int outcome) {
  switch (outcome) {
    case kUpdateSucceeded:
      return kExitSucceeded;
    case kUpdateNoDevice:
      return kExitNoDevice;
    case kUpdateUnreadableImage:
      return kExitImageFile;
    case kVerifyDiffers:
      return kExitDiffers;
    default:
      return kExitFailed;
  }
}

int CombinedExitStatus(const std::vector<int>& statuses) {
  if (statuses.empty()) return kExitNoDevice;
  for (int status : statuses)
    if (status != statuses.front()) return kExitFailed;
  return statuses.front();
}

}  // namespace tessora
