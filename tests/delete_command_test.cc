// The delete command in this process, against the stand-in disk tools and a
// folder of volumes of the test's own.

#include <sys/stat.h>
#include <unistd.h>

#include "console/commands.h"
#include "support/files.h"
#include "support/stand_ins.h"

namespace ramdisk {
namespace {

using Lines = std::vector<std::string>;

class DelDiskTest : public testing::StandInTest {
 protected:
  // A volume made by the add command, so the stand-ins know its device.
  void AddVolume(const std::string& name) {
    testing::Reported({"-size:1m"}, [&] { AddDisk(name, volumes()); });
    runs_before_ = ToolRuns().size();
  }
  std::string Del(const std::string& name, const std::vector<std::string>& args) {
    return testing::Reported(args, [&] { DelDisk(name, volumes()); });
  }
  Lines RunsSinceAdd() const {
    Lines runs = ToolRuns();
    return Lines(runs.begin() + static_cast<long>(runs_before_), runs.end());
  }

 private:
  std::size_t runs_before_ = 0;
};

// Only the exact flag forces, wherever it stands; other switches do nothing.
TEST_F(DelDiskTest, DetachesTheMountPointAndSaysSo) {
  for (const char* flag : {"-force", "-Force", "-size:1g"}) {
    AddVolume("x");
    EXPECT_EQ(Del("x", {flag, "-del:x", "-fs:apfs"}),
              "Removing memory volume...\nRemoved memory volume " + volumes() + "x\n");
    EXPECT_EQ(RunsSinceAdd(), Lines{"hdiutil\tdetach\t" + volumes() + "x" +
                                    (flag == std::string("-force") ? "\t-force" : "")});
    EXPECT_EQ(AttachedDevices(), 0);
  }
}

// Only a directory, or a link to one, is a volume to detach.
TEST_F(DelDiskTest, NoVolumeDirectoryIsReportedWithoutToolRun) {
  testing::WriteFile(volumes() + "file", "x");
  for (const char* name : {"missing", "file"}) {
    EXPECT_EQ(Del(name, {"-force"}),
              std::string("General error: No volumes named ") + name + " found\n");
  }
  EXPECT_EQ(ToolRuns(), Lines{});
  ASSERT_EQ(::mkdir((dir() + "/dir").c_str(), 0755), 0);
  ASSERT_EQ(::symlink((dir() + "/dir").c_str(), (volumes() + "link").c_str()), 0);
  Del("link", {});
  EXPECT_EQ(ToolRuns(), Lines{"hdiutil\tdetach\t" + volumes() + "link"});
}

TEST_F(DelDiskTest, FailedDetachFollowsTheProgressLine) {
  AddVolume("x");
  SetEnv("RAMDISK_STANDIN_FAIL_DETACH", "16:hdiutil: couldn't unmount \"disk4\" - Resource busy");
  EXPECT_EQ(Del("x", {}),
            "Removing memory volume...\nGeneral error: hdiutil: couldn't "
            "unmount \"disk4\" - Resource busy\n");
  EXPECT_EQ(RunsSinceAdd(), Lines{"hdiutil\tdetach\t" + volumes() + "x"});
}

}  // namespace
}  // namespace ramdisk
