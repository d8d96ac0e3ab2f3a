// Memory volumes against the stand-in disk tools, in this process: what each
// tool run gets, and what is undone when a run fails.

#include <limits>
#include <optional>
#include <ostream>
#include <tuple>

#include "core/common/file_system.h"
#include "core/macos/disks/memory_volume.h"
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
  for (const std::string& entry : c.environment)
    SetEnv("RAMDISK_STANDIN_" + entry.substr(0, entry.find('=')),
           entry.substr(entry.find('=') + 1));
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
