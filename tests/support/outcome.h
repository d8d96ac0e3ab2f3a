#ifndef RAMDISK_TESTS_SUPPORT_OUTCOME_H_
#define RAMDISK_TESTS_SUPPORT_OUTCOME_H_

#include <string>
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

// An argument list as a test name shows it: " [a] [b c]".
inline std::string Bracketed(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& arg : args)
    text += " [" + arg + "]";
  return text;
}

}  // namespace ramdisk::testing

#endif  // RAMDISK_TESTS_SUPPORT_OUTCOME_H_
