#include <sys/sysctl.h>

#include <errno.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

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

bool ParseDecimal(const char* text, std::uint64_t& number) {
  number = 0;
  for (; *text != '\0'; ++text) {
    const unsigned digit = static_cast<unsigned>(*text - '0');
    if (digit > 9 || number > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
      return false;
    number = number * 10 + digit;
  }
  return true;
}

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
  std::uint64_t number = 0;
  if (value == nullptr || *value == '\0' || (entry->number && !ParseDecimal(value, number)))
    return Fail(ENOENT);
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
