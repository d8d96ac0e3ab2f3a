// The version-block reader over arbitrary bytes: it decodes them or raises
// EVersionInfoError, and every text it yields is UTF-8 of at most 255 bytes.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/common/version_info.h"

namespace {

void Check(bool holds) {
  if (!holds)
    std::abort();
}

// The longest text the version block yields, as promised.
constexpr std::size_t kPromisedTextBytes = 255;

bool IsShortUtf8(const std::string& text) {
  if (text.size() > kPromisedTextBytes)
    return false;
  for (std::size_t i = 0, length = 1; i < text.size(); i += length) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    length = lead < 0x80 ? 1 : lead >> 5 == 6 ? 2 : lead >> 4 == 14 ? 3 : lead >> 3 == 30 ? 4 : 0;
    if (length == 0 || length > text.size() - i)
      return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
        return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    ramdisk::VersionInfo info = ramdisk::ReadVersionInfo(data, size);
    for (const ramdisk::VersionStringTable& table : info.string_tables) {
      Check(IsShortUtf8(table.name));
      for (const auto& [key, text] : table.entries)
        Check(IsShortUtf8(key) && IsShortUtf8(text));
    }
    std::string version = ramdisk::ProductVersionOf(info);
    Check(IsShortUtf8(version));
    Check(version == ramdisk::ReadProductVersion(data, size));
  } catch (const ramdisk::EVersionInfoError&) {
  }
  return 0;
}
