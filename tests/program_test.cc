#include "console/program.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
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
  const char* out;
};

std::ostream& operator<<(std::ostream& os, const RunCase& c) {
  return os << testing::Bracketed(c.args);
}

class DispatchTest : public ::testing::TestWithParam<RunCase> {};

// Every input error is one line on standard output, nothing on standard
// error, and exit status 2. No disk tool can be found.
TEST_P(DispatchTest, ReportsInputErrors) {
  ProcessOptions options;
  options.environment = {"PATH="};
  ProcessResult result = RunProcess(RAMDISK_BINARY, GetParam().args, options);
  EXPECT_EQ(result.out, GetParam().out);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 2);
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
        // "add" is looked for first, then "del", then "list": the first
        // found decides, and its error wins.
        RunCase{{"-del:disk1", "-ADD:a/b"}, "General error: Invalid mount point string: a/b\n"},
        RunCase{{"-list", "-add:a/b"}, "General error: Invalid mount point string: a/b\n"},
        RunCase{{"-list", "-del:"}, "General error: No mount point given\n"},
        // Only /dev/disk and digits name a device, which is looked for among
        // the RAM disks first; anything else is a volume name.
        RunCase{{"-DEL:/dev/disk12"}, "General error: Executable not found: \"hdiutil\"\n"},
        RunCase{{"-del:/dev/disk4s1"}, "General error: Invalid mount point string: /dev/disk4s1\n"},
        RunCase{{"-del/dev/rdisk4"}, "General error: Invalid mount point string: /dev/rdisk4\n"},
        RunCase{{"-del:/dev/disk"}, "General error: Invalid mount point string: /dev/disk\n"},
        RunCase{{"-del:disk4"}, "General error: No volumes named disk4 found\n"}));

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

class ProgramToolTest : public testing::StandInTest {
 protected:
  // Puts a script of `body` first on PATH as `tool`; `$STANDIN` names the
  // stand-in of that name, for the script to hand over to.
  std::vector<std::string> Wrapped(const std::string& tool, const std::string& body) {
    const std::string bin = dir() + "/bin";
    testing::WriteFile(bin + "/" + tool,
                       "#!/bin/sh\nSTANDIN=" RAMDISK_STANDIN_BIN_DIR "/" + tool + "\n" + body,
                       0755);
    return {"PATH=" + bin + ":" + std::getenv("PATH")};
  }
  ProcessResult Run(const std::vector<std::string>& args,
                    const std::vector<std::string>& environment, ProcessOptions options = {}) {
    options.environment = environment;
    return RunProcess(RAMDISK_BINARY, args, options);
  }
};

// Run with sudo from a directory anyone can write to, the tool must not run
// a file left there under a disk tool's name, with PATH or without.
TEST_F(ProgramToolTest, ToolNamedFileInTheWorkingDirectoryIsNotRun) {
  testing::WriteFile(dir() + "/hdiutil", "#!/bin/sh\ntouch planted\n", 0755);
  ProcessOptions options;
  options.working_directory = dir();
  EXPECT_EQ(Run({"-list"}, {}, options).out, "");
  EXPECT_EQ(Run({"-list"}, {"PATH="}, options).out,
            "General error: Executable not found: \"hdiutil\"\n");
  EXPECT_NE(::access((dir() + "/planted").c_str(), F_OK), 0) << "the planted file ran";
}

// A tool may leave a process behind that holds its output (a helper it
// started, a wrapper script's background job): the run ends with the tool.
TEST_F(ProgramToolTest, ProcessLeftBehindByAToolDoesNotHoldTheRunUp) {
  const auto start = std::chrono::steady_clock::now();
  ProcessResult result =
      Run({"-list"}, Wrapped("hdiutil",
                             "(for fd in 3 4 5 6 7 8 9; do eval \"exec $fd>&-\"; done\n"
                             " sleep 3; echo late; echo late >&2) &\nexec \"$STANDIN\" "
                             "\"$@\"\n"));
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

// Ignored, SIGCHLD would let the system reap the tools before the tool
// learns how they ended.
TEST_F(ProgramToolTest, InheritedIgnoredChildSignalDoesNotHideExitStatuses) {
  ProcessOptions options;
  options.ignore_sigchld = true;
  ProcessResult result = RunProcess(RAMDISK_BINARY, {"-list"}, options);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.exit_code, 0);
}

}  // namespace
}  // namespace ramdisk
