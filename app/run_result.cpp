#include "app/run_result.h"

#include <cstdio>

#include "devlib/qorv_device.h"
#include "devlib/qorv_device_library.h"
#include "hid/hid_context.h"

namespace tessora {

namespace {

const char* InterfaceName(const Settings& settings) {
  if (settings.useHid != 0) return "hid";
  return settings.useWinUsb != 0 ? "winusb" : "filterdriver";
}

void AppendNumber(std::string& json, const char* key, long long value) {
  json += ",\"";
  json += key;
  json += "\":" + std::to_string(value);
}

}  // namespace

std::string ConnectedDevicePath(EngineContext& engine) {
  if (engine.settings.useHid != 0) {
    if (!engine.hidDevice || !engine.hidDevice->IsOpen() || engine.hid == nullptr) return "";
    // The cursor stands just past the entry that was opened.
    std::uint32_t cursor = engine.hid->HidDeviceCursor;
    return cursor > 0 && cursor <= engine.hid->HidDeviceCount ? engine.hid->HidDeviceTable[cursor - 1].path : "";
  }
  if (engine.driverDevices == nullptr || engine.currentDevice == 0) return "";
  QorvDevice* device = engine.driverDevices->FindByHandle(engine.currentDevice);
  return device != nullptr ? device->DevicePath() : "";
}

RunResult ResultOfProcedure(ShellContext& shell, std::string command, double seconds) {
  RunResult result;
  result.command = std::move(command);
  result.device = ConnectedDevicePath(shell.engine);
  result.interfaceName = InterfaceName(shell.settings);
  result.outcomeCode = shell.tally.outcome;
  result.outcomeText = shell.statusText.data();
  result.bytes = shell.tally.bytes;
  result.pages = shell.tally.pages;
  result.pageSize = shell.tally.pageSize;
  result.seconds = seconds;
  if (shell.tally.mismatch.count != 0) result.firstMismatch = shell.tally.mismatch;
  return result;
}

std::string JsonString(std::string_view text) {
  std::string json = "\"";
  for (char c : text) {
    switch (c) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\r':
        json += "\\r";
        break;
      case '\t':
        json += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          json += escaped;
        } else {
          json += c;
        }
    }
  }
  return json + "\"";
}

std::string RunResultJson(const RunResult& result) {
  std::string json = "{\"command\":" + JsonString(result.command) + ",\"device\":" + JsonString(result.device) +
                     ",\"interface\":" + JsonString(result.interfaceName);
  AppendNumber(json, "outcome_code", result.outcomeCode);
  json += ",\"outcome_text\":" + JsonString(result.outcomeText);
  json += ",\"format\":" + (result.format.empty() ? std::string("null") : JsonString(result.format));
  AppendNumber(json, "bytes", result.bytes);
  AppendNumber(json, "pages", result.pages);
  AppendNumber(json, "page_size", result.pageSize);
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, ",\"seconds\":%.3f", result.seconds);
  json += seconds;
  json += ",\"tool_version\":" + JsonString(result.toolVersion);
  json += ",\"first_mismatch\":";
  if (!result.firstMismatch) return json + "null}";
  const ImageMismatch& mismatch = *result.firstMismatch;
  json += "{\"address\":" + std::to_string(mismatch.firstAddress) + ",\"expected\":" +
          std::to_string(mismatch.expected) + ",\"found\":" + std::to_string(mismatch.found) +
          ",\"differing_bytes\":" + std::to_string(mismatch.count) + "}";
  return json + "}";
}

}  // namespace tessora
