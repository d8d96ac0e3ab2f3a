// The switch scanners, GetSize and GetMountPoint over an argument list made
// of the input split at NUL bytes (which no real argument can hold).

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "console/input_error.h"
#include "console/program.h"
#include "console/size_value.h"
#include "core/common/command_line.h"

namespace {

void Check(bool holds) {
  if (!holds)
    std::abort();
}

// GetSize never returns 0, nor more than the memory, so 0 stands for its
// EInputError.
std::uint64_t SizeOrZero(const std::string& value, std::optional<std::uint64_t> memory = {}) {
  try {
    std::uint64_t size = ramdisk::GetSize(value, memory);
    Check(size != 0 && size <= memory.value_or(size));
    return size;
  } catch (const ramdisk::EInputError&) {
    return 0;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  ramdisk::TStringArray args;
  for (std::size_t start = 0, end = 0; end != input.npos; start = end + 1) {
    end = input.find('\0', start);
    args.emplace_back(input.substr(start, end - start));
  }
  for (std::string name : {"add", "del", "size", "fs", "force"}) {
    std::string value = "stale";
    // A found value is what follows "-", the name and an optional ":".
    Check(ramdisk::FindSwitchValue(args, name, value)
              ? std::any_of(args.begin(), args.end(),
                            [&](const std::string& arg) {
                              return arg.size() >= 1 + name.size() + value.size() &&
                                     arg[0] == '-' &&
                                     arg.compare(arg.size() - value.size(), value.size(), value) ==
                                         0;
                            })
              : value.empty());
    Check(ramdisk::FindSwitchFlag(args, name) ==
          (std::find(args.begin(), args.end(), "-" + name) != args.end()));
    try {
      Check(ramdisk::GetMountPoint(value) == value && !value.empty() &&
            value.find_first_of("/:") == value.npos);
    } catch (const ramdisk::EInputError&) {
    }
  }
  // A multiplier scales the number before it; an overflowing product is refused.
  for (const std::string& arg : args) {
    std::uint64_t number = SizeOrZero(arg);
    if (arg.empty() || std::string_view("kKmMgG").find(arg.back()) == arg.npos) {
      for (auto [suffix, shift] : {std::pair{'k', 10}, std::pair{'M', 20}, std::pair{'g', 30}})
        Check(SizeOrZero(arg + suffix) == (number >> (64 - shift) == 0 ? number << shift : 0));
    }
    // N% needs the memory and is N with 100 bytes; other sizes stay if it holds them.
    const bool share = !arg.empty() && arg.back() == '%';
    __extension__ const unsigned __int128 percent = share ? SizeOrZero(arg, 100) : 0;
    Check(!share || (number == 0 && percent <= 100));
    for (std::uint64_t memory : {std::uint64_t{99}, std::uint64_t{1} << 34, ~std::uint64_t{0}}) {
      const auto expected = share ? memory * percent / 100 : number <= memory ? number : 0;
      Check(SizeOrZero(arg, memory) == expected);
    }
  }
  return 0;
}
