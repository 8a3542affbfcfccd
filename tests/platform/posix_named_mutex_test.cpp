// The Linux named mutex: the address a name maps to, and a holder in a process that can
// write nowhere the locks used to live.
#ifndef _WIN32
#include "platform/posix/posix_named_mutex.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/types.h"
#include "platform/posix/unique_descriptor.h"
#include "tests/support/test_support.h"

namespace tessora {
namespace {

std::unique_ptr<NamedMutex> OpenMutex(const std::string& name, const std::string& lockNamespace) {
  std::uint32_t lastError = 0;
  return PosixNamedMutex::Open(name.c_str(), lockNamespace, lastError);
}

// Names of any length map to an address of their own in their namespace: a long name is
// not cut to a shorter one's lock, nor refused for want of room in the address.
TEST(PosixNamedMutex, EveryNameAndNamespaceHasALockOfItsOwn) {
  const std::string unique = test::UniqueSerial();
  const std::string longTail(300, 'x');
  const struct {
    const char* name;
    std::string first, firstNamespace, second, secondNamespace;
    bool shared;
  } cases[] = {
      {"one name", unique, "a", unique, "a", true},
      {"another namespace", unique, "a", unique, "b", false},
      {"namespace and name split elsewhere", unique, "ab", "b" + unique, "a", false},
      {"long names that differ before their readable end", "1" + unique + longTail, "a", "2" + unique + longTail,
       "a", false},
      {"one long name", unique + longTail, "a", unique + longTail, "a", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto first = OpenMutex(c.first, c.firstNamespace);
    auto second = OpenMutex(c.second, c.secondNamespace);
    ASSERT_TRUE(first && second);
    ASSERT_EQ(first->Wait(0), kWaitObject0);
    std::uint32_t other = second->Wait(0);
    EXPECT_EQ(other, c.shared ? kWaitTimeout : kWaitObject0);
    if (other == kWaitObject0) second->Release();
    first->Release();
  }
}

// Between Keep and EndKeep the owner's last Release leaves the address bound: another
// holder of the name finds the lock held, while the owner takes it again at once (a bind
// of its own would find the address in use). Ending the keep frees it, at once or, while
// the lock is held, at its last Release.
TEST(PosixNamedMutex, AKeptLockStaysTakenBetweenTheOwnersHolds) {
  const std::string name = test::UniqueSerial();
  auto mine = OpenMutex(name, "keep");
  auto other = OpenMutex(name, "keep");
  ASSERT_TRUE(mine && other);
  for (bool endWhileHeld : {false, true}) {
    SCOPED_TRACE(endWhileHeld ? "ended while held" : "ended between holds");
    mine->Keep();
    ASSERT_EQ(mine->Wait(0), kWaitObject0);
    ASSERT_TRUE(mine->Release());
    EXPECT_EQ(other->Wait(0), kWaitTimeout);
    ASSERT_EQ(mine->Wait(0), kWaitObject0);
    if (endWhileHeld) mine->EndKeep();
    ASSERT_TRUE(mine->Release());
    if (!endWhileHeld) {
      EXPECT_EQ(other->Wait(0), kWaitTimeout);
      mine->EndKeep();
    }
    ASSERT_EQ(other->Wait(0), kWaitObject0);
    other->Release();
  }
}

// What the child in its own namespaces ended with, as its exit status.
enum ChildOutcome { kHeldAndLeft = 0, kNoNamespaces = 10, kStillWritable = 11, kNotTaken = 12 };

bool WriteText(const char* path, const char* text) {
  UniqueDescriptor file(::open(path, O_WRONLY | O_CLOEXEC));
  auto length = static_cast<ssize_t>(std::char_traits<char>::length(text));
  return file.Valid() && ::write(file.Get(), text, static_cast<std::size_t>(length)) == length;
}

// A user and mount namespace of its own, its user still itself, where a read-only file
// system covers /run/lock: there even root can make no file.
bool CoverLockDirectoryReadOnly() {
  char uidMap[64], gidMap[64];
  std::snprintf(uidMap, sizeof uidMap, "0 %u 1", static_cast<unsigned>(getuid()));
  std::snprintf(gidMap, sizeof gidMap, "0 %u 1", static_cast<unsigned>(getgid()));
  return ::unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0 && WriteText("/proc/self/uid_map", uidMap) &&
         WriteText("/proc/self/setgroups", "deny") && WriteText("/proc/self/gid_map", gidMap) &&
         ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         ::mount("tessora-test", "/run/lock", "tmpfs", MS_RDONLY, nullptr) == 0;
}

// Runs in the forked child: takes the lock where /run/lock is read-only, says so, and on
// the word ends without releasing it.
[[noreturn]] void HoldUnderReadOnlyLockDirectory(const std::string& name, int ready, int go) {
  if (!CoverLockDirectoryReadOnly()) ::_exit(kNoNamespaces);
  UniqueDescriptor probe(::open("/run/lock/tessora-probe", O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
  if (probe.Valid() || errno != EROFS) ::_exit(kStillWritable);
  auto mutex = OpenMutex(name, "");
  if (!mutex || mutex->Wait(0) != kWaitObject0) ::_exit(kNotTaken);
  char byte = 1;
  if (::write(ready, &byte, 1) != 1) ::_exit(kNotTaken);
  while (::read(go, &byte, 1) < 0 && errno == EINTR) {
  }
  ::_exit(kHeldAndLeft);
}

// A program that cannot write /run/lock still takes the lock, and every other program
// sees it held, across the namespace boundary; the holder's death frees it. The name is
// the default namespace's, unique to this run.
TEST(PosixNamedMutex, ALockNeedsNoWritableDirectoryAndEndsWithItsHolder) {
  const std::string name = "Global\\tessora_" + test::UniqueSerial();
  auto mine = OpenMutex(name, "");
  ASSERT_NE(mine, nullptr);
  int ready[2], go[2];
  ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
  ASSERT_EQ(::pipe2(go, O_CLOEXEC), 0);
  UniqueDescriptor readyRead(ready[0]), readyWrite(ready[1]), goRead(go[0]), goWrite(go[1]);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Its copies of the parent's ends would keep either pipe from ever ending.
    readyRead.Reset();
    goWrite.Reset();
    HoldUnderReadOnlyLockDirectory(name, readyWrite.Get(), goRead.Get());
  }
  readyWrite.Reset();
  goRead.Reset();

  char byte = 0;
  bool held = ::read(readyRead.Get(), &byte, 1) == 1;  // end of file when the child ended first
  std::uint32_t whileHeld = held ? mine->Wait(0) : kWaitFailed;
  if (whileHeld == kWaitObject0) mine->Release();
  goWrite.Reset();
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == kNoNamespaces)
    GTEST_SKIP() << "this kernel or container lets no process make a user and mount namespace and mount in it";
  ASSERT_EQ(WEXITSTATUS(status), kHeldAndLeft);
  EXPECT_EQ(whileHeld, kWaitTimeout);
  EXPECT_EQ(mine->Wait(0), kWaitObject0);
  mine->Release();
}

}  // namespace
}  // namespace tessora
#endif
