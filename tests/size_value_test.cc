#include "console/size_value.h"

#include <gtest/gtest.h>

#include <ostream>

#include "console/input_error.h"
#include "support/outcome.h"

namespace ramdisk {
namespace {

struct SizeCase {
  const char* value;
  std::uint64_t bytes;  // 0: refused with `error`
  const char* error;
};

std::ostream& operator<<(std::ostream& os, const SizeCase& c) {
  return os << "[" << c.value << "]";
}

class GetSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(GetSizeTest, ReadsBytesOrRefuses) {
  const SizeCase& c = GetParam();
  std::uint64_t bytes = 0;
  EXPECT_EQ(testing::Outcome<EInputError>([&] { bytes = GetSize(c.value); }),
            c.error ? c.error : "accepted");
  EXPECT_EQ(bytes, c.bytes);
  // A listed size, given back to -size:, makes the same disk.
  if (bytes != 0) {
    EXPECT_EQ(GetSize(SizeText(bytes)), bytes);
  }
}

constexpr const char* kIncorrect = "Incorrect size specified";

INSTANTIATE_TEST_SUITE_P(
    Accepted, GetSizeTest,
    ::testing::Values(SizeCase{"100m", 104857600, nullptr}, SizeCase{"1G", 1073741824, nullptr},
                      SizeCase{"10K", 10240, nullptr}, SizeCase{"4096", 4096, nullptr},
                      SizeCase{"$10M", 16777216, nullptr}, SizeCase{"0x10m", 16777216, nullptr},
                      SizeCase{"X10M", 16777216, nullptr}, SizeCase{"&17M", 15728640, nullptr},
                      SizeCase{"%101k", 5120, nullptr}, SizeCase{"\t 5M", 5242880, nullptr},
                      SizeCase{"+$aM", 10485760, nullptr}, SizeCase{"0010", 10, nullptr},
                      SizeCase{"0x1B", 27, nullptr}, SizeCase{"0XfF", 255, nullptr},
                      SizeCase{"18446744073709551615", 18446744073709551615u, nullptr},
                      SizeCase{"17179869183G", 18446744072635809792u, nullptr},
                      SizeCase{"18014398509481983K", 18446744073709550592u, nullptr}));

INSTANTIATE_TEST_SUITE_P(
    Refused, GetSizeTest,
    ::testing::Values(SizeCase{"", 0, "Size is not given"}, SizeCase{"0", 0, kIncorrect},
                      SizeCase{"0G", 0, kIncorrect}, SizeCase{"abc", 0, kIncorrect},
                      SizeCase{"10 M", 0, kIncorrect}, SizeCase{"1.5G", 0, kIncorrect},
                      SizeCase{"100MB", 0, kIncorrect}, SizeCase{"1T", 0, kIncorrect},
                      SizeCase{"-5M", 0, kIncorrect}, SizeCase{"-0", 0, kIncorrect},
                      SizeCase{"M", 0, kIncorrect}, SizeCase{"++5", 0, kIncorrect},
                      SizeCase{"0x", 0, kIncorrect}, SizeCase{"&8", 0, kIncorrect},
                      SizeCase{"%102", 0, kIncorrect}, SizeCase{"5\n", 0, kIncorrect},
                      // Beyond 2^64 - 1, as a number or once multiplied.
                      SizeCase{"18446744073709551616", 0, kIncorrect},
                      SizeCase{"18446744073709551617", 0, kIncorrect},
                      SizeCase{"17179869184G", 0, kIncorrect},
                      SizeCase{"17592186044416M", 0, kIncorrect},
                      SizeCase{"18014398509481984K", 0, kIncorrect}));

TEST(GetSizeLimits, NumberTextOf256CharactersIsRefused) {
  std::string padded_255 = std::string(254, ' ') + "7";
  EXPECT_EQ(GetSize(padded_255), 7u);
  EXPECT_EQ(GetSize(padded_255 + "k"), 7168u);
  EXPECT_THROW(GetSize(std::string(255, '0') + "7"), EInputError);
  EXPECT_THROW(GetSize(std::string(255, ' ') + "7k"), EInputError);
}

}  // namespace
}  // namespace ramdisk
