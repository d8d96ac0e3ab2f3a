#ifndef RAMDISK_CORE_COMMON_ASCII_H_
#define RAMDISK_CORE_COMMON_ASCII_H_

#include <string>
#include <string_view>

namespace ramdisk {

// Only the ASCII letters change case; every other byte, including bytes of
// multi-byte characters, is left as it is.
constexpr char AsciiToLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string AsciiLowerCase(std::string_view text);

// Equal length, and equal byte for byte once A-Z are folded to a-z.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// Whether `text` begins with `prefix`, byte for byte.
constexpr bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace ramdisk

#endif  // RAMDISK_CORE_COMMON_ASCII_H_
