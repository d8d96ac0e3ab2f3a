#include "core/macos/disks/system_info.h"

#include "core/common/ascii.h"

#include <sys/sysctl.h>
#include <sys/types.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace ramdisk {

namespace {

// Oldest first. Scopes may end in any order.
thread_local std::vector<const PretendSystemValue*> scopes;

}  // namespace

std::string SystemText(const char* name) {
  if (const std::string* pretended = PretendSystemValue::Lookup(name))
    return *pretended;
  // Versions are short; a longer text is nothing this tool knows.
  char text[256];
  std::size_t size = sizeof text;
  if (::sysctlbyname(name, text, &size, nullptr, 0) != 0)
    return std::string();
  return std::string(text, ::strnlen(text, size));
}

std::optional<std::uint64_t> SystemNumber(const char* name) {
  if (const std::string* pretended = PretendSystemValue::Lookup(name))
    return DecimalNumber(*pretended);
  std::uint64_t number = 0;
  std::size_t size = sizeof number;
  if (::sysctlbyname(name, &number, &size, nullptr, 0) != 0 || size != sizeof number)
    return std::nullopt;
  return number;
}

std::optional<std::uint64_t> PhysicalMemoryBytes() { return SystemNumber(kPhysicalMemoryName); }

PretendSystemValue::PretendSystemValue(std::string name, std::string value)
    : name_(std::move(name)), value_(std::move(value)) {
  scopes.push_back(this);
}

PretendSystemValue::~PretendSystemValue() {
  scopes.erase(std::find(scopes.rbegin(), scopes.rend(), this).base() - 1);
}

const std::string* PretendSystemValue::Lookup(const char* name) {
  for (auto scope = scopes.rbegin(); scope != scopes.rend(); ++scope) {
    if ((*scope)->name_ == name)
      return &(*scope)->value_;
  }
  return nullptr;
}

}  // namespace ramdisk
