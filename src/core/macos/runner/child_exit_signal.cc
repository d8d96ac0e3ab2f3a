#include "core/macos/runner/child_exit_signal.h"

#include <errno.h>
#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <utility>

namespace ramdisk {

namespace {

// The write end of the live object's pipe, for the handler.
volatile std::sig_atomic_t wake_fd = -1;

void OnChildSignal(int) {
  const int saved_errno = errno;
  const char byte = 0;
  // The pipe never blocks: when it is full, a wake-up is pending anyway.
  ssize_t written = ::write(wake_fd, &byte, 1);
  static_cast<void>(written);
  errno = saved_errno;
}

}  // namespace

ChildExitSignal::ChildExitSignal(PipeEnds wake) noexcept : wake_(std::move(wake)) {
  wake_fd = wake_.write_end.get();
  struct sigaction action {};
  action.sa_handler = &OnChildSignal;
  sigemptyset(&action.sa_mask);
  // Only an end matters; calls that the signal interrupts carry on.
  action.sa_flags = SA_NOCLDSTOP | SA_RESTART;
  installed_ = ::sigaction(SIGCHLD, &action, &saved_action_) == 0;
  // A parent may have left SIGCHLD blocked, and the signal would then never
  // arrive.
  sigset_t child_signal;
  sigemptyset(&child_signal);
  sigaddset(&child_signal, SIGCHLD);
  unblocked_ = ::pthread_sigmask(SIG_UNBLOCK, &child_signal, &saved_mask_) == 0;
}

ChildExitSignal::~ChildExitSignal() {
  if (unblocked_)
    ::pthread_sigmask(SIG_SETMASK, &saved_mask_, nullptr);
  if (installed_)
    ::sigaction(SIGCHLD, &saved_action_, nullptr);
  wake_fd = -1;
}

void ChildExitSignal::Clear() const noexcept {
  char bytes[64];
  while (::read(fd(), bytes, sizeof bytes) > 0) {
  }
}

void ChildExitSignal::RestoreInChild() const noexcept {
  if (installed_)
    ::sigaction(SIGCHLD, &saved_action_, nullptr);
  if (unblocked_)
    ::sigprocmask(SIG_SETMASK, &saved_mask_, nullptr);
}

}  // namespace ramdisk
