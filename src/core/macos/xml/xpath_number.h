#ifndef RAMDISK_CORE_MACOS_XML_XPATH_NUMBER_H_
#define RAMDISK_CORE_MACOS_XML_XPATH_NUMBER_H_

#include <string>

namespace ramdisk {

// XPath 1.0 string() of a number: "NaN", "Infinity", "-Infinity", "0" for
// either zero, an integer without a decimal point, any other value in plain
// decimal notation (a "0" before the point when below one) with as few
// digits as tell it apart from every other double. Never an exponent.
std::string XPathNumberToString(double number);

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_XML_XPATH_NUMBER_H_
