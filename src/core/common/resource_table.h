#ifndef RAMDISK_CORE_COMMON_RESOURCE_TABLE_H_
#define RAMDISK_CORE_COMMON_RESOURCE_TABLE_H_

#include <cstddef>
#include <cstdint>

namespace ramdisk {

// Resource type of a version-information block.
constexpr std::uint16_t kVersionResourceType = 16;

// One resource linked into the executable. `data` points at static storage
// that lives as long as the program.
struct ResourceEntry {
  std::uint16_t type;
  std::uint16_t id;
  std::uint16_t language;
  const unsigned char* data;
  std::size_t size;
};

struct ResourceTable {
  const ResourceEntry* entries;
  std::size_t count;
};

// The table linked into the running program. It is not part of the core
// library: each executable links exactly one definition (the build generates
// the tool's own from the project's version; test programs may link an empty
// one). The program finds its resources in its own memory this way and never
// opens its executable file.
ResourceTable LinkedResources();

// The first entry of `table` with this type and identifier, whatever its
// language; nullptr when there is none.
const ResourceEntry* FindResource(const ResourceTable& table, std::uint16_t type, std::uint16_t id);

}  // namespace ramdisk

#endif  // RAMDISK_CORE_COMMON_RESOURCE_TABLE_H_
