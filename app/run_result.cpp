#include "app/run_result.h"

#include <cstdio>

#include "app/device_key.h"
#include "devlib/qorv_device.h"
#include "devlib/qorv_device_library.h"
#include "hid/hid_context.h"

namespace tessora {

namespace {

void AppendNumber(std::string& json, const char* key, long long value) {
  json += ",\"";
  json += key;
  json += "\":" + std::to_string(value);
}

// The path of the device the engine talks to; empty when none is open.
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

void AppendText(std::string& json, const char* key, const std::string& text) {
  json += ",\"";
  json += key;
  json += "\":" + (text.empty() ? std::string("null") : JsonString(text));
}

}  // namespace

const char* InterfaceKey(const Settings& settings) {
  if (settings.useHid != 0) return "hid";
  return settings.useWinUsb != 0 ? "winusb" : "filterdriver";
}

BoardIdentity ConnectedBoard(EngineContext& engine) {
  BoardIdentity board;
  board.path = ConnectedDevicePath(engine);
  if (board.path.empty()) return board;
  BoardNames names = ConnectedBoardNames(engine);
  board.serial = std::move(names.serial);
  board.port = std::move(names.port);
  return board;
}

std::string BoardLabel(const BoardIdentity& board) {
  if (board.serial.empty()) return board.port.empty() ? board.path : "port " + board.port;
  return board.port.empty() ? board.serial : board.serial + " (port " + board.port + ")";
}

RunResult ResultOfProcedure(ShellContext& shell, std::string command, double seconds) {
  RunResult result;
  result.command = std::move(command);
  BoardIdentity board = ConnectedBoard(shell.engine);
  result.device = board.path;
  result.serial = board.serial;
  result.port = board.port;
  result.interfaceName = InterfaceKey(shell.settings);
  result.outcomeCode = shell.tally.outcome;
  result.outcomeText = shell.statusText.data();
  result.bytes = shell.tally.bytes;
  result.pages = shell.tally.pages;
  result.pageSize = shell.tally.pageSize;
  // An update of changed pages counts the pages it wrote of all the image has.
  if (shell.updateChangedOnly && shell.tally.pageSize > 0) {
    auto all = (shell.tally.bytes + static_cast<std::uint32_t>(shell.tally.pageSize) - 1) /
               static_cast<std::uint32_t>(shell.tally.pageSize);
    result.pagesSkipped = all > result.pages ? all - result.pages : 0;
  }
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
  std::string json = "{\"command\":" + (result.command.empty() ? std::string("null") : JsonString(result.command));
  AppendText(json, "device", result.device);
  AppendText(json, "serial", result.serial);
  AppendText(json, "port", result.port);
  AppendText(json, "interface", result.interfaceName);
  json += ",\"outcome_code\":" + (result.outcomeCode ? std::to_string(*result.outcomeCode) : std::string("null"));
  json += ",\"outcome_text\":" + JsonString(result.outcomeText);
  AppendText(json, "format", result.format);
  AppendText(json, "image", result.image);
  AppendText(json, "image_sha256", result.imageSha256);
  AppendNumber(json, "bytes", result.bytes);
  AppendNumber(json, "pages", result.pages);
  AppendNumber(json, "pages_skipped", result.pagesSkipped);
  AppendNumber(json, "page_size", result.pageSize);
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, ",\"seconds\":%.3f", result.seconds);
  json += seconds;
  AppendNumber(json, "exit_status", result.exitStatus);
  AppendText(json, "tool_version", result.toolVersion);
  json += ",\"first_mismatch\":";
  if (!result.firstMismatch) return json + "null}";
  const ImageMismatch& mismatch = *result.firstMismatch;
  json += "{\"address\":" + std::to_string(mismatch.firstAddress) + ",\"expected\":" +
          std::to_string(mismatch.expected) + ",\"found\":" + std::to_string(mismatch.found) +
          ",\"differing_bytes\":" + std::to_string(mismatch.count) + "}";
  return json + "}";
}

}  // namespace tessora
