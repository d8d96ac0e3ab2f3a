#include <sys/sysctl.h>

#include <errno.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "core/common/ascii.h"

namespace {

// The names answered, each from an environment variable.
struct Entry {
  const char* name;
  const char* variable;
  bool number;  // a 64-bit number, given in decimal; otherwise a text
};

constexpr Entry kEntries[] = {
    {"kern.osproductversion", "RAMDISK_STANDIN_MACOS_VERSION", false},
    {"kern.osrelease", "RAMDISK_STANDIN_DARWIN_VERSION", false},
    {"hw.memsize", "RAMDISK_STANDIN_MEMSIZE", true},
};

int Fail(int error) {
  errno = error;
  return -1;
}

}  // namespace

extern "C" int sysctlbyname(const char* name, void* oldp, size_t* oldlenp, void* newp,
                            size_t /*newlen*/) {
  const Entry* entry = nullptr;
  for (const Entry& candidate : kEntries) {
    if (name != nullptr && std::strcmp(name, candidate.name) == 0)
      entry = &candidate;
  }
  const char* value = entry != nullptr ? std::getenv(entry->variable) : nullptr;
  const std::optional<std::uint64_t> parsed =
      value != nullptr && entry->number ? ramdisk::DecimalNumber(value) : std::nullopt;
  if (value == nullptr || *value == '\0' || (entry->number && !parsed))
    return Fail(ENOENT);
  const std::uint64_t number = parsed.value_or(0);
  if (newp != nullptr)
    return Fail(EPERM);
  if (oldlenp == nullptr)
    return Fail(EINVAL);
  const void* bytes = entry->number ? static_cast<const void*>(&number) : value;
  const size_t size = entry->number ? sizeof number : std::strlen(value) + 1;
  const size_t room = *oldlenp;
  *oldlenp = size;
  if (oldp == nullptr)
    return 0;
  if (room < size)
    return Fail(ENOMEM);
  std::memcpy(oldp, bytes, size);
  return 0;
}
