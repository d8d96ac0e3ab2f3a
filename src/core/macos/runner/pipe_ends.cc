#include "core/macos/runner/pipe_ends.h"

#include <fcntl.h>
#include <unistd.h>

namespace ramdisk {

namespace {

bool PrepareEnd(UniqueFd& fd, bool nonblocking) {
  if (fd.get() <= STDERR_FILENO) {
    int moved = ::fcntl(fd.get(), F_DUPFD, STDERR_FILENO + 1);
    if (moved < 0)
      return false;
    fd.reset(moved);
  }
  if (::fcntl(fd.get(), F_SETFD, FD_CLOEXEC) != 0)
    return false;
  if (!nonblocking)
    return true;
  int flags = ::fcntl(fd.get(), F_GETFL);
  return flags >= 0 && ::fcntl(fd.get(), F_SETFL, flags | O_NONBLOCK) == 0;
}

}  // namespace

bool CreatePipe(PipeEnds& pipe, bool nonblocking) {
  int fds[2];
  if (::pipe(fds) != 0)
    return false;
  pipe.read_end.reset(fds[0]);
  pipe.write_end.reset(fds[1]);
  return PrepareEnd(pipe.read_end, nonblocking) && PrepareEnd(pipe.write_end, nonblocking);
}

}  // namespace ramdisk
