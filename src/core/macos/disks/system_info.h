#ifndef RAMDISK_CORE_MACOS_DISKS_SYSTEM_INFO_H_
#define RAMDISK_CORE_MACOS_DISKS_SYSTEM_INFO_H_

#include <cstdint>
#include <optional>
#include <string>

namespace ramdisk {

// What the running system says of itself, asked of the kernel
// (sysctlbyname) at run time, afresh on every call: a binary built years
// ago and copied to a new Mac must still see the system it runs on.

// The text of `name` ("kern.osproductversion", "kern.osrelease"); empty
// where the name cannot be read or its text does not fit in 255 bytes.
std::string SystemText(const char* name);

// The 64-bit number of `name` ("hw.memsize"); none where it cannot be read.
std::optional<std::uint64_t> SystemNumber(const char* name);

// The sysctl name of the physical memory's size in bytes.
inline constexpr char kPhysicalMemoryName[] = "hw.memsize";

// The size of the physical memory in bytes (SystemNumber of
// kPhysicalMemoryName); none where it cannot be read.
std::optional<std::uint64_t> PhysicalMemoryBytes();

// For tests: while alive, SystemText and SystemNumber answer `value` for
// `name` on the calling thread, whatever the system: a number as its
// decimal digits, and an empty `value` as a name that cannot be read.
// Of the scopes alive for one name, the latest made wins; they may end in
// any order.
class PretendSystemValue {
 public:
  PretendSystemValue(std::string name, std::string value);
  ~PretendSystemValue();
  PretendSystemValue(const PretendSystemValue&) = delete;
  PretendSystemValue& operator=(const PretendSystemValue&) = delete;

  // The innermost value pretended for `name` on this thread, if any.
  static const std::string* Lookup(const char* name);

 private:
  std::string name_;
  std::string value_;
};

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_DISKS_SYSTEM_INFO_H_
