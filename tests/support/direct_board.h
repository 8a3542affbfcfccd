#pragma once
#include <cstdint>

#include "engine/driver_dispatch.h"
#include "hid/hid_report_port.h"
#include "platform/sim/hid_face.h"
#include "platform/sim/sim_board.h"

namespace tessora {

// The engine wired straight to a simulated board, past the device stacks: the HID
// reports go to the board's HID face and the driver requests to its bus, with the
// result codes the driver transports give. For the engine's own tests.
class DirectHidPort : public HidReportPort {
 public:
  explicit DirectHidPort(sim::SimBoard& board) : face_(board) {}

  // Wired straight to the board, the port is open for as long as it exists.
  bool IsOpen() const override { return true; }

  std::uint16_t FeatureReportLength() const override { return face_.Board().Config().featureReportLength; }
  std::uint16_t InputReportLength() const override { return face_.Board().Config().inputReportLength; }
  std::uint16_t OutputReportLength() const override { return face_.Board().Config().outputReportLength; }
  bool SetFeatureReport(std::uint8_t* buffer, std::uint32_t length) override;
  bool GetFeatureReport(std::uint8_t* buffer, std::uint32_t length) override;
  bool WriteReport(std::uint8_t* buffer, std::uint32_t length) override;
  std::uint32_t ReadReport(std::uint8_t* buffer, std::uint32_t length) override;
  void Close() override {}

 private:
  sim::HidFace face_;
};

class DirectDispatch : public DriverDispatch {
 public:
  explicit DirectDispatch(sim::SimBoard& board) : board_(board) {}

  std::uint32_t DispatchMemoryWrite(std::uint32_t handle, std::uint16_t address, std::uint32_t count,
                                    const std::uint8_t* data) override;
  std::uint32_t DispatchMemoryRead(std::uint32_t handle, std::uint16_t address, std::uint32_t count,
                                   std::uint8_t* destination) override;
  std::uint32_t DispatchBusWrite(std::uint32_t handle, std::uint8_t busAddress, std::uint16_t subaddressCount,
                                 const std::uint8_t* subaddress, std::uint16_t count, const std::uint8_t* data) override;
  std::uint32_t DispatchBusRead(std::uint32_t handle, std::uint8_t busAddress, std::uint16_t subaddressCount,
                                const std::uint8_t* subaddress, std::uint16_t count, std::uint8_t* destination) override;

 private:
  sim::SimBoard& board_;
};

}  // namespace tessora
