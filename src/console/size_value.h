#ifndef RAMDISK_CONSOLE_SIZE_VALUE_H_
#define RAMDISK_CONSOLE_SIZE_VALUE_H_

#include <cstdint>
#include <optional>
#include <string>

namespace ramdisk {

// Turns the value of the "size" switch into bytes, on a machine with
// `memory` bytes of physical memory (none where that cannot be read). The
// value is a number, optionally followed by K, M or G (any case) for 2^10,
// 2^20 or 2^30. The number may be preceded by blanks or tabs and "+", and
// written in base 16 ("$", "x", "X", "0x", "0X"), 8 ("&") or 2 ("%"). A
// value ending in "%" is a share of the memory instead: N% for a whole N
// from 1 to 100, in decimal without leading zeros, is memory * N / 100
// bytes, the remainder dropped. Never returns 0, nor more than `memory`.
// Raises EInputError, checking in this order: "Size is not given" for an
// empty value; "Incorrect size specified" for anything that is neither form
// or is not a size above 0 and within 2^64 - 1 bytes; "Cannot read the
// physical memory size" for a share without `memory`; "Size exceeds
// physical memory of " and SizeText(memory) for a size above `memory`.
std::uint64_t GetSize(const std::string& value, std::optional<std::uint64_t> memory);

// The text that GetSize reads as `bytes`: the number of G, M or K, the
// largest that divides `bytes` exactly, followed by its letter ("1G",
// "512M", "100K"); otherwise the number of bytes. 0 gives "0".
std::string SizeText(std::uint64_t bytes);

}  // namespace ramdisk

#endif  // RAMDISK_CONSOLE_SIZE_VALUE_H_
