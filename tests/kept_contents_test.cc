// Saving a volume's contents to its folder and loading them back, with the
// stand-in ditto, in this process: every fault and every leftover of a run
// that died between two steps leaves the folder a complete copy.

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ostream>

#include "core/common/directory.h"
#include "core/common/file_tree.h"
#include "core/common/unique_fd.h"
#include "core/macos/disks/kept_contents.h"
#include "core/macos/disks/name_exchange.h"
#include "support/files.h"
#include "support/outcome.h"
#include "support/stand_ins.h"

namespace ramdisk {
namespace {

using Lines = std::vector<std::string>;

enum class Step { kSave, kLoad, kRecover };
// The copy a folder holds: none, the one being saved ("new"), the last
// save ("old") or an earlier one ("older"); "part" is half a copy.
enum Copy { kNone, kNew, kOld, kOlder, kPart };

struct KeepCase {
  const char* name;
  Step step;
  Copy dir, fresh, old;  // DIR, DIR.ramdisk-new, DIR.ramdisk-old before
  Lines environment;     // for the stand-ins, "NAME=value"
  int exchange_error;    // pretended; 0: the system's
  bool locked;           // another run holds the lock
  const char* outcome;   // "$D" stands for DIR
  Copy after;            // what DIR holds afterwards
};

std::ostream& operator<<(std::ostream& os, const KeepCase& c) { return os << c.name; }

const char kHalfway[] = "RAMDISK_STANDIN_DITTO_HALFWAY=1:ditto: No space left on device";

class KeepTest : public testing::StandInTest, public ::testing::WithParamInterface<KeepCase> {
 protected:
  // A copy as a folder holds it: a mode, a time, a nested folder and two
  // links, one of them dangling.
  static void Fill(const std::string& path, Copy copy) {
    if (copy == kNone)
      return;
    testing::MakeDirs(path);
    const char* text[] = {"", "new", "old", "older", "part"};
    const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimensat(AT_FDCWD, testing::WriteFile(path + "/a", text[copy], 0640).c_str(), times, 0);
    if (copy == kPart)
      return;
    ::utimensat(AT_FDCWD, testing::WriteFile(path + "/d/e/f", "nested", 0600).c_str(), times, 0);
    EXPECT_EQ(::symlink("a", (path + "/l").c_str()), 0);
    EXPECT_EQ(::symlink("../nowhere", (path + "/d/m").c_str()), 0);
  }

  static std::string Reference(const std::string& path, Copy copy) {
    testing::RemoveTree(path);
    Fill(path, copy);
    return testing::TreeText(path);
  }
};

// The volume holds the new copy beside its housekeeping, which never
// reaches the folder.
TEST_P(KeepTest, LeavesTheFolderACompleteCopy) {
  const KeepCase& c = GetParam();
  const std::string volume = dir() + "/volume", folder = dir() + "/keep";
  Fill(volume, kNew);
  for (const char* entry : {".ramdisk-keep", ".fseventsd/no_log", ".Trashes/x", ".Spotlight-V100/y",
                            ".metadata_never_index", ".TemporaryItems/z"})
    testing::WriteFile(volume + "/" + entry, "");
  Fill(folder, c.dir);
  Fill(folder + ".ramdisk-new", c.fresh);
  Fill(folder + ".ramdisk-old", c.old);
  SetEnvs(c.environment);
  UniqueFd lock;
  if (c.locked) {
    lock.reset(::open((folder + ".ramdisk-lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    ASSERT_EQ(::flock(lock.get(), LOCK_EX), 0);
  }
  const PretendExchangeFails exchange(c.exchange_error);
  const std::string loaded = dir() + "/loaded";
  testing::MakeDirs(loaded);

  std::string outcome = testing::Outcome([&] {
    if (c.step == Step::kSave)
      SaveContents(volume, folder);
    else if (c.step == Step::kLoad)
      LoadContents(folder, loaded);
    else
      RecoverFolder(folder);
  });
  if (std::string::size_type at = outcome.find(folder); at != std::string::npos)
    outcome.replace(at, folder.size(), "$D");
  EXPECT_EQ(outcome, c.outcome);

  const std::string kept = testing::TreeText(folder);
  EXPECT_EQ(kept, Reference(dir() + "/reference", c.after));
  if (c.step == Step::kLoad && outcome == "accepted") {
    EXPECT_TRUE(DirectoryExists(folder));
    EXPECT_EQ(KeptFolder(loaded), folder);
    ::unlink((loaded + "/" + kKeepFileName).c_str());
    EXPECT_EQ(testing::TreeText(loaded), kept);
  }
  // Leftovers go with the next run that holds the lock; none is made.
  EXPECT_EQ(PathExists(folder + ".ramdisk-new"), c.locked && c.fresh != kNone);
  EXPECT_EQ(PathExists(folder + ".ramdisk-old"), c.locked && c.old != kNone);
}

INSTANTIATE_TEST_SUITE_P(
    Table, KeepTest,
    ::testing::ValuesIn(std::vector<KeepCase>{
        {"Save", Step::kSave, kOld, kNone, kNone, {}, 0, false, "accepted", kNew},
        {"FirstSave", Step::kSave, kNone, kNone, kNone, {}, 0, false, "accepted", kNew},
        {"SaveWithoutExchange",
         Step::kSave,
         kOld,
         kNone,
         kNone,
         {},
         ENOTSUP,
         false,
         "accepted",
         kNew},
        {"SaveOverHalfACopyLeft", Step::kSave, kOld, kPart, kNone, {}, 0, false, "accepted", kNew},
        {"CopyFailsHalfway",
         Step::kSave,
         kOld,
         kNone,
         kNone,
         {kHalfway},
         0,
         false,
         "ditto: No space left on device",
         kOld},
        {"CopyFails",
         Step::kSave,
         kOld,
         kNone,
         kNone,
         {"RAMDISK_STANDIN_FAIL_DITTO=1:ditto: Permission denied"},
         0,
         false,
         "ditto: Permission denied",
         kOld},
        {"ExchangeFails",
         Step::kSave,
         kOld,
         kNone,
         kNone,
         {},
         EIO,
         false,
         "Cannot replace $D: Input/output error",
         kOld},
        {"LockHeld",
         Step::kSave,
         kOld,
         kPart,
         kNone,
         {},
         0,
         true,
         "Folder $D is being saved",
         kOld},
        // A save that died after DIR became DIR.ramdisk-old, before DIR.ramdisk-new
        // became DIR: the earlier copy is put back before anything else.
        {"SaveAfterHalfAFallback",
         Step::kSave,
         kNone,
         kNew,
         kOlder,
         {kHalfway},
         0,
         false,
         "ditto: No space left on device",
         kOlder},
        {"RecoverHalfAFallback",
         Step::kRecover,
         kNone,
         kNew,
         kOlder,
         {},
         0,
         false,
         "accepted",
         kOlder},
        {"RecoverAfterAFallback",
         Step::kRecover,
         kNew,
         kNone,
         kPart,
         {},
         0,
         false,
         "accepted",
         kNew},
        {"RecoverAfterAnExchange",
         Step::kRecover,
         kNew,
         kPart,
         kNone,
         {},
         0,
         false,
         "accepted",
         kNew},
        {"RecoverHalfACopy", Step::kRecover, kOld, kPart, kNone, {}, 0, false, "accepted", kOld},
        // An add puts the leftovers right before it loads.
        {"Load", Step::kLoad, kOld, kNone, kNone, {}, 0, false, "accepted", kOld},
        {"LoadAfterHalfAFallback",
         Step::kLoad,
         kNone,
         kNew,
         kOlder,
         {},
         0,
         false,
         "accepted",
         kOlder},
        {"LoadMakesTheFolder", Step::kLoad, kNone, kNone, kNone, {}, 0, false, "accepted", kNone},
        {"LoadFailsHalfway",
         Step::kLoad,
         kOld,
         kNone,
         kNone,
         {kHalfway},
         0,
         false,
         "ditto: No space left on device",
         kOld},
        {"LoadLocked",
         Step::kLoad,
         kOld,
         kNone,
         kNone,
         {},
         0,
         true,
         "Folder $D is being saved",
         kOld}}),
    [](const ::testing::TestParamInfo<KeepCase>& row) { return std::string(row.param.name); });

// A save run with sudo leaves the folder its owner's, with its mode.
TEST_F(KeepTest, KeepsTheFolderOwnerAndMode) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "giving a folder away needs root";
  const std::string volume = dir() + "/volume", folder = dir() + "/keep";
  Fill(volume, kNew);
  Fill(folder, kOld);
  ASSERT_EQ(::chown(folder.c_str(), 1234, 5678), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0710), 0);
  EXPECT_EQ(testing::Outcome([&] { SaveContents(volume, folder); }), "accepted");
  struct stat info;
  ASSERT_EQ(::stat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 1234u);
  EXPECT_EQ(info.st_gid, 5678u);
  EXPECT_EQ(info.st_mode & 07777, 0710u);
  EXPECT_EQ(testing::TreeText(folder), Reference(dir() + "/reference", kNew));
}

}  // namespace
}  // namespace ramdisk
