#include "app/device_key.h"

#include <cctype>
#include <cstdio>

#include "devlib/qorv_device_library.h"

namespace tessora {

namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string DeviceKey(std::uint16_t vendorId, std::uint16_t productId, const std::string& serial) {
  char ids[32];
  std::snprintf(ids, sizeof ids, "VID_%04X&PID_%04X#", vendorId, productId);
  return ids + Upper(serial);
}

std::string KeyFromInstanceId(const std::string& instanceId) {
  unsigned int vendorId = 0;
  unsigned int productId = 0;
  char separator = '\0';
  std::size_t serial = instanceId.rfind('\\');
  if (std::sscanf(Upper(instanceId).c_str(), "USB\\VID_%4x&PID_%4x%c", &vendorId, &productId, &separator) == 3 &&
      separator == '\\' && serial + 1 < instanceId.size())
    return DeviceKey(static_cast<std::uint16_t>(vendorId), static_cast<std::uint16_t>(productId),
                     instanceId.substr(serial + 1));
  std::string key = instanceId;
  for (char& c : key) c = c == '\\' ? '#' : c;
  return key;
}

std::string DriverDeviceKey(const EngineContext& engine) {
  if (engine.driverDevices == nullptr) return {};
  QorvDevice* record = engine.driverDevices->FindByHandle(engine.currentDevice);
  const char* instanceId = record != nullptr ? record->GetInstanceId() : nullptr;
  if (instanceId == nullptr || *instanceId == '\0') return {};
  return KeyFromInstanceId(instanceId);
}

}  // namespace tessora
