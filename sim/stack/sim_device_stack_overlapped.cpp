// Overlapped report reads of the simulated system. A read stays pending until the device
// has an input report for it; the report is copied into the reader's buffer and the
// record's event is set, on whichever thread brought the report.
#include "sim/stack/sim_device_stack.h"

namespace tessora::sim {

void SimDeviceStack::DeliverInputReport(std::size_t interfaceIndex, std::vector<std::uint8_t> report) {
  std::lock_guard lock(mutex_);
  HidFace* face = interfaces_[interfaceIndex].hidFace;
  if (face == nullptr) return;
  face->QueueInput(std::move(report));
  CompleteOverlappedReads(interfaceIndex);
}

void SimDeviceStack::TakeInputReport(SimFile& file, HidFace& face) {
  if (!file.read || file.read->ended || !face.InputWaiting()) return;
  std::uint32_t got = 0;
  if (face.ReadInput(file.readBuffer, file.readSize, &got))
    EndRead(*file.read, got, kErrorSuccess);
  else
    EndRead(*file.read, 0, kErrorGenFailure);
}

void SimDeviceStack::CompleteOverlappedReads(std::size_t interfaceIndex) {
  HidFace* face = interfaces_[interfaceIndex].hidFace;
  if (face == nullptr) return;
  for (auto& [handle, file] : Files()) {
    auto& simFile = static_cast<SimFile&>(*file);
    if (simFile.interfaceIndex == interfaceIndex) TakeInputReport(simFile, *face);
  }
}

bool SimDeviceStack::ReadsReports(OpenFile& file) {
  const SimInterface& interface = interfaces_[static_cast<SimFile&>(file).interfaceIndex];
  if (!InterfaceIsPresent(interface)) return Fail(kErrorDeviceNotConnected);
  return interface.hidFace != nullptr || Fail(kErrorInvalidFunction);
}

bool SimDeviceStack::StartRead(OpenFile& file, OverlappedTransfer& read, void* buffer, std::uint32_t size) {
  auto& simFile = static_cast<SimFile&>(file);
  simFile.readBuffer = static_cast<std::uint8_t*>(buffer);
  simFile.readSize = size;
  TakeInputReport(simFile, *interfaces_[simFile.interfaceIndex].hidFace);
  return read.ended;
}

bool SimDeviceStack::CancelRead(OpenFile& /*file*/, OverlappedTransfer& read) {
  EndRead(read, 0, kErrorOperationAborted);
  return true;
}

}  // namespace tessora::sim
