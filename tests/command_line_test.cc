#include "core/common/command_line.h"

#include <gtest/gtest.h>

#include <ostream>

#include "support/outcome.h"

namespace ramdisk {
namespace {

struct ValueCase {
  TStringArray args;
  const char* name;
  bool found;
  const char* value;
};

std::ostream& operator<<(std::ostream& os, const ValueCase& c) {
  os << c.name << " in";
  for (const std::string& a : c.args)
    os << " [" << testing::Printable(a) << "]";
  return os;
}

class SwitchValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(SwitchValueTest, FindsNameAndValue) {
  const ValueCase& c = GetParam();
  std::string value = "stale";
  EXPECT_EQ(FindSwitchValue(c.args, c.name, value), c.found);
  EXPECT_EQ(value, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SwitchValueTest,
    ::testing::Values(
        ValueCase{{"-size:100m"}, "size", true, "100m"},
        ValueCase{{"-SIZE:100m"}, "size", true, "100m"},
        ValueCase{{"-size100m"}, "size", true, "100m"}, ValueCase{{"-size"}, "size", true, ""},
        ValueCase{{"-size:"}, "size", true, ""}, ValueCase{{"-size::5"}, "size", true, ":5"},
        ValueCase{{"-sizes:1"}, "size", true, "s:1"}, ValueCase{{"-siz:1"}, "size", false, ""},
        ValueCase{{"--size:1"}, "size", false, ""}, ValueCase{{"/size:1"}, "size", false, ""},
        ValueCase{{"size:1"}, "size", false, ""}, ValueCase{{"-size", "100m"}, "size", true, ""},
        ValueCase{{"-size:1g", "-size:2g"}, "size", true, "1g"},
        ValueCase{{"", "-", "-size:3"}, "size", true, "3"}, ValueCase{{"", "-"}, "add", false, ""},
        ValueCase{{"-addx"}, "add", true, "x"},
        ValueCase{{"-delete:disk1"}, "del", true, "ete:disk1"},
        ValueCase{{"-FS:APFS"}, "fs", true, "APFS"}, ValueCase{{"-fs:a: b"}, "fs", true, "a: b"},
        ValueCase{{"-\xc3\xa9size:1"}, "size", false, ""}));

struct FlagCase {
  TStringArray args;
  bool found;
};

std::ostream& operator<<(std::ostream& os, const FlagCase& c) {
  for (const std::string& a : c.args)
    os << " [" << testing::Printable(a) << "]";
  return os;
}

class SwitchFlagTest : public ::testing::TestWithParam<FlagCase> {};

TEST_P(SwitchFlagTest, MatchesOnlyTheExactSwitch) {
  EXPECT_EQ(FindSwitchFlag(GetParam().args, "force"), GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SwitchFlagTest,
    ::testing::Values(FlagCase{{"-force"}, true}, FlagCase{{"-del:x", "", "-force"}, true},
                      FlagCase{{"-force", "-del:x"}, true}, FlagCase{{"-Force"}, false},
                      FlagCase{{"-FORCE"}, false}, FlagCase{{"-force:1"}, false},
                      FlagCase{{"-forced"}, false}, FlagCase{{"--force"}, false},
                      FlagCase{{"/force"}, false}, FlagCase{{"force", "-", ""}, false}));

}  // namespace
}  // namespace ramdisk
