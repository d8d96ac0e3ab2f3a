// The add command end to end: the built tool against the stand-in disk tools.

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

const char kCreating[] = "Creating memory volume...\n";

const char kAttach1G[] = "hdiutil\tattach\t-plist\t-nomount\tram://2097152";

bool IsDirectory(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

struct FormatCase {
  const char* size_switch;
  const char* fs_switch;  // nullptr: none given
  const char* sectors;
  const char* format_run;
};

std::ostream& operator<<(std::ostream& os, const FormatCase& c) {
  return os << c.size_switch << " " << (c.fs_switch ? c.fs_switch : "(no -fs)");
}

class AddFormatTest : public EndToEndTest, public ::testing::WithParamInterface<FormatCase> {};

// Size / 512 sectors are attached, then formatted by the file system's verb.
TEST_P(AddFormatTest, AttachesFormatsAndReportsTheMountPoint) {
  std::vector<std::string> args = {"-add:scratch", GetParam().size_switch};
  if (GetParam().fs_switch)
    args.push_back(GetParam().fs_switch);
  ProcessResult result = Run(args);
  EXPECT_EQ(result.out, std::string(kCreating) + "Created memory volume /Volumes/scratch\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(ToolRuns(),
            (Lines{std::string("hdiutil\tattach\t-plist\t-nomount\tram://") + GetParam().sectors,
                   GetParam().format_run}));
  EXPECT_TRUE(IsDirectory("/Volumes/scratch"));
}

INSTANTIATE_TEST_SUITE_P(
    FileSystems, AddFormatTest,
    ::testing::Values(FormatCase{"-size:1g", nullptr, "2097152",
                                 "diskutil\tapfs\tcreate\t/dev/disk4\tscratch"},
                      FormatCase{"-SIZE:$10M", "-fs:APFS", "32768",
                                 "diskutil\tapfs\tcreate\t/dev/disk4\tscratch"},
                      FormatCase{"-size:1000", "-FS:hfs+", "1",
                                 "diskutil\tquiet\terasevolume\tHFS+\tscratch\t/dev/disk4"},
                      FormatCase{"-size:17179869183G", "-fs:ExFat", "36028797016866816",
                                 "diskutil\tquiet\terasevolume\texFAT\tscratch\t/dev/disk4"},
                      FormatCase{"-size:1g", "-fs:fat32", "2097152",
                                 "diskutil\tquiet\terasevolume\tFAT32\tscratch\t/dev/disk4"}));

struct InputErrorCase {
  std::vector<std::string> args;
  const char* message;
};

std::ostream& operator<<(std::ostream& os, const InputErrorCase& c) {
  for (const std::string& a : c.args)
    os << " [" << a << "]";
  return os;
}

class AddInputErrorTest : public EndToEndTest,
                          public ::testing::WithParamInterface<InputErrorCase> {};

// Refused input writes one error line and runs no tool.
TEST_P(AddInputErrorTest, RefusesBeforeAnyOutputOrToolRun) {
  ProcessResult result = Run(GetParam().args);
  EXPECT_EQ(result.out, std::string("General error: ") + GetParam().message + "\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(ToolRuns(), Lines{});
}

INSTANTIATE_TEST_SUITE_P(
    Input, AddInputErrorTest,
    ::testing::Values(
        InputErrorCase{{"-add:x"}, "Size is not given"},
        InputErrorCase{{"-add:x", "-size:"}, "Size is not given"},
        InputErrorCase{{"-add:x", "-size", "1g"}, "Size is not given"},
        InputErrorCase{{"-add:x", "-size:0G"}, "Incorrect size specified"},
        InputErrorCase{{"-add:x", "-size:1g", "-fs:ntfs"}, "Invalid file system: ntfs"},
        InputErrorCase{{"-add:x", "-size:1g", "-fs:"}, "Invalid file system: "},
        InputErrorCase{{"-add:x", "-size:1g", "-fs:hfs"}, "Invalid file system: hfs"},
        InputErrorCase{{"-add:x", "-size:abc", "-fs:ntfs"}, "Incorrect size specified"}));

using AddTest = EndToEndTest;

// A directory, or a link to one, takes the name: refused before the size is
// looked at. A plain file, or a link to one, does not.
TEST_F(AddTest, OnlyADirectoryTakesTheName) {
  ASSERT_EQ(::mkdir("/Volumes/taken", 0755), 0);
  ASSERT_EQ(::symlink("/Volumes/taken", "/Volumes/linked"), 0);
  { std::ofstream("/Volumes/file") << "x"; }
  ASSERT_EQ(::symlink("/Volumes/file", "/Volumes/filelink"), 0);
  for (const char* name : {"taken", "linked"}) {
    ProcessResult result = Run({std::string("-add:") + name});
    EXPECT_EQ(result.out,
              std::string("General error: Mount point ") + name + " is already in use\n");
    EXPECT_EQ(result.exit_code, 2);
  }
  EXPECT_EQ(ToolRuns(), Lines{});
  for (const char* name : {"file", "filelink"}) {
    ProcessResult result = Run({std::string("-add:") + name, "-size:1m"});
    EXPECT_EQ(result.exit_code, 0) << result.out;
  }
}

TEST_F(AddTest, SwitchOrderAndUnknownArgumentsDoNotMatter) {
  ProcessResult result = Run({"-fs:exfat", "-colour:red", "-size:100m", "extra", "-add:ramdisk1"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(ToolRuns(), (Lines{"hdiutil\tattach\t-plist\t-nomount\tram://204800",
                               "diskutil\tquiet\terasevolume\texFAT\tramdisk1\t/dev/disk4"}));
}

TEST_F(AddTest, FailedFormatIsUndoneAndReported) {
  ProcessResult result =
      Run({"-add:x", "-size:1g", "-fs:hfs+"}, {"RAMDISK_STANDIN_FAIL_ERASEVOLUME=1:Error: -69888: "
                                               "Couldn't unmount disk\nsecond line"});
  EXPECT_EQ(result.out,
            std::string(kCreating) + "General error: Error: -69888: Couldn't unmount disk\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(ToolRuns(), (Lines{kAttach1G, "diskutil\tquiet\terasevolume\tHFS+\tx\t/dev/disk4",
                               "hdiutil\tdetach\t/dev/disk4"}));
  EXPECT_EQ(AttachedDevices(), 0);
}

TEST_F(AddTest, FailedUndoReportsTheDetachError) {
  ProcessResult result =
      Run({"-add:x", "-size:1g"},
          {"RAMDISK_STANDIN_FAIL_APFS=1:Error: -69888: Couldn't unmount disk",
           "RAMDISK_STANDIN_FAIL_DETACH=16:hdiutil: couldn't unmount \"disk4\" - Resource busy"});
  EXPECT_EQ(result.out, std::string(kCreating) +
                            "General error: hdiutil: couldn't unmount \"disk4\" - "
                            "Resource busy\n");
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(ToolRuns(), (Lines{kAttach1G, "diskutil\tapfs\tcreate\t/dev/disk4\tx",
                               "hdiutil\tdetach\t/dev/disk4"}));
}

struct AttachCase {
  const char* environment;
  const char* message;  // after "General error: ", or its beginning
};

std::ostream& operator<<(std::ostream& os, const AttachCase& c) { return os << c.environment; }

class AddAttachFailureTest : public EndToEndTest,
                             public ::testing::WithParamInterface<AttachCase> {};

// Nothing is known to undo when the attach or the device lookup fails.
TEST_P(AddAttachFailureTest, IsReportedWithNothingElseRun) {
  ProcessResult result = Run({"-add:x", "-size:1g"}, {GetParam().environment});
  EXPECT_EQ(result.out.rfind(std::string(kCreating) + "General error: " + GetParam().message, 0),
            0u)
      << result.out;
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(ToolRuns(), Lines{kAttach1G});
}

INSTANTIATE_TEST_SUITE_P(
    Attach, AddAttachFailureTest,
    ::testing::Values(
        AttachCase{"RAMDISK_STANDIN_FAIL_ATTACH=1:hdiutil: attach failed - Resource busy",
                   "hdiutil: attach failed - Resource busy\n"},
        AttachCase{"RAMDISK_STANDIN_ATTACH_OUTPUT=nodevice", "Unexpected XML output\n"},
        AttachCase{"RAMDISK_STANDIN_ATTACH_OUTPUT=emptydevice", "Unexpected XML output\n"},
        AttachCase{"RAMDISK_STANDIN_ATTACH_OUTPUT=malformed", "In 'stream:' (line "},
        AttachCase{"RAMDISK_STANDIN_ATTACH_OUTPUT=empty",
                   "In 'stream:' (line 1 pos 1): Root element is missing\n"}));

TEST_F(AddTest, ZeroSectorsFailAsTheImageToolSays) {
  ProcessResult result = Run({"-add:x", "-size:511"});
  EXPECT_EQ(result.out,
            std::string(kCreating) + "General error: hdiutil: attach failed - Invalid argument\n");
  EXPECT_EQ(result.exit_code, 2);
}

// A parent may leave SIGCHLD ignored; the tools' exit statuses still count.
TEST_F(AddTest, InheritedIgnoredChildSignalDoesNotHideExitStatuses) {
  testing::ProcessOptions options;
  options.ignore_sigchld = true;
  ProcessResult result = Run({"-add:x", "-size:1g"}, {}, options);
  EXPECT_EQ(result.out, std::string(kCreating) + "Created memory volume /Volumes/x\n");
  EXPECT_EQ(result.exit_code, 0);
}

TEST_F(AddTest, WarningOnStandardErrorDoesNotMakeAFailure) {
  ProcessResult result = Run({"-add:x", "-size:1g"}, {"RAMDISK_STANDIN_WARNING=1"});
  EXPECT_EQ(result.out, std::string(kCreating) + "Created memory volume /Volumes/x\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
}

}  // namespace
}  // namespace ramdisk
