#include "core/common/exception.h"

namespace ramdisk {

std::string FormatMessage(const std::string& format, std::initializer_list<std::string> args) {
  std::string result;
  std::string::size_type from = 0;
  for (const std::string& arg : args) {
    std::string::size_type at = format.find("%s", from);
    if (at == std::string::npos)
      break;
    result.append(format, from, at - from).append(arg);
    from = at + 2;
  }
  return result.append(format, from, std::string::npos);
}

}  // namespace ramdisk
