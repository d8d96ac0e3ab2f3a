#ifndef RAMDISK_TESTS_SUPPORT_END_TO_END_H_
#define RAMDISK_TESTS_SUPPORT_END_TO_END_H_

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/child_process.h"

namespace ramdisk::testing {

// Runs the built tool against the stand-in disk tools, inside a private
// mount namespace whose /Volumes is a fresh tmpfs for every test. Skips the
// test where no mount namespace can be made (not root, not Linux).
class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs ramdisk with `args`; `environment` adds "NAME=value" entries, for
  // example the stand-ins' failure injection.
  ProcessResult Run(const std::vector<std::string>& args,
                    const std::vector<std::string>& environment = {}, ProcessOptions options = {});

  // The stand-ins' invocations so far, one line each: the argument vector
  // joined by tabs (tab, line feed, carriage return and backslash escaped).
  std::vector<std::string> ToolRuns() const;
  // Number of device numbers the stand-ins hold: the RAM devices attached
  // and the APFS containers on them.
  int AttachedDevices() const;

  const std::string& work_dir() const { return work_dir_; }

 private:
  std::string work_dir_;
};

}  // namespace ramdisk::testing

#endif  // RAMDISK_TESTS_SUPPORT_END_TO_END_H_
