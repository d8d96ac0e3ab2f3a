#ifndef RAMDISK_CONSOLE_SIZE_VALUE_H_
#define RAMDISK_CONSOLE_SIZE_VALUE_H_

#include <cstdint>
#include <string>

namespace ramdisk {

// Turns the value of the "size" switch into bytes: a number, optionally
// followed by K, M or G (any case) for 2^10, 2^20 or 2^30. The number may be
// preceded by blanks or tabs and "+", and written in base 16 ("$", "x", "X",
// "0x", "0X"), 8 ("&") or 2 ("%"). Never returns 0: an empty value raises
// EInputError "Size is not given"; anything else that is not a size above 0
// and within 2^64 - 1 bytes raises EInputError "Incorrect size specified".
std::uint64_t GetSize(const std::string& value);

// The text that GetSize reads as `bytes`: the number of G, M or K, the
// largest that divides `bytes` exactly, followed by its letter ("1G",
// "512M", "100K"); otherwise the number of bytes. 0 gives "0".
std::string SizeText(std::uint64_t bytes);

}  // namespace ramdisk

#endif  // RAMDISK_CONSOLE_SIZE_VALUE_H_
