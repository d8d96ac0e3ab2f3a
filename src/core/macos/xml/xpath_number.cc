#include "core/macos/xml/xpath_number.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace ramdisk {

std::string XPathNumberToString(double number) {
  if (std::isnan(number))
    return "NaN";
  if (std::isinf(number))
    return number > 0 ? "Infinity" : "-Infinity";
  if (number == 0)
    return "0";

  // The shortest scientific form that reads back unchanged; 17 significant
  // digits always do. printf and strtod share the locale, so the round trip
  // holds whatever its decimal separator.
  char scientific[40];
  for (int digits = 1; digits <= 17; ++digits) {
    std::snprintf(scientific, sizeof scientific, "%.*e", digits - 1, number);
    if (std::strtod(scientific, nullptr) == number)
      break;
  }

  std::string digits;
  const char* p = scientific;
  for (; *p != 'e' && *p != '\0'; ++p) {
    if (*p >= '0' && *p <= '9')
      digits += *p;
  }
  int exponent = *p == 'e' ? std::atoi(p + 1) : 0;
  while (digits.size() > 1 && digits.back() == '0')
    digits.pop_back();

  std::string text = number < 0 ? "-" : "";
  // The number of digits before the decimal point.
  int whole = exponent + 1;
  if (whole <= 0) {
    text += "0." + std::string(static_cast<std::size_t>(-whole), '0') + digits;
  } else if (static_cast<std::size_t>(whole) >= digits.size()) {
    text += digits + std::string(whole - digits.size(), '0');
  } else {
    text += digits.substr(0, whole) + "." + digits.substr(whole);
  }
  return text;
}

}  // namespace ramdisk
