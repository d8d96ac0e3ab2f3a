#include "core/common/exception.h"

namespace ramdisk {

std::string FormatMessage(const std::string& format, const std::string& arg) {
  std::string::size_type at = format.find("%s");
  if (at == std::string::npos)
    return format;
  std::string result = format;
  result.replace(at, 2, arg);
  return result;
}

}  // namespace ramdisk
