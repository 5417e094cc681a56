// A seam under every file-system call of the platform layer, for tests: SystemCallFailure makes
// the Nth call of one kind fail with a given system error, as if the operating system had
// refused it. Both backends ask InjectedFailure before each call whose outcome they use, so the
// production paths are the ones a test fails; unarmed, the question costs one thread-local load.
//
//   SystemCallFailure failure(SystemCall::kWrite, 2, kErrorDiskFull);  // the second write fails
//   RunTheOperation();
//   if (!failure.struck()) { /* the operation made fewer than two writes */ }
//
// Arming is per thread: only calls made on the thread that armed it are counted and failed, so
// dul-host's other threads never see a test's failure, and no lock is needed. The destructor
// restores whatever was armed before, so nothing leaks from one test into the next.
#pragma once

#include <cstdint>
#include <optional>

namespace dul::platform {

// The kinds of system call the file-system operations make.
enum class SystemCall : std::uint8_t {
  kQueryAttributes,  // stat, lstat, access; GetFileAttributesW, _waccess
  kCurrentDirectory,
  kChangeDirectory,
  kCreateDirectory,
  kList,  // opening a directory listing and each step through it
  kOpen,  // opening or creating a file, temporary files included
  kRead,
  kWrite,
  kFlush,
  kClose,           // closing a file that was written
  kSetPermissions,  // posix only: the mode of a replacement file
  kRename,
  kDelete,
};

inline constexpr SystemCall kAllSystemCalls[] = {
    SystemCall::kQueryAttributes,
    SystemCall::kCurrentDirectory,
    SystemCall::kChangeDirectory,
    SystemCall::kCreateDirectory,
    SystemCall::kList,
    SystemCall::kOpen,
    SystemCall::kRead,
    SystemCall::kWrite,
    SystemCall::kFlush,
    SystemCall::kClose,
    SystemCall::kSetPermissions,
    SystemCall::kRename,
    SystemCall::kDelete,
};

const char* SystemCallName(SystemCall call);

// Arms one failure on the calling thread for the object's lifetime.
class SystemCallFailure {
 public:
  // Fails the `nth` call (counted from 1) of kind `call` with the system error `error`.
  SystemCallFailure(SystemCall call, std::uint32_t nth, std::uint32_t error);
  ~SystemCallFailure();
  SystemCallFailure(const SystemCallFailure&) = delete;
  SystemCallFailure& operator=(const SystemCallFailure&) = delete;

  // Whether the Nth call was reached and failed.
  bool struck() const { return seen_ >= nth_; }
  // Calls of the kind made on this thread since arming.
  std::uint32_t seen() const { return seen_; }

 private:
  friend std::optional<std::uint32_t> InjectedFailure(SystemCall call);

  SystemCall call_;
  std::uint32_t nth_;
  std::uint32_t error_;
  std::uint32_t seen_ = 0;
  SystemCallFailure* previous_;
};

// For the backends, before each call of kind `call`: the system error the call must fail with,
// or nothing when it goes ahead.
std::optional<std::uint32_t> InjectedFailure(SystemCall call);

}  // namespace dul::platform
