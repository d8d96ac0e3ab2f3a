// The delete command in this process, against the stand-in disk tools and a
// folder of volumes of the test's own.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <tuple>

#include "console/commands.h"
#include "core/common/file_tree.h"
#include "core/common/unique_fd.h"
#include "core/macos/disks/kept_contents.h"
#include "core/macos/disks/mount_point.h"
#include "core/macos/runner/command.h"
#include "support/child_process.h"
#include "support/files.h"
#include "support/outcome.h"
#include "support/stand_ins.h"

namespace ramdisk {
namespace {

using Lines = std::vector<std::string>;

using DelDiskTest = testing::StandInTest;

// Only a directory, or a link to one, can be a volume; nothing else is
// looked for.
TEST_F(DelDiskTest, NoVolumeDirectoryIsReportedWithoutToolRun) {
  testing::WriteFile(volumes() + "file", "x");
  for (const char* name : {"missing", "file"}) {
    EXPECT_EQ(testing::Reported({"-force"}, [&] { DelDisk(name, volumes()); }),
              std::string("General error: No volumes named ") + name + " found\n");
  }
  EXPECT_EQ(ToolRuns(), Lines{});
}

// A delete in a world of RAM disks and other things below the folder of
// volumes, on the release `version` with Darwin `darwin`. A target that
// starts with "$V", the folder of volumes, is a path (DelPath), one that
// holds "/" a device (DelDevice), anything else a volume name (DelDisk).
// "$V" in `out` stands for the folder of volumes too.
struct DeleteCase {
  std::string target;
  const char* version;
  const char* darwin;
  Lines args;
  Lines environment;  // "NAME=value"
  std::string out;
  Lines runs;  // after "hdiutil info -plist", which always runs first
};

std::ostream& operator<<(std::ostream& os, const DeleteCase& c) {
  return os << "[" << testing::Printable(c.target) << "] " << c.version << "/" << c.darwin
            << testing::Bracketed(c.args) << testing::Bracketed(c.environment);
}

class DeleteTest : public testing::StandInTest, public ::testing::WithParamInterface<DeleteCase> {
 protected:
  // "x" is an HFS+ RAM disk on disk4 and "ap" an APFS one on disk5, with
  // the container disk6 on it; disk7 is a RAM device without a volume. The
  // listing adds the image of a file mounted at "file", and RAM disks
  // mounted at "s 1", "Mixed" and a folder outside the folder of volumes,
  // "elsewhere/e", beside directories "s", "mixed" and "e", one that
  // names no device at "nodev", and disk8, a RAM device of the stand-in,
  // with two volumes, "a" and "b", listed before the stand-in's own entry.
  // "plain" is a plain directory, and "link" a link to another.
  void MakeWorld() {
    testing::Reported({"-size:1m", "-fs:hfs+"}, [&] { AddDisk("x", volumes()); });
    testing::Reported({"-size:1m"}, [&] { AddDisk("ap", volumes()); });
    TCommand("hdiutil").Execute({"attach", "-plist", "-nomount", "ram://8"});
    TCommand("hdiutil").Execute({"attach", "-plist", "-nomount", "ram://8"});
    for (const char* name : {"plain", "file", "s", "mixed", "e", "nodev", "a", "b"})
      testing::MakeDirs(volumes() + name);
    testing::MakeDirs(dir() + "/target");
    ASSERT_EQ(::symlink((dir() + "/target").c_str(), (volumes() + "link").c_str()), 0);
    std::string listing =
        testing::RunProcess(RAMDISK_STANDIN_BIN_DIR "/hdiutil", {"info", "-plist"}).out;
    listing.insert(listing.find("<array>") + 8,
                   Image("/x.dmg", "/dev/disk9", volumes() + "file") +
                       Image("ram://8", "/dev/disk10", volumes() + "s 1") +
                       Image("ram://8", "/dev/disk11", volumes() + "Mixed") +
                       Image("ram://8", "/dev/disk12", dir() + "/elsewhere/e") +
                       Image("ram://8", "", volumes() + "nodev") +
                       Image("ram://8", "/dev/disk8", volumes() + "a", volumes() + "b"));
    testing::WriteFile(dir() + "/listing", listing);
    // The stand-in runs for the log and its failures; the listing is ours.
    testing::WriteFile(dir() + "/bin/hdiutil",
                       "#!/bin/sh\nif [ \"$1\" = info ]; then " RAMDISK_STANDIN_BIN_DIR
                       "/hdiutil \"$@\" >/dev/null || exit; exec cat " +
                           dir() +
                           "/listing; fi\nexec " RAMDISK_STANDIN_BIN_DIR "/hdiutil \"$@\"\n",
                       0755);
    SetEnv("PATH", dir() + "/bin:" + std::getenv("PATH"));
  }

  // An image with a volume at `mount_point`, and one at `second` on its
  // second slice when given.
  static std::string Image(const std::string& path, const std::string& device,
                           const std::string& mount_point, const std::string& second = "") {
    return "<dict><key>image-path</key><string>" + path +
           "</string><key>system-entities</key><array><dict>" +
           (device.empty() ? "" : "<key>dev-entry</key><string>" + device + "</string>") +
           "<key>mount-point</key><string>" + mount_point + "</string></dict>" +
           (second.empty()
                ? ""
                : "<dict><key>dev-entry</key><string>" + device +
                      "s2</string><key>mount-point</key><string>" + second + "</string></dict>") +
           "</array></dict>";
  }
};

TEST_P(DeleteTest, DetachesTheWholeDiskOfARamDiskAndNothingElse) {
  const DeleteCase& c = GetParam();
  MakeWorld();
  PlayRelease(c.version, c.darwin);
  SetEnvs(c.environment);

  const std::size_t before = ToolRuns().size();
  std::string out = c.out;
  if (std::string::size_type at = out.find("$V"); at != std::string::npos)
    out.replace(at, 2, volumes());
  EXPECT_EQ(testing::Reported(c.args,
                              [&] {
                                if (c.target.rfind("$V", 0) == 0)
                                  DelPath(volumes() + c.target.substr(2));
                                else if (c.target.find('/') == std::string::npos)
                                  DelDisk(c.target, volumes());
                                else
                                  DelDevice(c.target);
                              }),
            out);
  Lines runs = ToolRuns();
  runs.erase(runs.begin(), runs.begin() + static_cast<long>(before));
  // The wrapper runs the stand-in by its path.
  for (std::string& run : runs)
    run.erase(0, run.rfind('/', run.find('\t')) + 1);
  Lines expected = {"hdiutil\tinfo\t-plist"};
  expected.insert(expected.end(), c.runs.begin(), c.runs.end());
  EXPECT_EQ(runs, expected);
}

const std::string kRemovedX = "Removing memory volume...\nRemoved memory volume $Vx\n";
const std::string kRemovedAp = "Removing memory volume...\nRemoved memory volume $Vap\n";
const std::string kRemovedA = "Removing memory volume...\nRemoved memory volume $Va\n";
const std::string kRemovedB = "Removing memory volume...\nRemoved memory volume $Vb\n";
const std::string kRemoved7 = "Removing memory volume...\nRemoved memory volume /dev/disk7\n";
const std::string kRemoved4 = "Removing memory volume...\nRemoved memory volume /dev/disk4\n";
const std::string kBusy = "hdiutil: couldn't unmount \"disk4\" - Resource busy";
const Lines kForce = {"-force"};
const Lines kEject5 = {"diskutil\tunmountDisk\tforce\t/dev/disk5", "diskutil\teject\t/dev/disk5"};

std::string NotRamDisk(const std::string& name) {
  return "General error: Volume " + name + " is not a RAM disk\n";
}

INSTANTIATE_TEST_SUITE_P(
    Table, DeleteTest,
    ::testing::ValuesIn(std::vector<DeleteCase>{
        // Only the exact flag forces, wherever it stands.
        {"x", "", "", {"-Force", "-size:1g"}, {}, kRemovedX, {"hdiutil\tdetach\t/dev/disk4"}},
        {"x", "", "", kForce, {}, kRemovedX, {"hdiutil\tdetach\t/dev/disk4\t-force"}},
        // The image's disk, never the container on it; from macOS 27 on,
        // as the kernel tells it whatever the product version says.
        {"ap", "26.4", "", {}, {}, kRemovedAp, {"hdiutil\tdetach\t/dev/disk5"}},
        {"ap", "27.0", "", {}, {}, kRemovedAp, {"diskutil\teject\t/dev/disk5"}},
        {"ap", "17.0", "26.1.0", kForce, {}, kRemovedAp, kEject5},
        {"/dev/disk7", "", "", {}, {}, kRemoved7, {"hdiutil\tdetach\t/dev/disk7"}},
        {"/dev/disk7",
         "",
         "26.0.0",
         kForce,
         {},
         kRemoved7,
         {"diskutil\tunmountDisk\tforce\t/dev/disk7", "diskutil\teject\t/dev/disk7"}},
        // Any of a RAM disk's volumes names it.
        {"a", "", "", {}, {}, kRemovedA, {"hdiutil\tdetach\t/dev/disk8"}},
        {"b", "", "", {}, {}, kRemovedB, {"hdiutil\tdetach\t/dev/disk8"}},
        // By its path, where the same holds.
        {"$Vx", "", "", {}, {}, kRemovedX, {"hdiutil\tdetach\t/dev/disk4"}},
        {"$Vplain", "", "", kForce, {}, NotRamDisk("$Vplain"), {}},
        // Whatever is no RAM disk of that mount point or device.
        {"plain", "", "", kForce, {}, NotRamDisk("plain"), {}},
        {"link", "", "", kForce, {}, NotRamDisk("link"), {}},
        {"file", "", "", kForce, {}, NotRamDisk("file"), {}},
        {"e", "", "", kForce, {}, NotRamDisk("e"), {}},
        {"s", "", "", kForce, {}, NotRamDisk("s"), {}},
        {"mixed", "27.0", "", kForce, {}, NotRamDisk("mixed"), {}},
        {"nodev", "", "", kForce, {}, NotRamDisk("nodev"), {}},
        {"/dev/disk9", "", "", kForce, {}, "General error: No RAM disk /dev/disk9 found\n", {}},
        {"/dev/disk45", "", "", kForce, {}, "General error: No RAM disk /dev/disk45 found\n", {}},
        {"x",
         "27.0",
         "",
         {},
         {"RAMDISK_STANDIN_FAIL_INFO=1:hdiutil: info failed"},
         "General error: hdiutil: info failed\n",
         {}},
        {"x",
         "",
         "",
         {},
         {"RAMDISK_STANDIN_FAIL_DETACH=16:hdiutil: WARNING: 'hdiutil detach ...' is "
          "deprecated.\n" +
          kBusy},
         "Removing memory volume...\nGeneral error: " + kBusy + "\n",
         {"hdiutil\tdetach\t/dev/disk4"}}}));

// On macOS the delete compares the listing with the mount point that
// statfs() names: the path itself when the call fails, else f_mntonname up
// to its first zero byte, all of it when it holds none.
TEST(MountPointTest, NamesWhatStatfsAnswers) {
  const std::tuple<int, std::string, std::string> rows[] = {
      {0, std::string("/Volumes/b\0/Volumes/a", 21), "/Volumes/b"},
      {0, std::string("/\0\0\0", 4), "/"},
      {0, "/Volumes/full", "/Volumes/full"},
      {-1, std::string("/\0", 2), "/Volumes/b/c"}};
  for (const auto& [status, buffer, answer] : rows) {
    EXPECT_EQ(MountPointFromStatfs("/Volumes/b/c", status, buffer.data(), buffer.size()), answer)
        << testing::Printable(buffer);
  }
}

// A kept RAM disk "x": its folder held "old" before the add, its volume
// holds "new" now. `target` names it as DelDisk or DelDevice does, or is
// "save" for SaveDisk. "$V" in `out` stands for the folder of volumes, "$D"
// for the kept folder.
struct KeptCase {
  std::string target;
  Lines args;
  Lines environment;  // "NAME=value"
  bool held_open;     // a file on the volume is open
  std::string out;
  bool detached;
  const char* kept;  // what the folder holds afterwards
};

std::ostream& operator<<(std::ostream& os, const KeptCase& c) {
  return os << "[" << c.target << "]" << testing::Bracketed(c.args)
            << testing::Bracketed(c.environment) << (c.held_open ? " held open" : "");
}

class KeptDeleteTest : public testing::StandInTest,
                       public ::testing::WithParamInterface<KeptCase> {};

TEST_P(KeptDeleteTest, SavesBeforeItDetaches) {
  const KeptCase& c = GetParam();
  const std::string folder = dir() + "/keep";
  testing::WriteFile(folder + "/a", "old");
  testing::Reported({"-size:1m", "-fs:hfs+", "-keep:" + folder}, [&] { AddDisk("x", volumes()); });
  testing::WriteFile(volumes() + "x/a", "new");
  SetEnvs(c.environment);
  UniqueFd held;
  if (c.held_open)
    held.reset(::open((volumes() + "x/a").c_str(), O_RDONLY | O_CLOEXEC));

  std::string out = c.out;
  for (const auto& [mark, value] : {std::pair{"$V", volumes()}, std::pair{"$D", folder}}) {
    for (auto at = out.find(mark); at != std::string::npos; at = out.find(mark))
      out.replace(at, 2, value);
  }
  EXPECT_EQ(testing::Reported(c.args,
                              [&] {
                                if (c.target == "save")
                                  SaveDisk("x", volumes());
                                else if (c.target == "x")
                                  DelDisk("x", volumes());
                                else
                                  DelDevice(c.target);
                              }),
            out);
  EXPECT_EQ(AttachedDevices(), c.detached ? 0 : 1);
  std::ifstream file(folder + "/a");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), c.kept);
  EXPECT_FALSE(PathExists(folder + "/" + kKeepFileName));
}

const std::string kSavedX = "Saving memory volume to $D...\nSaved memory volume $Vx to $D\n";
const char kHalfway[] = "RAMDISK_STANDIN_DITTO_HALFWAY=1:ditto: No space left on device";

INSTANTIATE_TEST_SUITE_P(
    Table, KeptDeleteTest,
    ::testing::ValuesIn(std::vector<KeptCase>{
        {"x", {}, {}, false, kSavedX + kRemovedX, true, "new"},
        {"/dev/disk4", {}, {}, false, kSavedX + kRemoved4, true, "new"},
        {"x", {"-discard"}, {}, false, kRemovedX, true, "old"},
        {"/dev/disk4", {"-discard"}, {}, false, kRemoved4, true, "old"},
        // Forced, a busy volume is still saved first.
        {"x", kForce, {}, true, kSavedX + kRemovedX, true, "new"},
        {"save", {}, {}, true, kSavedX, false, "new"},
        {"save", {"-discard"}, {}, false, kSavedX, false, "new"},
        // A save that fails detaches nothing; a detach that fails keeps the save.
        {"x",
         kForce,
         {kHalfway},
         false,
         "Saving memory volume to $D...\nGeneral error: ditto: No space left on device\n",
         false,
         "old"},
        {"save",
         {},
         {kHalfway},
         false,
         "Saving memory volume to $D...\nGeneral error: ditto: No space left on device\n",
         false,
         "old"},
        {"x",
         {},
         {},
         true,
         kSavedX + "Removing memory volume...\nGeneral error: " + kBusy + "\n",
         false,
         "new"}}));

// Only a RAM disk with a keep file is saved, or saved to.
TEST_F(DelDiskTest, SavesOnlyAKeptRamDisk) {
  testing::Reported({"-size:1m"}, [&] { AddDisk("x", volumes()); });
  testing::MakeDirs(volumes() + "plain");
  testing::WriteFile(volumes() + "plain/" + kKeepFileName, dir() + "/keep\n");
  EXPECT_EQ(testing::Reported({}, [&] { SaveDisk("x", volumes()); }),
            "General error: Volume x has no folder to keep its contents\n");
  EXPECT_EQ(testing::Reported({}, [&] { SaveDisk("plain", volumes()); }), NotRamDisk("plain"));
  EXPECT_EQ(testing::Reported({}, [&] { SaveDisk("none", volumes()); }),
            "General error: No volumes named none found\n");
  testing::WriteFile(volumes() + "x/" + kKeepFileName, volumes() + "x/in\n");
  EXPECT_EQ(testing::Reported({}, [&] { SaveDisk("x", volumes()); }),
            "General error: Folder " + volumes() + "x/in lies on a RAM disk\n");
  ::unlink((volumes() + "x/" + kKeepFileName).c_str());
  EXPECT_EQ(testing::Reported({}, [&] { DelDisk("x", volumes()); }),
            "Removing memory volume...\nRemoved memory volume " + volumes() + "x\n");
  EXPECT_FALSE(PathExists(dir() + "/keep"));
}

// A kept disk at a folder of the user's is loaded there, and saved when
// named by that folder; a folder to keep in at or below it is refused.
TEST_F(DelDiskTest, KeepsADiskAtAChosenFolder) {
  const std::string mounted = dir() + "/mnt", folder = dir() + "/keep";
  testing::MakeDirs(mounted);
  testing::WriteFile(folder + "/a", "old");
  EXPECT_EQ(testing::Reported({"-size:1m", "-mount:" + mounted, "-keep:" + mounted + "/k"},
                              [&] { AddDisk("x", volumes()); }),
            "General error: Folder " + mounted + "/k lies on a RAM disk\n");
  EXPECT_EQ(testing::Reported({"-size:1m", "-mount:" + mounted, "-keep:" + folder},
                              [&] { AddDisk("x", volumes()); }),
            "Creating memory volume...\nLoading memory volume from " + folder +
                "...\nCreated memory volume " + mounted + "\n");
  testing::WriteFile(mounted + "/a", "new");
  const std::string saved =
      "Saving memory volume to " + folder + "...\nSaved memory volume " + mounted + " to " + folder;
  EXPECT_EQ(testing::Reported({}, [&] { SavePath(mounted); }), saved + "\n");
  EXPECT_EQ(testing::Reported({}, [&] { DelPath(mounted); }),
            saved + "\nRemoving memory volume...\nRemoved memory volume " + mounted + "\n");
  EXPECT_EQ(testing::TreeText(folder).substr(0, 11), "/a 644 new ");
  EXPECT_EQ(testing::Reported({}, [&] { SavePath(mounted); }),
            "General error: Volume " + mounted + " is not a RAM disk\n");
}

}  // namespace
}  // namespace ramdisk
