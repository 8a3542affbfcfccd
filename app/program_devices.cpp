#include "app/program_devices.h"

#include <cstdlib>

#include "app/messages.h"
#include "platform/sim/sim_device_stack.h"

namespace tessora {

void ShellHidMessages::ShowMessage(bool ownedByMainWindow, const char* text, const char* caption,
                                   std::uint32_t style) {
  if (shell_ != nullptr) return tessora::ShowMessage(*shell_, ownedByMainWindow, text, caption, style);
  os_.OutputDebugStringA(text);
}

StackDeviceAccess::StackDeviceAccess(Settings& settings, OsServices& os, std::unique_ptr<DeviceStack> stack)
    : stack_(std::move(stack)),
      messages_(os),
      library_(os, *stack_),
      dispatch_(library_),
      hid_(*stack_, os, messages_),
      engine_(settings, dispatch_) {
  engine_.os = &os;
  engine_.driverDevices = &library_;
  engine_.hid = &hid_;
}

std::unique_ptr<SimulatedDeviceAccess> SimulatedDeviceAccess::Open(const std::string& directory, Settings& settings,
                                                                   OsServices& os, std::string& error) {
  std::unique_ptr<sim::BoardDirectory> board = sim::BoardDirectory::Open(directory, error);
  if (!board) return nullptr;
  // A board.conf that sets the timing makes the board answer in real time.
  if (board->Board().Config().keepsTime) board->Board().KeepTime(os);
  auto stack = std::make_unique<sim::SimDeviceStack>(os);
  sim::BoardIdentity identity;
  identity.serial = board->Serial();
  stack->AttachBoard(board->Board(), identity);
  std::unique_ptr<SimulatedDeviceAccess> access(new SimulatedDeviceAccess(std::move(board)));
  access->devices_ = std::make_unique<StackDeviceAccess>(settings, os, std::move(stack));
  return access;
}

std::unique_ptr<DeviceAccess> OpenProgramDevices(Settings& settings, OsServices& os,
                                                 std::unique_ptr<DeviceStack> realStack, std::string& error) {
  const char* board = std::getenv("TESSORA_SIM");
  if (board != nullptr && board[0] != '\0') return SimulatedDeviceAccess::Open(board, settings, os, error);
  return std::make_unique<StackDeviceAccess>(settings, os, std::move(realStack));
}

}  // namespace tessora
