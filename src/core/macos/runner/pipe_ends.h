#ifndef RAMDISK_CORE_MACOS_RUNNER_PIPE_ENDS_H_
#define RAMDISK_CORE_MACOS_RUNNER_PIPE_ENDS_H_

#include "core/common/unique_fd.h"

namespace ramdisk {

// The two ends of one pipe.
struct PipeEnds {
  UniqueFd read_end;
  UniqueFd write_end;
};

// Makes a pipe whose ends are close-on-exec, so that no child inherits them,
// and numbered above the standard descriptors, so that dup2 onto 0, 1 or 2
// in a child never lands on another end and always clears close-on-exec on
// its target. With `nonblocking`, neither end blocks. False when any of it
// fails; `pipe` then holds whatever was made, and closes it when destroyed.
bool CreatePipe(PipeEnds& pipe, bool nonblocking = false);

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_RUNNER_PIPE_ENDS_H_
