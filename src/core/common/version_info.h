#ifndef RAMDISK_CORE_COMMON_VERSION_INFO_H_
#define RAMDISK_CORE_COMMON_VERSION_INFO_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/common/exception.h"

namespace ramdisk {

// A version block that cannot be decoded: "Stream read error" when a length
// runs past the data, "List index (0) out of bounds" when there is no string
// table to choose from.
class EVersionInfoError : public Exception {
 public:
  using Exception::Exception;
};

// Keys, texts and lookup lines are held as at most this many bytes.
constexpr std::size_t kMaxVersionTextBytes = 255;

struct VersionStringTable {
  std::string name;
  // Key and text of each entry, in block order.
  std::vector<std::pair<std::string, std::string>> entries;
};

struct VersionTranslation {
  std::uint16_t language;
  std::uint16_t code_page;
};

// What a version block (VS_VERSIONINFO layout) holds. Keys and texts are
// converted from UTF-16LE to UTF-8; an unpaired surrogate becomes U+FFFD.
// Each is cut to kMaxVersionTextBytes, never inside a character.
struct VersionInfo {
  // The root's value as little-endian 32-bit words: the thirteen words of
  // the fixed file information in a well-formed block.
  std::vector<std::uint32_t> fixed_part;
  // Every table of every "StringFileInfo" child, in block order.
  std::vector<VersionStringTable> string_tables;
  // Every pair of every "Translation" entry of "VarFileInfo", in block order.
  std::vector<VersionTranslation> translations;
};

// Decodes the block in data[0, size). Only the first two children of the
// root are looked at, each recognised by its exact key; others are skipped.
// Every read is checked against the enclosing block's length and against
// `size`, so any bytes at all are safe to pass. Raises EVersionInfoError
// "Stream read error" when a length runs past its block or the data.
VersionInfo ReadVersionInfo(const unsigned char* data, std::size_t size);

// The "ProductVersion" text of the string table that the translation picks:
// the last table named like the first translation pair (ASCII case ignored),
// otherwise the first table. The first entry whose key equals
// "ProductVersion" ignoring ASCII case wins; empty when there is none.
// Raises EVersionInfoError when there is no string table.
std::string ProductVersionOf(const VersionInfo& info);

// ReadVersionInfo and ProductVersionOf in one: a pure function of the bytes.
std::string ReadProductVersion(const unsigned char* data, std::size_t size);

}  // namespace ramdisk

#endif  // RAMDISK_CORE_COMMON_VERSION_INFO_H_
