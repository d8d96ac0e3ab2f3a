#ifndef RAMDISK_TESTS_SUPPORT_OUTCOME_H_
#define RAMDISK_TESTS_SUPPORT_OUTCOME_H_

#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/exception.h"

namespace ramdisk::testing {

// What `run` raised: the message of an E, or "accepted" when it returned.
// Anything else that it raises passes through and fails the test.
template <typename E = Exception, typename Run>
std::string Outcome(Run&& run) {
  try {
    run();
  } catch (const E& error) {
    return error.Message();
  }
  return "accepted";
}

// `text` as a test's name shows it, in printable ASCII: every other byte,
// and the backslash, as \xNN, so that a log of the tests stays text.
inline std::string Printable(std::string_view text) {
  std::string shown;
  for (char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F || c == '\\') {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      shown += escape;
    } else {
      shown += c;
    }
  }
  return shown;
}

// The processor time that this process has spent, in seconds. A bound on
// work done in this process holds against it however busy other processes
// keep the machine, where one on the time that passes would not.
inline double ProcessorSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// An argument list as a test name shows it: " [a] [b c]".
inline std::string Bracketed(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& arg : args)
    text += " [" + Printable(arg) + "]";
  return text;
}

}  // namespace ramdisk::testing

#endif  // RAMDISK_TESTS_SUPPORT_OUTCOME_H_
