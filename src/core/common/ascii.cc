#include "core/common/ascii.h"

namespace ramdisk {

std::string AsciiLowerCase(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    c = AsciiToLower(c);
  return result;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::string_view::size_type i = 0; i < a.size(); ++i) {
    if (AsciiToLower(a[i]) != AsciiToLower(b[i]))
      return false;
  }
  return true;
}

}  // namespace ramdisk
