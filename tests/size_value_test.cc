#include "console/size_value.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

#include "console/input_error.h"
#include "support/outcome.h"

namespace ramdisk {
namespace {

struct SizeCase {
  const char* value;
  std::uint64_t bytes;  // 0: refused with `error`
  const char* error;
  std::optional<std::uint64_t> memory = std::nullopt;  // none: it cannot be read
};

std::ostream& operator<<(std::ostream& os, const SizeCase& c) {
  return os << "[" << testing::Printable(c.value) << "] "
            << (c.memory ? std::to_string(*c.memory) : "-");
}

class GetSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(GetSizeTest, ReadsBytesOrRefuses) {
  const SizeCase& c = GetParam();
  std::uint64_t bytes = 0;
  EXPECT_EQ(testing::Outcome<EInputError>([&] { bytes = GetSize(c.value, c.memory); }),
            c.error ? c.error : "accepted");
  EXPECT_EQ(bytes, c.bytes);
  // A listed size, given back to -size:, makes the same disk.
  if (bytes != 0) {
    EXPECT_EQ(GetSize(SizeText(bytes), c.memory), bytes);
  }
}

constexpr const char* kIncorrect = "Incorrect size specified";
constexpr std::uint64_t k16G = std::uint64_t{16} << 30;

INSTANTIATE_TEST_SUITE_P(
    Accepted, GetSizeTest,
    ::testing::Values(SizeCase{"100m", 104857600, nullptr}, SizeCase{"1G", 1073741824, nullptr},
                      SizeCase{"10K", 10240, nullptr}, SizeCase{"4096", 4096, nullptr},
                      SizeCase{"$10M", 16777216, nullptr}, SizeCase{"0x10m", 16777216, nullptr},
                      SizeCase{"X10M", 16777216, nullptr}, SizeCase{"&17M", 15728640, nullptr},
                      SizeCase{"%101k", 5120, nullptr}, SizeCase{"\t 5M", 5242880, nullptr},
                      SizeCase{"+$aM", 10485760, nullptr}, SizeCase{"0010", 10, nullptr},
                      SizeCase{"0x1B", 27, nullptr}, SizeCase{"0XfF", 255, nullptr},
                      SizeCase{"4294967297", 4294967297, nullptr},
                      SizeCase{"18446744073709551615", 18446744073709551615u, nullptr},
                      SizeCase{"17179869183G", 18446744072635809792u, nullptr},
                      SizeCase{"18014398509481983K", 18446744073709550592u, nullptr},
                      // A share of the memory, and any size up to all of it.
                      SizeCase{"50%", 4294967296, nullptr, 8589934592},
                      SizeCase{"99%", 18262276632972456098u, nullptr, ~std::uint64_t{0}},
                      SizeCase{"16G", k16G, nullptr, k16G},
                      SizeCase{"%1010M", 10485760, nullptr, k16G}));

INSTANTIATE_TEST_SUITE_P(
    Refused, GetSizeTest,
    ::testing::Values(
        SizeCase{"", 0, "Size is not given"}, SizeCase{"0", 0, kIncorrect},
        SizeCase{"0G", 0, kIncorrect}, SizeCase{"abc", 0, kIncorrect},
        SizeCase{"10 M", 0, kIncorrect}, SizeCase{"1.5G", 0, kIncorrect},
        SizeCase{"100MB", 0, kIncorrect}, SizeCase{"1T", 0, kIncorrect},
        SizeCase{"-5M", 0, kIncorrect}, SizeCase{"-0", 0, kIncorrect}, SizeCase{"M", 0, kIncorrect},
        SizeCase{"++5", 0, kIncorrect}, SizeCase{"0x", 0, kIncorrect},
        SizeCase{"&8", 0, kIncorrect}, SizeCase{"%102", 0, kIncorrect},
        SizeCase{"5\n", 0, kIncorrect},
        // Just beyond 2^64 - 1, as a number or once multiplied.
        SizeCase{"18446744073709551617", 0, kIncorrect}, SizeCase{"17179869185G", 0, kIncorrect},
        SizeCase{"17592186044417M", 0, kIncorrect}, SizeCase{"18014398509481985K", 0, kIncorrect},
        // N% is 1 to 100 in plain decimal, and never 0 bytes.
        SizeCase{"0%", 0, kIncorrect, k16G}, SizeCase{"101%", 0, kIncorrect, k16G},
        SizeCase{"%", 0, kIncorrect, k16G}, SizeCase{"12.5%", 0, kIncorrect, k16G},
        SizeCase{"-5%", 0, kIncorrect, k16G}, SizeCase{"$10%", 0, kIncorrect, k16G},
        SizeCase{"25 %", 0, kIncorrect, k16G}, SizeCase{"025%", 0, kIncorrect, k16G},
        SizeCase{"1000%", 0, kIncorrect, k16G}, SizeCase{"1%%", 0, kIncorrect, k16G},
        SizeCase{"1G%", 0, kIncorrect, k16G}, SizeCase{"1%", 0, kIncorrect, 99},
        // Nor a number that an unsigned type would wrap to one of those.
        SizeCase{"4294967396%", 0, kIncorrect, k16G},
        SizeCase{"18446744073709551617%", 0, kIncorrect, k16G}, SizeCase{"101%", 0, kIncorrect},
        SizeCase{"50%", 0, "Cannot read the physical memory size"},
        SizeCase{"17179869185", 0, "Size exceeds physical memory of 16G", k16G}));

TEST(GetSizeLimits, NumberTextOf256CharactersIsRefused) {
  std::string padded_255 = std::string(254, ' ') + "7";
  EXPECT_EQ(GetSize(padded_255, std::nullopt), 7u);
  EXPECT_EQ(GetSize(padded_255 + "k", std::nullopt), 7168u);
  EXPECT_THROW(GetSize(std::string(255, '0') + "7", std::nullopt), EInputError);
  EXPECT_THROW(GetSize(std::string(255, ' ') + "7k", std::nullopt), EInputError);
}

}  // namespace
}  // namespace ramdisk
