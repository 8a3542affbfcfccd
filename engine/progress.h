#pragma once

namespace tessora {

// The caller's progress indicator; the engine advances it one step per verified page
// or read-out block, within the range the caller set beforehand.
class Progress {
 public:
  virtual ~Progress() = default;
  virtual void ProgressStep() = 0;
};

}  // namespace tessora
