#include "console/invocation_name.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/outcome.h"

namespace ramdisk {
namespace {

struct NameCase {
  std::string argv0;
  std::string name;
};

std::ostream& operator<<(std::ostream& os, const NameCase& c) {
  return os << "[" << testing::Printable(c.argv0.substr(0, 40)) << "] -> ["
            << testing::Printable(c.name) << "]";
}

class InvocationNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(InvocationNameTest, Derives) {
  EXPECT_EQ(InvocationName(GetParam().argv0), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Table, InvocationNameTest,
                         ::testing::ValuesIn(std::vector<NameCase>{
                             {"/opt/tools/Disk.Tool", "disk"},
                             {"MixedCase", "mixedcase"},
                             {"dir.d/tool", "tool"},
                             {".tool", ".tool"},
                             {"dir/.tool", ".tool"},
                             {"x.y.z", "x.y"},
                             {"a\\B.exe", "b"},
                             {"", ""},
                             {"tool.", "tool"},
                             {"..", "."},
                             {"/bin/R\xc3\x89SUM\xc3\x89.Bin", "r\xc3\x89sum\xc3\x89"},
                             // Only the first 255 bytes count: the dot and the directory beyond
                             // them are never seen.
                             {std::string(250, 'A') + ".abcd/x.y", std::string(250, 'a')}}));

const char kUsageForDisk[] =
    "RAM Disk Console " RAMDISK_EXPECTED_PRODUCT_VERSION
    "\n"
    "\n"
    "Syntax: \n"
    " disk -add:mountpoint -param:value,...\n"
    " disk -del:mountpoint|/path -param:value,...\n"
    " disk -del:/dev/diskN -param:value,...\n"
    " disk -save:mountpoint|/path\n"
    " disk -list\n"
    " disk -h\n"
    "\n"
    "Options for adding a RAM Disk\n"
    "=============================\n"
    " -fs \tDisk file system FAT32, exFAT, HFS+ or APFS (default).\n"
    "     \tCase-sensitive: HFSX or APFSX.\n"
    " -size\tDisk size as a number followed by a multiplier, e.g. 10M, or 1G.\n"
    "     \tOr N% of the physical memory, e.g. 25%; never more than the memory.\n"
    " -hidden\tKeep the disk out of Finder, Spotlight and the event log.\n"
    " -mount\tMount it at an existing empty folder instead, e.g. -mount:~/cache.\n"
    " -keep\tLoad it from a folder, saved there by -save and -del: -keep:~/keep.\n"
    "\n"
    "Examples:\n"
    " disk -add:ramdisk1 -size:100m -fs:exfat\n"
    " disk -add:ramdisk2 -size:1g -fs:apfs\n"
    " disk -add:build -size:25% -fs:apfsx\n"
    " disk -add:cache -size:1g -hidden -mount:~/cache\n"
    " disk -add:work -size:2g -keep:~/RAMDisk/work\n"
    "\n"
    "Options for deleting a RAM Disk\n"
    "===============================\n"
    " -force\tForced deletion even if the disk has open files.\n"
    " -discard\tDo not save a kept disk first.\n"
    "\n"
    "Examples:\n"
    " disk -del:mountpoint\n"
    " disk -del:mountpoint -force\n"
    " disk -del:/dev/disk4\n"
    " disk -del:~/cache\n"
    "\n"
    "Other commands\n"
    "==============\n"
    " -save\tSave a kept disk to its folder now; it stays mounted.\n"
    " -list\tList the RAM Disks: device, size and mount points.\n"
    " -h   \tShow this text; also -help or --help.\n"
    "\n";

// What a run shows: its output, "exit N", then anything on standard error.
std::string RunAsDisk(const char* program, bool unwritable_output = false) {
  testing::ProcessOptions options;
  options.argv0 = "/opt/tools/Disk.Tool";
  options.stdout_broken = unwritable_output;
  testing::ProcessResult result = testing::RunProcess(program, {}, options);
  return result.out + "exit " + std::to_string(result.exit_code) + result.err;
}

TEST(UsageTest, Runs) {
  EXPECT_EQ(RunAsDisk(RAMDISK_BINARY), kUsageForDisk + std::string("exit 0"));
  EXPECT_EQ(RunAsDisk(RAMDISK_WITHOUT_VERSION_BINARY),
            "RAM DiskGeneral error: Resource \"1\" not found\nexit 2");
  // The text outgrows the output buffer, so writing fails mid-run.
  EXPECT_EQ(RunAsDisk(RAMDISK_BINARY, /*unwritable_output=*/true), "exit 2");
}

}  // namespace
}  // namespace ramdisk
