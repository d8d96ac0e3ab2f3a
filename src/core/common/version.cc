#include "core/common/version.h"

#include "core/common/exception.h"
#include "core/common/messages.h"
#include "core/common/version_info.h"

namespace ramdisk {

namespace {

constexpr std::uint16_t kVersionResourceId = 1;

}  // namespace

std::string GetVersionString() { return GetVersionString(LinkedResources()); }

std::string GetVersionString(const ResourceTable& table) {
  const ResourceEntry* resource = FindResource(table, kVersionResourceType, kVersionResourceId);
  static_assert(kVersionResourceId == 1, "the message names the resource");
  if (resource == nullptr)
    throw Exception(messages::kResourceNotFound);
  return ReadProductVersion(resource->data, resource->size);
}

}  // namespace ramdisk
