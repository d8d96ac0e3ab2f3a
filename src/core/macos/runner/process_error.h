#ifndef RAMDISK_CORE_MACOS_RUNNER_PROCESS_ERROR_H_
#define RAMDISK_CORE_MACOS_RUNNER_PROCESS_ERROR_H_

#include "core/common/exception.h"

namespace ramdisk {

// A system tool could not be started, or its run was not a success. For a
// failed run the message is the first line of the tool's standard error.
class EProcess : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_RUNNER_PROCESS_ERROR_H_
