#pragma once
#include <array>
#include <climits>
#include <cstdint>

#include "app/text_fit.h"
#include "app/ui_port.h"
#include "engine/compare_eeprom.h"
#include "engine/engine_context.h"
#include "engine/image_format.h"
#include "engine/settings.h"
#include "platform/os_services.h"
#include "platform/settings_store.h"

namespace tessora {

constexpr std::size_t kStatusTextSize = 256;
// The file name the shell keeps: Windows' own 260 characters, elsewhere the platform's
// path length, so that any name the system can open is taken whole.
#ifdef _WIN32
constexpr std::size_t kFilePathSize = 260;
#else
constexpr std::size_t kFilePathSize = PATH_MAX;
#endif

// What the last procedure did, for a result record: its outcome (the update's outcome
// codes, which the other procedures share), the bytes it covered, the pages it moved in
// its last attempt and their size, and how a comparison found the EEPROM.
struct ProcedureTally {
  int outcome = 0;
  std::uint32_t bytes = 0;
  std::uint32_t pages = 0;
  int pageSize = 0;
  ImageMismatch mismatch;
};

// The shell's state for the whole run: the settings, the window text, the file of the
// current update or read-out and the outcome of the last update.
struct ShellContext {
  ShellContext(Settings& settingsIn, EngineContext& engineIn, UiPort& uiIn, OsServices& osIn, SettingsStore& storeIn,
               CharStepper nextCharIn = NextUtf8Char)
      : settings(settingsIn), engine(engineIn), ui(uiIn), os(osIn), store(storeIn), nextChar(nextCharIn) {}

  Settings& settings;
  EngineContext& engine;
  UiPort& ui;
  OsServices& os;
  SettingsStore& store;
  CharStepper nextChar;

  std::array<char, kStatusTextSize> statusText{};
  std::array<char, kFilePathSize> filePath{};
  std::int32_t exitCode = 0;
  bool silentMode = false;
  int updateResult = 1;
  // The window program reads and writes text images only; the console may choose.
  ImageFormat imageFormat = ImageFormat::Text;
  bool updateChangedOnly = false;  // write only the pages that differ (console)
  // The console's rules for an image file, checked before anything is sent: a text or
  // Intel HEX file holds text only (a stray control byte or UTF-16 is an unreadable image,
  // not a guess), and a text image reaching beyond the part is unreadable rather than an
  // update that fails at every page size.
  bool consoleImageRules = false;
  // The console's: a lock that could not be taken is named, and a driver device that a
  // lock kept away is reported as such rather than as a device not found.
  bool namesLocks = false;
  ProcedureTally tally;
};

}  // namespace tessora
