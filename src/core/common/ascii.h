#ifndef RAMDISK_CORE_COMMON_ASCII_H_
#define RAMDISK_CORE_COMMON_ASCII_H_

#include <cstdint>
#include <limits>
#include <optional>
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

// `text` read as a decimal number: one or more digits 0 to 9 and nothing
// else, at most 2^64 - 1; none for any other text. Inline: the platform
// stand-in reads its numbers with it too.
constexpr std::optional<std::uint64_t> DecimalNumber(std::string_view text) {
  if (text.empty())
    return std::nullopt;
  std::uint64_t number = 0;
  for (char c : text) {
    const unsigned digit = static_cast<unsigned>(c - '0');
    if (digit > 9 || number > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
      return std::nullopt;
    number = number * 10 + digit;
  }
  return number;
}

// Whether `text` holds a control character: a byte below 0x20 or 0x7F.
// No path that the tool takes from its command line may hold one: the
// system's listings write it as it is, and their readers refuse it (or turn
// a carriage return into a line feed).
constexpr bool HoldsControlCharacter(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F')
      return true;
  }
  return false;
}

// Whether `text` begins with `prefix`, byte for byte.
constexpr bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace ramdisk

#endif  // RAMDISK_CORE_COMMON_ASCII_H_
