#include "console/program.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <ostream>

#include "console/input_error.h"
#include "support/child_process.h"
#include "support/files.h"
#include "support/outcome.h"
#include "support/stand_ins.h"

namespace ramdisk {
namespace {

using testing::ProcessOptions;
using testing::ProcessResult;
using testing::RunProcess;

struct NameCase {
  const char* value;
  const char* outcome;  // "accepted", or the message
};

std::ostream& operator<<(std::ostream& os, const NameCase& c) {
  return os << "[" << c.value << "]";
}

class GetMountPointTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(GetMountPointTest, AcceptsOrRefuses) {
  const NameCase& c = GetParam();
  EXPECT_EQ(testing::Outcome<EInputError>([&] { EXPECT_EQ(GetMountPoint(c.value), c.value); }),
            c.outcome);
}

INSTANTIATE_TEST_SUITE_P(Table, GetMountPointTest,
                         ::testing::Values(NameCase{" my disk ", "accepted"},
                                           NameCase{"...", "accepted"},
                                           NameCase{".hidden", "accepted"},
                                           NameCase{"\xc3\xa9t\xc3\xa9", "accepted"},
                                           NameCase{"", "No mount point given"},
                                           NameCase{"x:y", "Invalid mount point string: x:y"},
                                           NameCase{"/", "Invalid mount point string: /"},
                                           NameCase{".", "Invalid mount point string: ."}));

struct RunCase {
  std::vector<std::string> args;
  const char* out;  // null: the usage text, as without arguments
};

std::ostream& operator<<(std::ostream& os, const RunCase& c) {
  return os << testing::Bracketed(c.args);
}

class DispatchTest : public testing::StandInTest, public ::testing::WithParamInterface<RunCase> {};

// An error is one line on standard output, nothing on standard error, and
// exit status 2; anything else exits 0.
TEST_P(DispatchTest, RunsTheCommandOrReportsInputErrors) {
  const std::string out = GetParam().out ? GetParam().out : RunProcess(RAMDISK_BINARY, {}).out;
  ProcessResult result = RunProcess(RAMDISK_BINARY, GetParam().args);
  EXPECT_EQ(result.out, out);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, out.find("General error: ") == std::string::npos ? 0 : 2);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DispatchTest,
    ::testing::Values(
        RunCase{{"foo"}, "General error: No valid command given\n"},
        RunCase{{"", "-size:1g"}, "General error: No valid command given\n"},
        RunCase{{"--add:x", "/add:x"}, "General error: No valid command given\n"},
        RunCase{{"-add"}, "General error: No mount point given\n"},
        RunCase{{"-del:"}, "General error: No mount point given\n"},
        RunCase{{"-add:a/b"}, "General error: Invalid mount point string: a/b\n"},
        RunCase{{"-delete:disk1"}, "General error: Invalid mount point string: ete:disk1\n"},
        RunCase{{"-add:.."}, "General error: Invalid mount point string: ..\n"},
        RunCase{{"-List", "-list:x", "-lists", "--list"},
                "General error: No valid command given\n"},
        // Help is asked for by one of three exact spellings, and only when
        // no command is named.
        RunCase{{"-size:1g", "-h"}, nullptr}, RunCase{{"-help"}, nullptr},
        RunCase{{"--help"}, nullptr},
        RunCase{{"-H", "--Help", "-help:x", "help", "-?"},
                "General error: No valid command given\n"},
        RunCase{{"-add:x", "-size:1m", "--help"},
                "Creating memory volume...\nCreated memory volume /Volumes/x\n"},
        // "add" is looked for first, then "del", then "list": the first
        // found decides, and its error wins.
        RunCase{{"-del:disk1", "-ADD:a/b"}, "General error: Invalid mount point string: a/b\n"},
        RunCase{{"-list", "-add:a/b"}, "General error: Invalid mount point string: a/b\n"},
        RunCase{{"-list", "-del:"}, "General error: No mount point given\n"},
        // Only /dev/disk and digits name a device, which must be a RAM
        // disk's; anything else is a volume name.
        RunCase{{"-DEL:/dev/disk12"}, "General error: No RAM disk /dev/disk12 found\n"},
        RunCase{{"-del:/dev/disk4s1"}, "General error: Invalid mount point string: /dev/disk4s1\n"},
        RunCase{{"-del/dev/rdisk4"}, "General error: Invalid mount point string: /dev/rdisk4\n"},
        RunCase{{"-del:/dev/disk"}, "General error: Invalid mount point string: /dev/disk\n"},
        RunCase{{"-del:disk4"}, "General error: No volumes named disk4 found\n"},
        RunCase{{"-del:/nowhere/x//"}, "General error: No volumes named /nowhere/x found\n"}));

// Standard output as a careless parent may leave it: unwritable, or closed.
TEST(ProgramTest, CarelessParentsOutput) {
  ProcessOptions options;
  options.stdout_broken = true;
  ProcessResult result = RunProcess(RAMDISK_BINARY, {"foo"}, options);
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.err, "");
  // Closed: the usage text goes nowhere, and nothing else in its place.
  options = {};
  options.stdout_closed = true;
  result = RunProcess(RAMDISK_BINARY, {}, options);
  EXPECT_EQ(result.out + result.err, "");
  EXPECT_EQ(result.exit_code, 0);
}

using ProgramToolTest = testing::StandInTest;

// Run with sudo from a directory anyone can write to, the tool must not run
// a file left there under a disk tool's name, with PATH or without.
TEST_F(ProgramToolTest, ToolNamedFileInTheWorkingDirectoryIsNotRun) {
  testing::WriteFile(dir() + "/hdiutil", "#!/bin/sh\ntouch planted\n", 0755);
  ProcessOptions options;
  options.working_directory = dir();
  EXPECT_EQ(RunProcess(RAMDISK_BINARY, {"-list"}, options).out, "");
  options.environment = {"PATH="};
  EXPECT_EQ(RunProcess(RAMDISK_BINARY, {"-list"}, options).out,
            "General error: Executable not found: \"hdiutil\"\n");
  EXPECT_NE(::access((dir() + "/planted").c_str(), F_OK), 0) << "the planted file ran";
}

// Started with SIGCHLD ignored, the tool still learns how the disk tools
// ended, and starts them with the default disposition, as they expect.
TEST_F(ProgramToolTest, InheritedIgnoredChildSignalReachesNoTool) {
  ASSERT_EQ(::symlink(RAMDISK_TEST_CHILD, (dir() + "/hdiutil").c_str()), 0);
  ProcessOptions options;
  options.ignore_sigchld = true;
  options.environment = {"PATH=" + dir(), "RAMDISK_TEST_CHILD_STEPS=sigchld x:1"};
  ProcessResult result = RunProcess(RAMDISK_BINARY, {"-list"}, options);
  EXPECT_EQ(result.out, "General error: SIGCHLD default\n");
  EXPECT_EQ(result.exit_code, 2);
}

}  // namespace
}  // namespace ramdisk
