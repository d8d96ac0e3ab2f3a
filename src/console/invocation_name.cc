#include "console/invocation_name.h"

#include "core/common/ascii.h"

namespace ramdisk {

namespace {

constexpr std::size_t kMaxProgramNameBytes = 255;

}  // namespace

std::string InvocationName(std::string_view program_name) {
  std::string_view name = program_name.substr(0, kMaxProgramNameBytes);

  std::string_view::size_type separator = name.find_last_of("/\\");
  if (separator != std::string_view::npos)
    name.remove_prefix(separator + 1);

  // A leading dot names the file, not its extension.
  std::string_view::size_type dot = name.find_last_of('.');
  if (dot != std::string_view::npos && dot > 0)
    name = name.substr(0, dot);

  return AsciiLowerCase(name);
}

}  // namespace ramdisk
