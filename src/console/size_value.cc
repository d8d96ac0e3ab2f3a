#include "console/size_value.h"

#include <limits>
#include <optional>
#include <string_view>

#include "console/input_error.h"
#include "core/common/ascii.h"
#include "core/common/messages.h"

namespace ramdisk {

namespace {

constexpr std::string_view::size_type kMaxNumberLength = 255;

std::uint64_t Multiplier(char last) {
  switch (last) {
    case 'K':
    case 'k': return std::uint64_t{1} << 10;
    case 'M':
    case 'm': return std::uint64_t{1} << 20;
    case 'G':
    case 'g': return std::uint64_t{1} << 30;
    default: return 1;
  }
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return 99;
}

bool ConsumePrefix(std::string_view& text, std::string_view prefix) {
  if (text.substr(0, prefix.size()) != prefix)
    return false;
  text.remove_prefix(prefix.size());
  return true;
}

unsigned Base(std::string_view& text) {
  if (ConsumePrefix(text, "0x") || ConsumePrefix(text, "0X") || ConsumePrefix(text, "$") ||
      ConsumePrefix(text, "x") || ConsumePrefix(text, "X"))
    return 16;
  if (ConsumePrefix(text, "&"))
    return 8;
  if (ConsumePrefix(text, "%"))
    return 2;
  return 10;
}

// The whole text must be the number; nullopt for anything else.
std::optional<std::uint64_t> ParseNumber(std::string_view text) {
  if (text.size() > kMaxNumberLength)
    return std::nullopt;
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  ConsumePrefix(text, "+");
  unsigned base = Base(text);
  if (text.empty())
    return std::nullopt;
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t number = 0;
  for (char c : text) {
    int digit = DigitValue(c);
    if (digit >= static_cast<int>(base))
      return std::nullopt;
    if (number > (kMax - static_cast<unsigned>(digit)) / base)
      return std::nullopt;
    number = number * base + static_cast<unsigned>(digit);
  }
  return number;
}

// The number of bytes the value gives in the form without "%"; 0 for a
// text that breaks it, and for a size beyond 2^64 - 1, which would
// otherwise wrap around to some unrelated size.
std::uint64_t Bytes(const std::string& value) {
  std::uint64_t multiplier = Multiplier(value.back());
  std::string_view number_text(value);
  if (multiplier != 1)
    number_text.remove_suffix(1);
  std::optional<std::uint64_t> number = ParseNumber(number_text);
  if (!number || *number > std::numeric_limits<std::uint64_t>::max() / multiplier)
    return 0;
  return *number * multiplier;
}

// N of the text before "%": 1 to 100, its digits decimal, the first not
// "0"; 0 for any other text.
unsigned Percent(std::string_view text) {
  if (StartsWith(text, "0"))
    return 0;
  unsigned percent = 0;
  for (char c : text) {
    if (c < '0' || c > '9')
      return 0;
    percent = percent * 10 + static_cast<unsigned>(c - '0');
    if (percent > 100)
      return 0;
  }
  return percent;
}

}  // namespace

std::uint64_t GetSize(const std::string& value, std::optional<std::uint64_t> memory) {
  if (value.empty())
    throw EInputError(messages::kSizeNotGiven);
  std::uint64_t size = 0;
  if (value.back() == '%') {
    const unsigned percent = Percent(std::string_view(value).substr(0, value.size() - 1));
    if (percent == 0)
      throw EInputError(messages::kIncorrectSize);
    if (!memory)
      throw EInputError(messages::kMemoryUnreadable);
    // memory * percent may exceed 2^64 - 1; split, the product's quotient
    // by 100 cannot.
    size = *memory / 100 * percent + *memory % 100 * percent / 100;
  } else {
    size = Bytes(value);
  }
  if (size == 0)
    throw EInputError(messages::kIncorrectSize);
  // A disk beyond the memory is paged out as it fills, and can stall the
  // whole machine.
  if (memory && size > *memory)
    throw EInputError(FormatMessage(messages::kSizeExceedsMemory, SizeText(*memory)));
  return size;
}

std::string SizeText(std::uint64_t bytes) {
  if (bytes != 0) {
    for (char unit : {'G', 'M', 'K'}) {
      const std::uint64_t multiplier = Multiplier(unit);
      if (bytes % multiplier == 0)
        return std::to_string(bytes / multiplier) + unit;
    }
  }
  return std::to_string(bytes);
}

}  // namespace ramdisk
