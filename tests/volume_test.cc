// Memory volumes against the stand-in disk tools, in this process: what each
// tool run gets, and what is undone when a run fails.

#include <unistd.h>

#include <limits>
#include <optional>
#include <ostream>
#include <tuple>

#include "core/common/directory.h"
#include "core/common/file_system.h"
#include "core/common/pause.h"
#include "core/macos/disks/memory_volume.h"
#include "support/files.h"
#include "support/outcome.h"
#include "support/stand_ins.h"

namespace ramdisk {
namespace {

using Lines = std::vector<std::string>;
using testing::ApfsRun;
using testing::AttachRun;
using testing::EraseRun;

const char kOk[] = "accepted";
const std::string k1G = AttachRun("2097152");
const std::string kApfs = ApfsRun("a b");
const std::string kUndo = "hdiutil\tdetach\t/dev/disk4";
const std::string kEraseApfsx = EraseRun("APFSX", "a b");

struct CreateCase {
  std::uint64_t size;
  TFileSystem file_system;
  Lines environment;  // "NAME=value" for the stand-ins, after "RAMDISK_STANDIN_"
  std::string outcome;
  Lines runs;
  int devices_left;  // RAM devices and APFS containers
};

std::ostream& operator<<(std::ostream& os, const CreateCase& c) {
  os << c.size << " " << FileSystemName[c.file_system];
  for (const std::string& entry : c.environment)
    os << " " << entry.substr(0, entry.find(':'));
  return os;
}

class CreateVolumeTest : public testing::StandInTest,
                         public ::testing::WithParamInterface<CreateCase> {};

// The name is one argument, blank and all.
TEST_P(CreateVolumeTest, RunsTheToolsInTurn) {
  const CreateCase& c = GetParam();
  SetEnvs(c.environment, "RAMDISK_STANDIN_");
  TMemoryVolume volume;
  volume.Size = c.size;
  volume.FileSystem = c.file_system;
  volume.Name = "a b";
  EXPECT_EQ(testing::Outcome([&] { volume.CreateVolume(); }), c.outcome);
  EXPECT_EQ(ToolRuns(), c.runs);
  EXPECT_EQ(AttachedDevices(), c.devices_left);
}

constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;
constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

// Size / 512 sectors, then the file system's own verb, device and name in
// its order. A failed format is undone; nothing is known to undo before.
INSTANTIATE_TEST_SUITE_P(
    Table, CreateVolumeTest,
    ::testing::ValuesIn(std::vector<CreateCase>{
        {kGiB, fsAPFS, {}, kOk, {k1G, kApfs}, 2},
        {1000, fsHFS, {}, kOk, {AttachRun("1"), EraseRun("HFS+", "a b")}, 1},
        {kMax, fsExFAT, {}, kOk, {AttachRun("36028797018963967"), EraseRun("exFAT", "a b")}, 1},
        // hdiutil as on macOS 27, warning first: the exit status decides.
        {kGiB, fsFAT32, {"MACOS_VERSION=27.0"}, kOk, {k1G, EraseRun("FAT32", "a b")}, 1},
        {kGiB, fsHFSX, {}, kOk, {k1G, EraseRun("HFSX", "a b")}, 1},
        {kGiB, fsAPFSX, {}, kOk, {k1G, kEraseApfsx}, 2},
        {511, fsAPFS, {}, "hdiutil: attach failed - Invalid argument", {AttachRun("0")}, 0},
        {kGiB, fsAPFS, {"FAIL_ATTACH=1:busy"}, "busy", {k1G}, 0},
        {kGiB, fsAPFS, {"ATTACH_OUTPUT=nodevice"}, "Unexpected XML output", {k1G}, 1},
        {kGiB, fsAPFS, {"ATTACH_OUTPUT=emptydevice"}, "Unexpected XML output", {k1G}, 1},
        {kGiB, fsHFS, {"FAIL_ERASEVOLUME=1:e\nf"}, "e", {k1G, EraseRun("HFS+", "a b"), kUndo}, 0},
        {kGiB, fsAPFS, {"FAIL_APFS=1:e", "FAIL_DETACH=16:d"}, "d", {k1G, kApfs, kUndo}, 1},
        {kGiB, fsAPFSX, {"FAIL_ERASEVOLUME=1:e"}, "e", {k1G, kEraseApfsx, kUndo}, 0}}));

// A volume placed after its format: hidden, at a chosen folder ("$C" in
// the runs), or both, on each kind of file system and both releases.
struct PlaceCase {
  const char* release;
  TFileSystem file_system;
  bool hidden;
  bool chosen;
  Lines environment;  // "NAME=value" for the stand-ins, after "RAMDISK_STANDIN_"
  std::string outcome;
  Lines runs;  // after the attach and the format
  int pauses;
  int devices_left;
};

std::ostream& operator<<(std::ostream& os, const PlaceCase& c) {
  os << c.release << " " << FileSystemName[c.file_system] << (c.hidden ? " hidden" : "")
     << (c.chosen ? " chosen" : "");
  for (const std::string& entry : c.environment)
    os << " " << entry.substr(0, entry.find_first_of(":="));
  return os;
}

class PlaceVolumeTest : public testing::StandInTest,
                        public ::testing::WithParamInterface<PlaceCase> {};

// Nothing is left when a step fails: no device, no mount, no marker, and
// the chosen folder stays, empty.
TEST_P(PlaceVolumeTest, MovesTheVolumeOrUndoesItAll) {
  const PlaceCase& c = GetParam();
  PlayRelease(c.release);
  SetEnvs(c.environment, "RAMDISK_STANDIN_");
  const std::string chosen = dir() + "/chosen";
  testing::MakeDirs(chosen);
  TMemoryVolume volume;
  volume.Size = 1 << 20;
  volume.FileSystem = c.file_system;
  volume.Name = "a b";
  volume.Hidden = c.hidden;
  volume.MountPoint = c.chosen ? chosen : "";
  volume.SystemMountPoint = volumes() + "a b";
  PretendPauses pauses;
  std::string outcome = testing::Outcome([&] { volume.CreateVolume(); });
  Lines runs = ToolRuns();
  runs.erase(runs.begin(), runs.begin() + 2);
  runs.push_back(outcome);
  for (std::string& run : runs) {
    if (std::string::size_type at = run.find(chosen); at != std::string::npos)
      run.replace(at, chosen.size(), "$C");
  }
  EXPECT_EQ(runs.back(), c.outcome);
  runs.pop_back();
  EXPECT_EQ(runs, c.runs);
  EXPECT_EQ(pauses.Taken, std::vector<std::chrono::milliseconds>(static_cast<std::size_t>(c.pauses),
                                                                 std::chrono::milliseconds(100)));
  EXPECT_EQ(AttachedDevices(), c.devices_left);
  const bool ok = c.outcome == kOk;
  EXPECT_EQ(volume.MountedAt, !ok ? "" : c.chosen ? chosen : volumes() + "a b");
  EXPECT_EQ(::access((volume.MountedAt + "/.fseventsd/no_log").c_str(), F_OK) == 0, ok && c.hidden);
  EXPECT_EQ(::access((volume.MountedAt + "/.metadata_never_index").c_str(), F_OK) == 0,
            ok && c.hidden);
  EXPECT_EQ(DirectoryExists(volumes() + "a b"), ok && !c.chosen);
  EXPECT_TRUE(IsEmptyDirectory(chosen) || (ok && c.chosen && c.hidden));
}

const std::string kInfo = "hdiutil\tinfo\t-plist";
const std::string kUnmount4 = "diskutil\tunmount\t/dev/disk4";
const std::string kUnmount5 = "diskutil\tunmount\t/dev/disk5s1";
const std::string kForcedUndo = "hdiutil\tdetach\t/dev/disk4\t-force";
const Lines kForcedEject = {"diskutil\tunmountDisk\tforce\t/dev/disk4",
                            "diskutil\teject\t/dev/disk4"};
const std::string kMountChosen = "diskutil\tmount\t-mountPoint\t$C\t/dev/disk5s1";
const Lines kLate = {kInfo, kUnmount5, kMountChosen, kInfo, kInfo, kInfo, kInfo};
Lines Then(Lines runs, const Lines& more) {
  runs.insert(runs.end(), more.begin(), more.end());
  return runs;
}
Lines Checks(Lines runs, int count) {
  runs.insert(runs.end(), static_cast<std::size_t>(count), kInfo);
  return runs;
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlaceVolumeTest,
    ::testing::ValuesIn(std::vector<PlaceCase>{
        {"",
         fsHFS,
         true,
         false,
         {},
         kOk,
         {kInfo, kUnmount4, "diskutil\tmount\tnobrowse\t/dev/disk4", kInfo},
         0,
         1},
        {"",
         fsAPFS,
         true,
         true,
         {},
         kOk,
         {kInfo, kUnmount5, "diskutil\tmount\tnobrowse\t-mountPoint\t$C\t/dev/disk5s1", kInfo},
         0,
         2},
        {"", fsAPFSX, false, true, {}, kOk, {kInfo, kUnmount5, kMountChosen, kInfo}, 0, 2},
        {"27.0",
         fsExFAT,
         false,
         true,
         {},
         kOk,
         {kInfo, kUnmount4, "diskutil\tmount\t-mountPoint\t$C\t/dev/disk4", kInfo},
         0,
         1},
        {"27.0",
         fsFAT32,
         true,
         false,
         {},
         kOk,
         {kInfo, kUnmount4, "diskutil\tmount\tnobrowse\t/dev/disk4", kInfo},
         0,
         1},
        {"",
         fsHFSX,
         true,
         true,
         {},
         kOk,
         {kInfo, kUnmount4, "diskutil\tmount\tnobrowse\t-mountPoint\t$C\t/dev/disk4", kInfo},
         0,
         1},
        // A mount that shows late, within the wait and beyond it; one that
        // ignores the folder.
        {"", fsAPFS, false, true, {"MOUNT=late:3"}, kOk, kLate, 3, 2},
        {"",
         fsAPFS,
         false,
         true,
         {"MOUNT=late:50"},
         "Volume was not mounted at $C",
         Then(Checks({kInfo, kUnmount5, kMountChosen}, 50), {kForcedUndo}),
         49,
         0},
        {"27.0",
         fsAPFS,
         true,
         true,
         {"MOUNT=ignore"},
         "Volume was not mounted at $C",
         Then(Checks({kInfo, kUnmount5, "diskutil\tmount\tnobrowse\t-mountPoint\t$C\t/dev/disk5s1"},
                     50),
              kForcedEject),
         49,
         0},
        // Each step that fails undoes the attach, forced.
        {"", fsHFS, true, false, {"FAIL_INFO=1:i"}, "i", {kInfo, kForcedUndo}, 0, 0},
        {"", fsAPFS, false, true, {"FAIL_UNMOUNT=1:u"}, "u", {kInfo, kUnmount5, kForcedUndo}, 0, 0},
        {"27.0",
         fsHFS,
         true,
         false,
         {"FAIL_MOUNT=1:m"},
         "m",
         Then({kInfo, kUnmount4, "diskutil\tmount\tnobrowse\t/dev/disk4"}, kForcedEject),
         0,
         0},
        {"",
         fsHFS,
         true,
         false,
         {"SIGNAL_MOUNT=9"},
         "",
         {kInfo, kUnmount4, "diskutil\tmount\tnobrowse\t/dev/disk4", kForcedUndo},
         0,
         0},
        {"",
         fsHFS,
         true,
         true,
         {"FAIL_MOUNT=1:m", "FAIL_DETACH=16:d"},
         "d",
         {kInfo, kUnmount4, "diskutil\tmount\tnobrowse\t-mountPoint\t$C\t/dev/disk4", kForcedUndo},
         0,
         1}}));

using PlaceOnceTest = testing::StandInTest;

// The listing names a mount point as the system resolves it; the folder
// given through a link is the same folder.
TEST_F(PlaceOnceTest, AFolderNamedThroughALink) {
  testing::MakeDirs(dir() + "/chosen");
  ASSERT_EQ(::symlink((dir() + "/chosen").c_str(), (dir() + "/link").c_str()), 0);
  TMemoryVolume volume;
  volume.Size = 1 << 20;
  volume.Name = "a b";
  volume.MountPoint = dir() + "/link";
  volume.SystemMountPoint = volumes() + "a b";
  EXPECT_EQ(testing::Outcome([&] { volume.CreateVolume(); }), kOk);
  EXPECT_EQ(volume.MountedAt, dir() + "/link");
}

// The markers go where the format mounted the volume; a volume that is not
// there is not looked for elsewhere.
TEST_F(PlaceOnceTest, VolumeNotWhereTheFormatPutIt) {
  TMemoryVolume volume;
  volume.Size = 1 << 20;
  volume.Name = "a b";
  volume.Hidden = true;
  volume.SystemMountPoint = volumes() + "elsewhere";
  EXPECT_EQ(
      testing::Outcome([&] { volume.CreateVolume(); }),
      "Cannot write " + volumes() + "elsewhere/.metadata_never_index: No such file or directory");
  volume.Hidden = false;
  volume.MountPoint = dir();
  volume.Name = "c";
  EXPECT_EQ(testing::Outcome([&] { volume.CreateVolume(); }),
            "No device is mounted at " + volumes() + "elsewhere");
  EXPECT_EQ(AttachedDevices(), 0);
}

// From macOS 27 on diskutil does the image work. The Darwin release decides
// when it is a plain dotted number, whatever product version macOS tells
// for compatibility; otherwise the product version does, and a version
// that is not a plain dotted number counts as a release before 27.
TEST(ImageToolTest, DiskutilFromMacOS27On) {
  const ImageTool kD = ImageTool::kDiskutil, kH = ImageTool::kHdiutil;
  const std::tuple<std::string, std::string, ImageTool> rows[] = {
      {"27.0", "26.0.0", kD},
      {"17.0", "26.1.0", kD},
      {"16.0", "25.2.0", kH},
      {"26.4", "26.0.0", kD},
      {"27.0", "25.9", kH},
      {"27.0", "abc", kD},
      {"26.4", "26.", kH},
      {"26.4", "", kH},
      {"", "26.0.0", kD},
      {"27", "", kD},
      {"27.1.2", "", kD},
      {"2147483648.0", "", kD},
      {"99999999999999999999.1", "", kD},
      {"26.4.1", "", kH},
      {"", "", kH},
      {"27abc", "", kH},
      {"27.", "", kH},
      {".27", "", kH},
      {"27..1", "", kH},
      {" 27", "", kH},
      {std::string("27\0", 3), "", kH}};
  for (const auto& [version, darwin, tool] : rows)
    EXPECT_EQ(ImageToolFor(version, darwin), tool) << version << " " << darwin;
}

}  // namespace
}  // namespace ramdisk
