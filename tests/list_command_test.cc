// The list command end to end: the built tool against the stand-in disk tools.

#include "support/end_to_end.h"

namespace ramdisk {
namespace {

using testing::ProcessResult;
using Lines = std::vector<std::string>;

class ListTest : public testing::EndToEndTest {
 protected:
  // Runs `args` and expects exit status 0 and nothing on standard error.
  std::string Out(const std::vector<std::string>& args,
                  const std::vector<std::string>& environment = {}) {
    ProcessResult result = Run(args, environment);
    EXPECT_EQ(result.exit_code, 0) << result.out;
    EXPECT_EQ(result.err, "");
    return result.out;
  }
};

// APFS puts a container on the first device, which the second attach must
// not get; a device whose format failed shows without a mount point.
TEST_F(ListTest, ListsWhatTheAddsMadeAndTheDeleteLeft) {
  EXPECT_EQ(Out({"-list"}), "");
  Out({"-add:scratch", "-size:1g"});
  Out({"-add:other", "-size:100m", "-fs:hfs+"});
  Run({"-add:half", "-size:1536"},
      {"RAMDISK_STANDIN_FAIL_APFS=1:failed", "RAMDISK_STANDIN_FAIL_DETACH=1:failed"});
  const std::size_t runs = ToolRuns().size();
  EXPECT_EQ(Out({"-list"}),
            "/dev/disk4\t1G\t/Volumes/scratch\n/dev/disk6\t100M\t/Volumes/other\n"
            "/dev/disk7\t1536\t-\n");
  EXPECT_EQ(ToolRuns().size(), runs + 1);
  EXPECT_EQ(ToolRuns().back(), "hdiutil\tinfo\t-plist");

  Out({"-del:scratch"});
  EXPECT_EQ(AttachedDevices(), 2);  // the container's number is free again
  EXPECT_EQ(Out({"-list", "-force"}), "/dev/disk6\t100M\t/Volumes/other\n/dev/disk7\t1536\t-\n");

  ProcessResult failed = Run({"-list"}, {"RAMDISK_STANDIN_FAIL_INFO=1:hdiutil: info failed\nmore"});
  EXPECT_EQ(failed.out, "General error: hdiutil: info failed\n");
  EXPECT_EQ(failed.exit_code, 2);
}

}  // namespace
}  // namespace ramdisk
