#include "tests/wine_hid/wine_prefix.h"

#include <fcntl.h>
#include <sys/file.h>

#include <filesystem>

#include "tests/support/test_support.h"

namespace tessora::test {

namespace {

using std::chrono::seconds;

// A fresh prefix takes some 20 s to create, and a minute on a machine busy with other Wine
// tests; far more means Wine hangs.
constexpr seconds kCreationLimit{180};
constexpr seconds kServerLimit{30};

// Whether the registry file sets the value in the key: its section runs to the next one.
bool RegistryHolds(const std::string& registry, const std::string& key, const std::string& value) {
  std::size_t section = registry.find("\n[" + key + "]");
  if (section == std::string::npos) return false;
  std::size_t end = registry.find("\n[", section + 1);
  std::size_t at = registry.find("\n" + value + "\n", section);
  return at != std::string::npos && at < end;
}

// With Wine's default, winebus starts only its SDL backend where libSDL2 is installed, and
// that one looks for game controllers alone: no hidraw node would ever be opened.
constexpr char kWinebusKey[] = "System\\\\CurrentControlSet\\\\Services\\\\winebus";
constexpr char kSdlOff[] = "\"Enable SDL\"=dword:00000000";

}  // namespace

std::string WinePrefix::Prepare(const std::string& path) {
  WinePrefix prefix(path);
  if (prefix.problem_.empty() || !prefix.lock_.Valid()) return prefix.problem_;
  prefix.problem_.clear();
  if (!std::filesystem::exists(path + "/system.reg")) prefix.Create();
  if (prefix.problem_.empty()) prefix.TurnOffSdl();
  return prefix.problem_;
}

WinePrefix::WinePrefix(std::string path) : path_(std::move(path)) {
  std::filesystem::create_directories(std::filesystem::path(path_).parent_path());
  // Only one process at a time may create, change or run the prefix.
  UniqueDescriptor lock(::open((path_ + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!lock.Valid() || ::flock(lock.Get(), LOCK_EX) != 0) {
    problem_ = "cannot lock " + path_ + ".lock";
    return;
  }
  lock_ = std::move(lock);
  // A server left running by a run that was killed would not carry this run's machine.
  StopServer();
  if (!RegistryHolds(ReadFile(path_ + "/system.reg"), kWinebusKey, kSdlOff))
    problem_ = path_ + " is not prepared: no prefix, or winebus's \"Enable SDL\" is not 0";
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

void WinePrefix::Create() {
  ChildRun boot = RunChild({kWine64, "wineboot", "-i"}, Environment(), kCreationLimit);
  RunChild({kWineServer, "-w"}, Environment(), kServerLimit);
  if (!std::filesystem::exists(path_ + "/system.reg"))
    problem_ = "wineboot -i did not create " + path_ + ": " + boot.errors;
}

void WinePrefix::TurnOffSdl() {
  RunChild({kWine64, "reg", "add", "HKLM\\System\\CurrentControlSet\\Services\\winebus", "/v", "Enable SDL", "/t",
            "REG_DWORD", "/d", "0", "/f"},
           Environment(), kCreationLimit);
  RunChild({kWineServer, "-w"}, Environment(), kServerLimit);
  if (!RegistryHolds(ReadFile(path_ + "/system.reg"), kWinebusKey, kSdlOff))
    problem_ = "could not set winebus's \"Enable SDL\" to 0 in " + path_;
}

}  // namespace tessora::test
