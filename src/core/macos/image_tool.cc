#include "core/macos/image_tool.h"

#include <sys/sysctl.h>
#include <sys/types.h>

#include <cstring>
#include <utility>

namespace ramdisk {

namespace {

thread_local const std::string* pretended_version = nullptr;

}  // namespace

std::string RunningProductVersion() {
  if (pretended_version != nullptr)
    return *pretended_version;
  // A version that does not fit is no version this tool knows.
  char version[64];
  std::size_t size = sizeof version;
  if (::sysctlbyname("kern.osproductversion", version, &size, nullptr, 0) != 0)
    return std::string();
  return std::string(version, ::strnlen(version, size));
}

ImageTool RunningImageTool() { return ImageToolFor(RunningProductVersion()); }

PretendProductVersion::PretendProductVersion(std::string version)
    : version_(std::move(version)), saved_(pretended_version) {
  pretended_version = &version_;
}

PretendProductVersion::~PretendProductVersion() { pretended_version = saved_; }

}  // namespace ramdisk
