#include "app/program_devices.h"

#include <cctype>
#include <cstdlib>

#include "app/device_inventory.h"
#include "app/device_selector.h"
#include "app/messages.h"
#include "sim/stack/sim_device_stack.h"

namespace tessora {

void ShellHidMessages::ShowMessage(bool ownedByMainWindow, const char* text, const char* caption,
                                   std::uint32_t style) {
  if (shell_ != nullptr) return tessora::ShowMessage(*shell_, ownedByMainWindow, text, caption, style);
  os_.OutputDebugStringA(text);
}

StackDeviceAccess::StackDeviceAccess(Settings& settings, OsServices& os, std::unique_ptr<DeviceStack> stack,
                                     DeviceStackFactory newStack)
    : stack_(std::move(stack)),
      newStack_(std::move(newStack)),
      os_(os),
      messages_(os),
      library_(os, *stack_),
      dispatch_(library_),
      hid_(*stack_, os, messages_),
      engine_(settings, dispatch_) {
  engine_.os = &os;
  engine_.driverDevices = &library_;
  engine_.hid = &hid_;
}

namespace {

sim::BoardIdentity Identity(const sim::BoardDirectory& board) {
  sim::BoardIdentity identity;
  identity.serial = board.Serial();
  identity.port = board.Port();
  return identity;
}

BoardAccess NewBoard(const DeviceInterfaceRecord& listed, const Settings& settings) {
  BoardAccess board;
  board.name = DeviceName(listed);
  board.path = listed.path;
  board.port = listed.usbPort;
  board.mustAnswer = listed.controller;
  board.settings = std::make_unique<Settings>(settings);
  return board;
}

}  // namespace

std::vector<BoardAccess> StackDeviceAccess::Boards(const Settings& settings) {
  std::vector<BoardAccess> boards;
  for (const DeviceInterfaceRecord& listed : TakeInventory(*stack_, SelectedInterfaceKind(settings))) {
    BoardAccess board = NewBoard(listed, settings);
    if (newStack_) board.stack = newStack_();
    DeviceStack& under = board.stack ? *board.stack : *stack_;
    board.devices = std::make_unique<StackDeviceAccess>(*board.settings, os_, InterfaceView(under, listed.path));
    boards.push_back(std::move(board));
  }
  return boards;
}

std::vector<std::string> SplitBoardDirectories(const std::string& directories) {
  std::vector<std::string> parts;
  std::string part;
  for (std::size_t i = 0; i < directories.size(); ++i) {
    char c = directories[i];
#ifdef _WIN32
    bool driveColon = part.size() == 1 && std::isalpha(static_cast<unsigned char>(part[0])) &&
                      i + 1 < directories.size() && (directories[i + 1] == '\\' || directories[i + 1] == '/');
#else
    bool driveColon = false;
#endif
    if (c != ':' || driveColon) {
      part += c;
      continue;
    }
    if (!part.empty()) parts.push_back(part);
    part.clear();
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

std::unique_ptr<SimulatedDeviceAccess> SimulatedDeviceAccess::Open(const std::string& directories,
                                                                   Settings& settings, OsServices& os,
                                                                   std::string& error) {
  std::vector<std::unique_ptr<sim::BoardDirectory>> boards;
  for (const std::string& directory : SplitBoardDirectories(directories)) {
    boards.push_back(sim::BoardDirectory::Open(directory, error));
    if (!boards.back()) return nullptr;
    // A board.conf that sets the timing makes the board answer in real time.
    sim::SimBoard& board = boards.back()->Board();
    if (board.Config().keepsTime) board.KeepTime(os);
    if (board.Config().cpuLog) board.MeterCpu(os);
  }
  if (boards.empty()) {
    error = "TESSORA_SIM names no board directory";
    return nullptr;
  }
  auto stack = std::make_unique<sim::SimDeviceStack>(os);
  for (auto& board : boards) stack->AttachBoard(board->Board(), Identity(*board));
  std::unique_ptr<SimulatedDeviceAccess> access(new SimulatedDeviceAccess(std::move(boards), os));
  access->devices_ = std::make_unique<StackDeviceAccess>(settings, os, std::move(stack));
  return access;
}

std::vector<BoardAccess> SimulatedDeviceAccess::Boards(const Settings& settings) {
  std::vector<BoardAccess> boards;
  for (auto& directory : boards_) {
    auto stack = std::make_unique<sim::SimDeviceStack>(os_);
    stack->AttachBoard(directory->Board(), Identity(*directory));
    std::vector<DeviceInterfaceRecord> listed = TakeInventory(*stack, SelectedInterfaceKind(settings));
    if (listed.empty()) continue;
    BoardAccess board = NewBoard(listed.front(), settings);
    board.devices = std::make_unique<StackDeviceAccess>(*board.settings, os_, std::move(stack));
    boards.push_back(std::move(board));
  }
  return boards;
}

std::unique_ptr<DeviceWatch> SimulatedDeviceAccess::WatchBoards() {
  std::vector<std::string> directories;
  for (const auto& board : boards_) directories.push_back(board->Directory());
  return WatchDirectories(directories);
}

InterfaceKind SelectedInterfaceKind(const Settings& settings) {
  if (settings.useHid != 0) return InterfaceKind::Hid;
  return settings.useWinUsb != 0 ? InterfaceKind::WinUsb : InterfaceKind::FilterDriver;
}

std::unique_ptr<DeviceAccess> SelectDevice(DeviceAccess& all, Settings& settings, OsServices& os,
                                           const std::string& selector) {
  return std::make_unique<StackDeviceAccess>(settings, os, SelectedView(all.Stack(), DeviceSelector::Parse(selector)));
}

std::unique_ptr<DeviceAccess> OpenProgramDevices(Settings& settings, OsServices& os,
                                                 const DeviceStackFactory& newRealStack, std::string& error) {
  const char* board = std::getenv("TESSORA_SIM");
  if (board != nullptr && board[0] != '\0') return SimulatedDeviceAccess::Open(board, settings, os, error);
  return std::make_unique<StackDeviceAccess>(settings, os, newRealStack(), newRealStack);
}

}  // namespace tessora
