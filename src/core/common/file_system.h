#ifndef RAMDISK_CORE_COMMON_FILE_SYSTEM_H_
#define RAMDISK_CORE_COMMON_FILE_SYSTEM_H_

#include <array>
#include <cstdint>
#include <string_view>

namespace ramdisk {

// The file systems a memory volume can be formatted with; fsAPFSX and
// fsHFSX are the case-sensitive kinds of APFS and HFS+.
enum TFileSystem : std::uint8_t { fsRAW, fsFAT32, fsExFAT, fsHFS, fsAPFS, fsAPFSX, fsHFSX };

// The disk tool's name of each file system, indexed by TFileSystem: the
// personality that "diskutil listFilesystems" shows.
inline constexpr std::array<std::string_view, 7> FileSystemName = {"RAW",  "FAT32", "exFAT", "HFS+",
                                                                   "APFS", "APFSX", "HFSX"};

}  // namespace ramdisk

#endif  // RAMDISK_CORE_COMMON_FILE_SYSTEM_H_
