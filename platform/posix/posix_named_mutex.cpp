#include "platform/posix/posix_named_mutex.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>

#include "platform/types.h"

namespace tessora {

// Layout of the shared memory. `users` counts the open objects across processes; it is
// only touched under an flock() of the shared-memory descriptor, as is the first set-up.
struct SharedMutexBlock {
  pthread_mutex_t mutex;
  std::uint32_t magic;
  std::uint32_t users;
};

namespace {

constexpr std::uint32_t kBlockMagic = 0x71326D78;
constexpr int kOpenAttempts = 8;

std::uint32_t LastErrorFor(int error) {
  switch (error) {
    case EACCES:
    case EPERM: return kErrorAccessDenied;
    case ENAMETOOLONG:
    case EINVAL: return kErrorInvalidParameter;
    default: return kErrorGenFailure;
  }
}

// Holds the flock() that serialises set-up and tear-down of one shared-memory object.
class SetupLock {
 public:
  explicit SetupLock(int descriptor) : descriptor_(descriptor) {
    while (flock(descriptor_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~SetupLock() { flock(descriptor_, LOCK_UN); }
  SetupLock(const SetupLock&) = delete;
  SetupLock& operator=(const SetupLock&) = delete;

 private:
  int descriptor_;
};

bool InitialiseMutex(pthread_mutex_t& mutex) {
  pthread_mutexattr_t attributes;
  if (pthread_mutexattr_init(&attributes) != 0) return false;
  bool ready = pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED) == 0 &&
               pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST) == 0 &&
               pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE) == 0 &&
               pthread_mutex_init(&mutex, &attributes) == 0;
  pthread_mutexattr_destroy(&attributes);
  return ready;
}

timespec DeadlineAfter(std::uint32_t milliseconds) {
  timespec deadline{};
  clock_gettime(CLOCK_REALTIME, &deadline);
  deadline.tv_sec += static_cast<time_t>(milliseconds / 1000);
  deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  return deadline;
}

}  // namespace

std::string SharedMemoryNameFor(const char* mutexName) {
  std::string name = "/tessora.";
  for (const char* c = mutexName; *c != '\0'; ++c) {
    switch (*c) {
      case '%': name += "%25"; break;
      case '/': name += "%2F"; break;
      case '\\': name += "%5C"; break;
      default: name += *c;
    }
  }
  return name;
}

std::unique_ptr<NamedMutex> PosixNamedMutex::Open(const char* name, std::uint32_t& lastError) {
  if (name == nullptr || *name == '\0') {
    lastError = kErrorInvalidParameter;
    return nullptr;
  }
  std::string objectName = SharedMemoryNameFor(name);
  if (objectName.size() > NAME_MAX) {
    lastError = kErrorInvalidParameter;
    return nullptr;
  }
  // A last user may remove the name between our open and our lock; we then hold an
  // orphan (no links left) and start again, so that every opener shares one object.
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    int descriptor = shm_open(objectName.c_str(), O_RDWR | O_CREAT, 0666);
    if (descriptor < 0) {
      lastError = LastErrorFor(errno);
      return nullptr;
    }
    SharedMutexBlock* block = nullptr;
    bool existed = false;
    bool orphaned = false;
    {
      SetupLock setup(descriptor);
      struct stat status{};
      if (fstat(descriptor, &status) != 0) {
        lastError = LastErrorFor(errno);
      } else if (status.st_nlink == 0) {
        orphaned = true;
      } else if (status.st_size < static_cast<off_t>(sizeof(SharedMutexBlock)) &&
                 ftruncate(descriptor, sizeof(SharedMutexBlock)) != 0) {
        lastError = LastErrorFor(errno);
      } else {
        void* mapped = mmap(nullptr, sizeof(SharedMutexBlock), PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
        if (mapped == MAP_FAILED) {
          lastError = LastErrorFor(errno);
        } else {
          block = static_cast<SharedMutexBlock*>(mapped);
          existed = block->magic == kBlockMagic && block->users > 0;
          if (block->magic != kBlockMagic) {
            if (InitialiseMutex(block->mutex)) {
              block->magic = kBlockMagic;
              block->users = 0;
            } else {
              munmap(block, sizeof(SharedMutexBlock));
              block = nullptr;
              lastError = kErrorGenFailure;
            }
          }
          if (block != nullptr) ++block->users;
        }
      }
    }
    if (block != nullptr) {
      lastError = existed ? kErrorAlreadyExists : kErrorSuccess;
      return std::unique_ptr<NamedMutex>(new PosixNamedMutex(std::move(objectName), descriptor, block));
    }
    close(descriptor);
    if (!orphaned) return nullptr;
  }
  lastError = kErrorGenFailure;
  return nullptr;
}

PosixNamedMutex::~PosixNamedMutex() {
  {
    SetupLock setup(descriptor_);
    if (--block_->users == 0) shm_unlink(objectName_.c_str());
  }
  munmap(block_, sizeof(SharedMutexBlock));
  close(descriptor_);
}

std::uint32_t PosixNamedMutex::Wait(std::uint32_t timeoutMilliseconds) {
  // A free or abandoned mutex is taken at once; trying first also keeps abandonment out
  // of pthread_mutex_timedlock, which ThreadSanitizer does not follow through it.
  int result = pthread_mutex_trylock(&block_->mutex);
  if (result == EBUSY && timeoutMilliseconds == kInfinite) {
    result = pthread_mutex_lock(&block_->mutex);
  } else if (result == EBUSY && timeoutMilliseconds > 0) {
    timespec deadline = DeadlineAfter(timeoutMilliseconds);
    result = pthread_mutex_timedlock(&block_->mutex, &deadline);
  } else if (result == EBUSY) {
    result = ETIMEDOUT;
  }
  switch (result) {
    case 0: return kWaitObject0;
    case EOWNERDEAD:
      // The holder died: the mutex is ours, and whatever it guarded is the caller's to check.
      return pthread_mutex_consistent(&block_->mutex) == 0 ? kWaitAbandoned : kWaitFailed;
    case ETIMEDOUT: return kWaitTimeout;
    default: return kWaitFailed;
  }
}

bool PosixNamedMutex::Release() { return pthread_mutex_unlock(&block_->mutex) == 0; }

}  // namespace tessora
