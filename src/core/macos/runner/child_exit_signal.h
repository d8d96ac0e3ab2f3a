#ifndef RAMDISK_CORE_MACOS_RUNNER_CHILD_EXIT_SIGNAL_H_
#define RAMDISK_CORE_MACOS_RUNNER_CHILD_EXIT_SIGNAL_H_

#include <signal.h>

#include "core/macos/runner/pipe_ends.h"

namespace ramdisk {

// While alive, every child of this process that ends puts a byte into a
// pipe, so that poll can wait for a child's end and for its output at the
// same time. It catches SIGCHLD in place of the disposition it finds (not
// for children that stop or continue) and unblocks SIGCHLD for the calling
// thread; it puts both back when destroyed. No other signal is touched.
// The disposition is process-wide: one object at a time per process.
class ChildExitSignal {
 public:
  // Takes a pipe made by CreatePipe with `nonblocking`.
  explicit ChildExitSignal(PipeEnds wake) noexcept;
  ~ChildExitSignal();
  ChildExitSignal(const ChildExitSignal&) = delete;
  ChildExitSignal& operator=(const ChildExitSignal&) = delete;

  // Readable once a child has ended since the last Clear (or, now and then,
  // for no reason: a wake-up says only "look").
  int fd() const noexcept { return wake_.read_end.get(); }

  // Takes the bytes waiting in the pipe.
  void Clear() const noexcept;

  // For a forked child before execve: gives it back the SIGCHLD disposition
  // and the signal mask found, as it would have inherited them without this
  // object. Async-signal-safe.
  void RestoreInChild() const noexcept;

 private:
  PipeEnds wake_;
  bool installed_ = false;
  bool unblocked_ = false;
  struct sigaction saved_action_ {};
  sigset_t saved_mask_;
};

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_RUNNER_CHILD_EXIT_SIGNAL_H_
