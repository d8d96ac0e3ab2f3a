#include "core/common/resource_table.h"

namespace ramdisk {

const ResourceEntry* FindResource(const ResourceTable& table, std::uint16_t type,
                                  std::uint16_t id) {
  for (std::size_t i = 0; i < table.count; ++i) {
    const ResourceEntry& entry = table.entries[i];
    if (entry.type == type && entry.id == id)
      return &entry;
  }
  return nullptr;
}

}  // namespace ramdisk
