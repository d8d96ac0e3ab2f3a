// The delete command end to end: the built tool against the stand-in disk tools.

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <ostream>

#include "support/end_to_end.h"

namespace ramdisk {
namespace {

using testing::EndToEndTest;
using testing::ProcessResult;
using Lines = std::vector<std::string>;

class DeleteTest : public EndToEndTest {
 protected:
  // A volume made by the add command, so the stand-ins know its device.
  void AddVolume(const std::string& name) {
    ProcessResult added = Run({"-add:" + name, "-size:1m"});
    ASSERT_EQ(added.exit_code, 0) << added.out;
    runs_before_ = ToolRuns().size();
  }
  Lines RunsSinceAdd() const {
    Lines runs = ToolRuns();
    return Lines(runs.begin() + static_cast<long>(runs_before_), runs.end());
  }

 private:
  std::size_t runs_before_ = 0;
};

TEST_F(DeleteTest, DetachesTheMountPointAndSaysSo) {
  AddVolume("x");
  ProcessResult result = Run({"-del:x", "-size:1g", "-fs:apfs"});
  EXPECT_EQ(result.out, "Removing memory volume...\nRemoved memory volume /Volumes/x\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(RunsSinceAdd(), Lines{"hdiutil\tdetach\t/Volumes/x"});
  EXPECT_EQ(AttachedDevices(), 0);
}

// Only the exact flag forces; the scanner's own tests cover its spellings.
TEST_F(DeleteTest, ForcedOnlyByTheExactFlag) {
  for (const char* flag : {"-force", "-Force"}) {
    AddVolume("x");
    ProcessResult result = Run({flag, "-del:x"});
    EXPECT_EQ(result.out, "Removing memory volume...\nRemoved memory volume /Volumes/x\n");
    EXPECT_EQ(RunsSinceAdd(), Lines{std::string("hdiutil\tdetach\t/Volumes/x") +
                                    (flag == std::string("-force") ? "\t-force" : "")});
  }
}

// Only a directory, or a link to one, is a volume to detach.
TEST_F(DeleteTest, NoVolumeDirectoryIsReportedWithoutToolRun) {
  { std::ofstream("/Volumes/file") << "x"; }
  for (const char* name : {"missing", "file"}) {
    ProcessResult result = Run({std::string("-del:") + name, "-force"});
    EXPECT_EQ(result.out, std::string("General error: No volumes named ") + name + " found\n");
    EXPECT_EQ(result.exit_code, 2);
  }
  EXPECT_EQ(ToolRuns(), Lines{});
  ASSERT_EQ(::mkdir((work_dir() + "/dir").c_str(), 0755), 0);
  ASSERT_EQ(::symlink((work_dir() + "/dir").c_str(), "/Volumes/link"), 0);
  Run({"-del:link"});
  EXPECT_EQ(ToolRuns(), Lines{"hdiutil\tdetach\t/Volumes/link"});
}

TEST_F(DeleteTest, FailedDetachLeavesTheProgressLine) {
  AddVolume("x");
  ProcessResult result =
      Run({"-del:x"},
          {"RAMDISK_STANDIN_FAIL_DETACH=16:hdiutil: couldn't unmount \"disk4\" - Resource busy"});
  EXPECT_EQ(result.out,
            "Removing memory volume...\nGeneral error: hdiutil: couldn't "
            "unmount \"disk4\" - Resource busy\n");
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(RunsSinceAdd(), Lines{"hdiutil\tdetach\t/Volumes/x"});
}

}  // namespace
}  // namespace ramdisk
