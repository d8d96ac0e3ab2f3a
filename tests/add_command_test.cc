// The add command in this process, against the stand-in disk tools and a
// folder of volumes of the test's own.

#include <sys/stat.h>
#include <unistd.h>

#include <ostream>
#include <utility>

#include "console/commands.h"
#include "core/macos/disks/kept_contents.h"
#include "support/files.h"
#include "support/outcome.h"
#include "support/stand_ins.h"

namespace ramdisk {
namespace {

using Lines = std::vector<std::string>;
using testing::ApfsRun;
using testing::AttachRun;
using testing::EraseRun;

const char kCreating[] = "Creating memory volume...\n";

struct AddCase {
  std::vector<std::string> args;
  const char* error;  // nullptr: created
  Lines runs;
};

std::ostream& operator<<(std::ostream& os, const AddCase& c) {
  return os << testing::Bracketed(c.args);
}

class AddDiskTest : public testing::StandInTest {
 protected:
  std::string Add(const std::string& name, const std::vector<std::string>& args) {
    return testing::Reported(args, [&] { AddDisk(name, volumes()); });
  }
};

class AddSwitchTest : public AddDiskTest, public ::testing::WithParamInterface<AddCase> {};

// The size, held against 16 GiB of memory, comes before the file system.
TEST_P(AddSwitchTest, CreatesWhatTheSwitchesAskFor) {
  const AddCase& c = GetParam();
  EXPECT_EQ(Add("x", c.args), c.error ? std::string("General error: ") + c.error + "\n"
                                      : kCreating + ("Created memory volume " + volumes()) + "x\n");
  EXPECT_EQ(ToolRuns(), c.runs);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AddSwitchTest,
    ::testing::ValuesIn(std::vector<AddCase>{
        {{"-size:1g"}, nullptr, {AttachRun("2097152"), ApfsRun("x")}},
        {{"-SIZE:$10M", "-fs:APFS"}, nullptr, {AttachRun("32768"), ApfsRun("x")}},
        {{"-size:1000", "-FS:hfs+"}, nullptr, {AttachRun("1"), EraseRun("HFS+", "x")}},
        {{"-fs:ExFat", "x", "-size:100m"}, nullptr, {AttachRun("204800"), EraseRun("exFAT", "x")}},
        {{"-size:1g", "-fs:fat32"}, nullptr, {AttachRun("2097152"), EraseRun("FAT32", "x")}},
        {{"-size:1k", "-fs:APFSX"}, nullptr, {AttachRun("2"), EraseRun("APFSX", "x")}},
        {{"-size:25%", "-fs:hfsx"}, nullptr, {AttachRun("8388608"), EraseRun("HFSX", "x")}},
        {{"-size:100%"}, nullptr, {AttachRun("33554432"), ApfsRun("x")}},
        {{"-size:4294967297%"}, "Incorrect size specified", {}},
        {{"-size:17g", "-fs:ntfs"}, "Size exceeds physical memory of 16G", {}},
        {{"-fs:apfs"}, "Size is not given", {}},
        {{"-size:1g", "-fs:ntfs"}, "Invalid file system: ntfs", {}},
        {{"-size:1g", "-fs:"}, "Invalid file system: ", {}},
        {{"-size:1g", "-fs:hfs"}, "Invalid file system: hfs", {}},
        {{"-size:abc", "-fs:ntfs"}, "Incorrect size specified", {}}}));

// A directory, or a link to one, takes the name: refused before the size is
// looked at. A plain file, or a link to one, does not.
TEST_F(AddDiskTest, OnlyADirectoryTakesTheName) {
  ASSERT_EQ(::mkdir((volumes() + "taken").c_str(), 0755), 0);
  ASSERT_EQ(::symlink((volumes() + "taken").c_str(), (volumes() + "linked").c_str()), 0);
  testing::WriteFile(volumes() + "file", "x");
  ASSERT_EQ(::symlink((volumes() + "file").c_str(), (volumes() + "filelink").c_str()), 0);
  for (const char* name : {"taken", "linked"}) {
    EXPECT_EQ(Add(name, {}),
              std::string("General error: Mount point ") + name + " is already in use\n");
  }
  EXPECT_EQ(ToolRuns(), Lines{});
  for (const char* name : {"file", "filelink"})
    EXPECT_EQ(Add(name, {"-size:1m"}),
              kCreating + ("Created memory volume " + volumes()) + name + "\n");
}

// The folder of -mount: is checked after the other switches, before
// anything runs; "~/" is the home folder. "$H" stands for it.
TEST_F(AddDiskTest, MountFolderIsCheckedBeforeAnythingRuns) {
  const std::string home = dir() + "/home";
  testing::MakeDirs(home + "/full/x");
  testing::MakeDirs(home + "/empty");
  testing::WriteFile(home + "/file", "");
  SetEnv("HOME", home + "//");
  const std::pair<std::vector<std::string>, std::string> rows[] = {
      {{"-mount:rel/x"}, "Mount point rel/x is not an absolute path"},
      {{"-mount:~"}, "Mount point ~ is not an absolute path"},
      {{"-mount:"}, "Mount point  is not an absolute path"},
      {{"-mount:/a\tb"}, "Invalid mount point string: /a\tb"},
      {{"-mount:~/a\x7f"}, "Invalid mount point string: ~/a\x7f"},
      {{"-mount:~/missing"}, "Mount point $H/missing does not exist"},
      {{"-mount:~/full", "-hidden"}, "Mount point $H/full is not an empty directory"},
      {{"-mount:~/file"}, "Mount point $H/file is not an empty directory"},
      {{"-mount:/"}, "Mount point / is already in use"},
      {{"-mount:/", "-fs:ntfs"}, "Invalid file system: ntfs"},
      {{"-mount:~/empty", "-hidden"}, ""}};
  for (const auto& [args, error] : rows) {
    std::vector<std::string> all = {"-size:1m"};
    all.insert(all.end(), args.begin(), args.end());
    std::string expected = error.empty()
                               ? std::string(kCreating) + "Created memory volume $H/empty\n"
                               : "General error: " + error + "\n";
    if (std::string::size_type at = expected.find("$H"); at != std::string::npos)
      expected.replace(at, 2, home);
    EXPECT_EQ(Add("x", all), expected) << testing::Bracketed(all);
  }
  EXPECT_EQ(ToolRuns().size(), 6u);  // the last row's
  for (const char* unusable : {"", "home"}) {
    SetEnv("HOME", unusable);
    EXPECT_EQ(Add("y", {"-size:1m", "-mount:~/empty"}),
              "General error: Mount point ~/empty is not an absolute path\n");
  }
}

// Once the input is accepted, the progress line is out before the tools run.
TEST_F(AddDiskTest, FailedCreationFollowsTheProgressLine) {
  SetEnv("RAMDISK_STANDIN_FAIL_ATTACH", "1:hdiutil: attach failed - Resource busy");
  EXPECT_EQ(Add("x", {"-size:1g"}),
            std::string(kCreating) + "General error: hdiutil: attach failed - Resource busy\n");
}

// The folder is checked before anything is made; only the check against
// the RAM disks reads their listing. "$T" stands for the test's folder,
// "$V" for the folder of volumes.
TEST_F(AddDiskTest, RefusesAFolderThatCannotKeepTheContents) {
  testing::Reported({"-size:1m"}, [&] { AddDisk("r", volumes()); });
  testing::WriteFile(dir() + "/file", "");
  testing::MakeDirs(dir() + "/home");
  SetEnv("HOME", dir() + "/home");
  const std::pair<std::string, std::string> refusals[] = {
      {"keep", "Folder keep is not an absolute path"},
      {"~keep", "Folder ~keep is not an absolute path"},
      {"", "Invalid folder string: "},
      {"/", "Invalid folder string: /"},
      {"$T/..", "Invalid folder string: $T/.."},
      {"$T/a\tb", "Invalid folder string: $T/a\tb"},
      {"$T/a\x7f", "Invalid folder string: $T/a\x7f"},
      {"$T/missing/keep", "Folder $T/missing/keep does not exist, nor does its parent"},
      {"~/missing/keep", "Folder ~/missing/keep does not exist, nor does its parent"},
      {"$T/file", "Folder $T/file is not a directory"},
      {"$T/file/", "Folder $T/file/ is not a directory"},
      {"$Vx", "Folder $Vx lies on a RAM disk"},
      {"$Vr/keep", "Folder $Vr/keep lies on a RAM disk"},
      {"$Vr/", "Folder $Vr/ lies on a RAM disk"}};
  const std::size_t runs = ToolRuns().size();
  for (auto [value, message] : refusals) {
    for (std::string* text : {&value, &message}) {
      for (const auto& [mark, path] : {std::pair{"$T", dir()}, std::pair{"$V", volumes()}}) {
        for (auto at = text->find(mark); at != std::string::npos; at = text->find(mark))
          text->replace(at, 2, path);
      }
    }
    EXPECT_EQ(Add("x", {"-size:1m", "-keep:" + value}), "General error: " + message + "\n");
  }
  // A home folder that is no absolute path makes none of "~/".
  SetEnv("HOME", "");
  EXPECT_EQ(Add("x", {"-size:1m", "-keep:~/keep"}),
            "General error: Folder ~/keep is not an absolute path\n");
  for (std::size_t run = runs; run < ToolRuns().size(); ++run)
    EXPECT_EQ(ToolRuns()[run], "hdiutil\tinfo\t-plist");
  EXPECT_EQ(AttachedDevices(), 2);
}

// A folder that does not exist is made, private to its owner; a load that
// fails detaches the disk again and leaves the folder as it was.
TEST_F(AddDiskTest, LoadsTheFolderOntoTheNewDisk) {
  SetEnv("HOME", dir());
  const std::string made = dir() + "/made", created = "Created memory volume " + volumes();
  EXPECT_EQ(Add("x", {"-size:1m", "-keep:~/made/"}),
            kCreating + ("Loading memory volume from " + made + "...\n") + created + "x\n");
  struct stat info;
  EXPECT_TRUE(::stat(made.c_str(), &info) == 0 && (info.st_mode & 07777) == 0700);
  EXPECT_EQ(KeptFolder(volumes() + "x"), made);

  testing::WriteFile(made + "/a", "old");
  SetEnv("RAMDISK_STANDIN_FAIL_DITTO", "1:ditto: Permission denied");
  const std::size_t runs = ToolRuns().size();
  EXPECT_EQ(Add("y", {"-size:1m", "-fs:hfs+", "-keep:" + made}),
            kCreating + ("Loading memory volume from " + made + "...\n") +
                "General error: ditto: Permission denied\n");
  Lines tail = ToolRuns();
  tail.erase(tail.begin(), tail.begin() + static_cast<long>(runs));
  EXPECT_EQ(tail, (Lines{"hdiutil\tinfo\t-plist", AttachRun("2048"),
                         "diskutil\tquiet\terasevolume\tHFS+\ty\t/dev/disk6",
                         "ditto\t" + made + "/a\t" + volumes() + "y/a",
                         "hdiutil\tdetach\t/dev/disk6\t-force"}));
  EXPECT_EQ(AttachedDevices(), 2);
  EXPECT_EQ(testing::TreeText(made).substr(0, 11), "/a 644 old ");
}

}  // namespace
}  // namespace ramdisk
