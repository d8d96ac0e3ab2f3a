// The delete command in this process, against the stand-in disk tools and a
// folder of volumes of the test's own.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ostream>

#include "console/commands.h"
#include "core/macos/command.h"
#include "support/child_process.h"
#include "support/files.h"
#include "support/outcome.h"
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

// A RAM disk named by its device: "x" mounted on disk4, disk5 attached
// without a volume, and disk6 the image of a file, which the listing shows
// as well.
struct DeviceCase {
  const char* device;
  const char* release;
  bool force;
  Lines environment;  // "NAME=value"
  std::string out;
  Lines runs;
};

std::ostream& operator<<(std::ostream& os, const DeviceCase& c) {
  return os << c.device << " " << c.release << (c.force ? " -force" : "");
}

class DelDeviceTest : public DelDiskTest, public ::testing::WithParamInterface<DeviceCase> {};

TEST_P(DelDeviceTest, DetachesOnlyAListedRamDisk) {
  const DeviceCase& c = GetParam();
  testing::Reported({"-size:1m", "-fs:hfs+"}, [&] { AddDisk("x", volumes()); });
  TCommand("hdiutil").Execute({"attach", "-plist", "-nomount", "ram://8"});
  std::string listing =
      testing::RunProcess(RAMDISK_STANDIN_BIN_DIR "/hdiutil", {"info", "-plist"}).out;
  listing.insert(listing.find("<array>") + 8,
                 "<dict><key>image-path</key><string>/x.dmg</string><key>system-entities</key>"
                 "<array><dict><key>dev-entry</key><string>/dev/disk6</string></dict></array>"
                 "</dict>");
  testing::WriteFile(dir() + "/listing", listing);
  testing::WriteFile(dir() + "/bin/hdiutil",
                     "#!/bin/sh\n[ \"$1\" = info ] && exec cat " + dir() +
                         "/listing\nexec " RAMDISK_STANDIN_BIN_DIR "/hdiutil \"$@\"\n",
                     0755);
  SetEnv("PATH", dir() + "/bin:" + std::getenv("PATH"));
  PlayRelease(c.release);
  for (const std::string& entry : c.environment)
    SetEnv(entry.substr(0, entry.find('=')), entry.substr(entry.find('=') + 1));

  const std::size_t before = ToolRuns().size();
  EXPECT_EQ(testing::Reported({"-del", c.force ? "-force" : ""}, [&] { DelDevice(c.device); }),
            c.out);
  Lines runs = ToolRuns();
  runs.erase(runs.begin(), runs.begin() + static_cast<long>(before));
  // The wrapper runs the stand-in by its path.
  for (std::string& run : runs)
    run.erase(0, run.rfind('/', run.find('\t')) + 1);
  EXPECT_EQ(runs, c.runs);
}

const std::string kBusy = "hdiutil: couldn't unmount \"disk5\" - Resource busy";
const std::string kRemoved5 = "Removing memory volume...\nRemoved memory volume /dev/disk5\n";

INSTANTIATE_TEST_SUITE_P(
    Table, DelDeviceTest,
    ::testing::ValuesIn(std::vector<DeviceCase>{
        {"/dev/disk5", "", false, {}, kRemoved5, {"hdiutil\tdetach\t/dev/disk5"}},
        {"/dev/disk5", "", true, {}, kRemoved5, {"hdiutil\tdetach\t/dev/disk5\t-force"}},
        // The user named it: a mounted volume goes with its disk.
        {"/dev/disk4",
         "",
         false,
         {},
         "Removing memory volume...\nRemoved memory volume /dev/disk4\n",
         {"hdiutil\tdetach\t/dev/disk4"}},
        {"/dev/disk6", "", true, {}, "General error: No RAM disk /dev/disk6 found\n", {}},
        {"/dev/disk9", "27.0", true, {}, "General error: No RAM disk /dev/disk9 found\n", {}},
        {"/dev/disk5",
         "",
         false,
         {"RAMDISK_STANDIN_FAIL_DETACH=16:hdiutil: WARNING: 'hdiutil detach ...' is "
          "deprecated.\n" +
          kBusy},
         "Removing memory volume...\nGeneral error: " + kBusy + "\n",
         {"hdiutil\tdetach\t/dev/disk5"}},
        // diskutil ejects, after a forced unmount if asked.
        {"/dev/disk5", "27.0", false, {}, kRemoved5, {"diskutil\teject\t/dev/disk5"}},
        {"/dev/disk5",
         "27.0",
         true,
         {},
         kRemoved5,
         {"diskutil\tunmountDisk\tforce\t/dev/disk5", "diskutil\teject\t/dev/disk5"}}}));

TEST_F(DelDiskTest, FailedListingDetachesNothing) {
  SetEnv("RAMDISK_STANDIN_FAIL_INFO", "1:hdiutil: info failed");
  EXPECT_EQ(testing::Reported({}, [&] { DelDevice("/dev/disk4"); }),
            "General error: hdiutil: info failed\n");
  EXPECT_EQ(ToolRuns(), Lines{"hdiutil\tinfo\t-plist"});
}

}  // namespace
}  // namespace ramdisk
