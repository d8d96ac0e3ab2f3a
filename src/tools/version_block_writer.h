#ifndef RAMDISK_TOOLS_VERSION_BLOCK_WRITER_H_
#define RAMDISK_TOOLS_VERSION_BLOCK_WRITER_H_

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ramdisk {

// Writes version blocks in the VS_VERSIONINFO layout. Used at build time to
// produce the tool's own block, and by tests to produce unusual ones.

// One block: a header (length, value length, type), its UTF-16LE key with a
// terminating zero, its value and its children, each of the last two
// starting on a 32-bit boundary. `value_length` is written as given, so a
// test can make it disagree with `value`.
struct VersionNode {
  std::u16string key;
  std::uint16_t type = 1;
  std::uint16_t value_length = 0;
  std::vector<unsigned char> value;
  std::vector<VersionNode> children;
};

// The node's bytes. Its length word counts everything up to the end of its
// last child (or value, or key), without trailing padding; children are
// padded to the next 32-bit boundary before the next one starts. Raises
// std::length_error when a block outgrows the 16-bit length word.
std::vector<unsigned char> SerializeVersionNode(const VersionNode& node);

// A string-table entry: type 1, value length in UTF-16 units including the
// terminating zero (1 for an empty text).
VersionNode TextEntry(std::u16string key, std::u16string_view text);
// A string table such as "040904E4", or the "StringFileInfo" that holds the
// tables: type 1, no value.
VersionNode ContainerNode(std::u16string key, std::vector<VersionNode> children);
// "VarFileInfo" with one "Translation" entry (type 0) holding the pairs.
VersionNode VarFileInfoNode(
    const std::vector<std::pair<std::uint16_t, std::uint16_t>>& translations);
// "VS_VERSION_INFO" with the thirteen-word fixed file information for an
// application at `version` (most significant part first).
VersionNode RootNode(const std::array<std::uint16_t, 4>& version,
                     std::vector<VersionNode> children);

struct VersionConfig {
  std::array<std::uint16_t, 4> version{};
  std::string company_name;     // UTF-8
  std::string legal_copyright;  // UTF-8
  std::string product_name;     // UTF-8
};

// The tool's block: the fixed part, the string table "040904E4" with its ten
// entries ("ProductVersion" shows three parts of the version,
// "FileVersion" all four) and the translation 0x0409 / 0x04E4.
std::vector<unsigned char> BuildVersionBlock(const VersionConfig& config);

// Raises std::invalid_argument for text that is not UTF-8.
std::u16string Utf16FromUtf8(std::string_view text);

}  // namespace ramdisk

#endif  // RAMDISK_TOOLS_VERSION_BLOCK_WRITER_H_
