#include "tests/wine_hid/wine_prefix.h"

#include <fcntl.h>
#include <sys/file.h>

#include <filesystem>

#include "tests/support/test_support.h"

namespace tessora::test {

namespace {

using std::chrono::seconds;

// A fresh prefix takes some 20 s to create on a loaded machine. The limit stays below the
// test program's watchdog, so that a creation that hangs fails with Wine's own words.
constexpr seconds kCreationLimit{75};
constexpr seconds kServerLimit{30};

// Whether the registry file sets the value in the key: its section runs to the next one.
bool RegistryHolds(const std::string& registry, const std::string& key, const std::string& value) {
  std::size_t section = registry.find("\n[" + key + "]");
  if (section == std::string::npos) return false;
  std::size_t end = registry.find("\n[", section + 1);
  std::size_t at = registry.find("\n" + value + "\n", section);
  return at != std::string::npos && at < end;
}

}  // namespace

WinePrefix::WinePrefix(std::string path) : path_(std::move(path)) {
  std::filesystem::create_directories(std::filesystem::path(path_).parent_path());
  // Only one process at a time may create, change or run the prefix.
  lock_ = UniqueDescriptor(::open((path_ + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!lock_.Valid() || ::flock(lock_.Get(), LOCK_EX) != 0) {
    problem_ = "cannot lock " + path_ + ".lock";
    return;
  }
  // A server left running by a run that was killed would not carry this run's machine.
  StopServer();
  if (!std::filesystem::exists(path_ + "/system.reg") && !Create()) return;
  TurnOffSdl();
}

ChildEnvironment WinePrefix::Environment() const {
  ChildEnvironment environment;
  environment.Set("WINEPREFIX", path_);
  environment.Set("WINEARCH", "win64");
  environment.Set("WINEDEBUG", "-all");
  environment.Set("WINEDLLOVERRIDES", "mscoree,mshtml=");
  // The programs are to meet the devices Wine finds, never the simulated board, and the
  // prefix is made ready outside any emulated machine.
  environment.Unset("TESSORA_SIM");
  environment.Unset("UMOCKDEV_DIR");
  environment.Unset("LD_PRELOAD");
  return environment;
}

void WinePrefix::StopServer() const {
  RunChild({kWineServer, "-k"}, Environment(), kServerLimit);
  RunChild({kWineServer, "-w"}, Environment(), kServerLimit);
}

bool WinePrefix::Create() {
  ChildRun boot = RunChild({kWine64, "wineboot", "-i"}, Environment(), kCreationLimit);
  RunChild({kWineServer, "-w"}, Environment(), kServerLimit);
  if (!std::filesystem::exists(path_ + "/system.reg")) {
    problem_ = "wineboot -i did not create " + path_ + ": " + boot.errors;
    return false;
  }
  return true;
}

// With Wine's default, winebus starts only its SDL backend where libSDL2 is installed, and
// that one looks for game controllers alone: no hidraw node would ever be opened.
bool WinePrefix::TurnOffSdl() {
  const std::string key = "System\\\\CurrentControlSet\\\\Services\\\\winebus";
  const std::string value = "\"Enable SDL\"=dword:00000000";
  if (RegistryHolds(ReadFile(path_ + "/system.reg"), key, value)) return true;
  RunChild({kWine64, "reg", "add", "HKLM\\System\\CurrentControlSet\\Services\\winebus", "/v", "Enable SDL", "/t",
            "REG_DWORD", "/d", "0", "/f"},
           Environment(), kServerLimit);
  RunChild({kWineServer, "-w"}, Environment(), kServerLimit);
  if (RegistryHolds(ReadFile(path_ + "/system.reg"), key, value)) return true;
  problem_ = "could not set winebus's \"Enable SDL\" to 0 in " + path_;
  return false;
}

}  // namespace tessora::test
