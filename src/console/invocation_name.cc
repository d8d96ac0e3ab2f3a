#include "console/invocation_name.h"

#include "core/common/ascii.h"

namespace ramdisk {

namespace {

constexpr std::size_t kMaxProgramNameBytes = 255;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

std::string InvocationName(std::string_view program_name) {
  std::string_view name = program_name.substr(0, kMaxProgramNameBytes);

  std::string_view::size_type separator = name.find_last_of("/\\");
  if (separator != std::string_view::npos)
    name.remove_prefix(separator + 1);

  std::string_view::size_type last = name.find_last_of("/\\.");
  if (last != std::string_view::npos && last > 0 && name[last] == '.' &&
      !IsSeparator(name[last - 1]))
    name = name.substr(0, last);

  return AsciiLowerCase(name);
}

}  // namespace ramdisk
