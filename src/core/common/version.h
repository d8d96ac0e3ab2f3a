#ifndef RAMDISK_CORE_COMMON_VERSION_H_
#define RAMDISK_CORE_COMMON_VERSION_H_

#include <string>

#include "core/common/resource_table.h"

namespace ramdisk {

// The "ProductVersion" text of the running program's own version block (the
// resource of type 16, identifier 1, in LinkedResources()); empty when the
// chosen string table has none. Reads the block afresh on every call.
// Raises Exception "Resource "1" not found" when the program carries no such
// resource, and EVersionInfoError when the block cannot be decoded.
std::string GetVersionString();

// The same, from the version resource in `table`.
std::string GetVersionString(const ResourceTable& table);

}  // namespace ramdisk

#endif  // RAMDISK_CORE_COMMON_VERSION_H_
