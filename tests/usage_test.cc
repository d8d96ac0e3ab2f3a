#include "console/invocation_name.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "support/child_process.h"

namespace ramdisk {
namespace {

using testing::ProcessOptions;
using testing::ProcessResult;
using testing::RunProcess;

struct NameCase {
  std::string argv0;
  std::string name;
};

std::ostream& operator<<(std::ostream& os, const NameCase& c) {
  if (c.argv0.size() > 40)
    return os << "[" << c.argv0.substr(0, 12) << "... (" << c.argv0.size()
              << " bytes)] -> " << c.name.size() << " bytes";
  return os << "[" << c.argv0 << "] -> [" << c.name << "]";
}

class InvocationNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(InvocationNameTest, Derives) {
  EXPECT_EQ(InvocationName(GetParam().argv0), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Table, InvocationNameTest,
    ::testing::Values(
        NameCase{"/opt/tools/Disk.Tool", "disk"},
        NameCase{"MixedCase", "mixedcase"},
        NameCase{"dir.d/tool", "tool"},
        NameCase{".tool", ".tool"},
        NameCase{"dir/.tool", ".tool"},
        NameCase{"x.y.z", "x.y"},
        NameCase{"a\\B.exe", "b"},
        NameCase{"", ""},
        NameCase{"dir/", ""},
        NameCase{"tool.", "tool"},
        NameCase{"..", "."},
        NameCase{"/usr/bin/R\xc3\x89SUM\xc3\x89.Bin", "r\xc3\x89sum\xc3\x89"},
        // Only the first 255 bytes count: the directory and the dot beyond
        // them are never seen.
        NameCase{std::string(250, 'A') + ".abcd/x.y", std::string(250, 'a')},
        NameCase{std::string(255, 'b') + "/c", std::string(255, 'b')}));

const char kUsageForDisk[] =
    "RAM Disk Console " RAMDISK_EXPECTED_PRODUCT_VERSION "\n"
    "\n"
    "Syntax: \n"
    " disk -add:mountpoint -param:value,...\n"
    " disk -del:mountpoint -param:value,...\n"
    "\n"
    "Options for adding a RAM Disk\n"
    "=============================\n"
    " -fs \tDisk file system FAT32, exFAT, HFS+ or APFS (default).\n"
    " -size\tDisk size as a number followed by a multiplier, e.g. 10M, or 1G.\n"
    "\n"
    "Examples:\n"
    " disk -add:ramdisk1 -size:100m -fs:exfat\n"
    " disk -add:ramdisk2 -size:1g -fs:apfs\n"
    "\n"
    "Options for deleting a RAM Disk\n"
    "===============================\n"
    " -force\tForced deletion even if the disk has open files.\n"
    "\n"
    "Examples:\n"
    " disk -del:mountpoint\n"
    " disk -del:mountpoint -force\n"
    "\n";

TEST(UsageTest, WritesTheWholeTextUnderTheInvocationName) {
  ProcessOptions options;
  options.argv0 = "/opt/tools/Disk.Tool";
  ProcessResult result = RunProcess(RAMDISK_BINARY, {}, options);
  EXPECT_EQ(result.out, kUsageForDisk);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
}

TEST(UsageTest, MissingVersionResourceEndsTheBannerWithTheError) {
  ProcessResult result = RunProcess(RAMDISK_WITHOUT_VERSION_BINARY, {});
  EXPECT_EQ(result.out, "RAM DiskGeneral error: Resource \"1\" not found\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 2);
}

// The usage text is longer than the output buffer, so the failure shows
// during the run, not only at the final write-out.
TEST(UsageTest, UnwritableOutputExitsTwo) {
  ProcessOptions options;
  options.stdout_path = "/dev/full";
  ProcessResult result = RunProcess(RAMDISK_BINARY, {}, options);
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace ramdisk
