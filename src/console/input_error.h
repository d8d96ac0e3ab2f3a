#ifndef RAMDISK_CONSOLE_INPUT_ERROR_H_
#define RAMDISK_CONSOLE_INPUT_ERROR_H_

#include "core/common/exception.h"

namespace ramdisk {

// Bad user input: a missing or unacceptable switch value.
class EInputError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace ramdisk

#endif  // RAMDISK_CONSOLE_INPUT_ERROR_H_
