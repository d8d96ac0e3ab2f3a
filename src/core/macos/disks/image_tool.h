#ifndef RAMDISK_CORE_MACOS_DISKS_IMAGE_TOOL_H_
#define RAMDISK_CORE_MACOS_DISKS_IMAGE_TOOL_H_

#include <string_view>

namespace ramdisk {

// The tool that attaches and detaches disk images on a macOS release.
// hdiutil is deprecated from macOS 27 on: every run warns first, and
// detaching disk images was seen to fail there while diskutil's eject of
// the same disk worked. diskutil's image verbs exist from macOS 13 on, but
// below 27 hdiutil stays, as it was reported the sounder of the two there.
// Formatting is diskutil's on every release, and listing the attached
// images hdiutil's: nothing else lists them.
enum class ImageTool { kHdiutil, kDiskutil };

inline constexpr int kFirstReleaseWithoutHdiutil = 27;
// The Darwin kernel of macOS 27: Darwin 25 is macOS 26.
inline constexpr int kFirstDarwinWithoutHdiutil = 26;

// The tool's name, as it is run: "hdiutil" or "diskutil".
constexpr const char* ImageToolName(ImageTool tool) {
  return tool == ImageTool::kDiskutil ? "diskutil" : "hdiutil";
}

// The first group of `version` when it is a plain dotted number, groups of
// decimal digits joined by single dots ("27.1.2"), counted no higher than
// `cap`; -1 for any other text ("", "27abc", "27.", " 27").
inline int DottedMajor(std::string_view version, int cap) {
  int major = 0;
  bool in_major = true, digit_before = false;
  for (char c : version) {
    if (c == '.' && digit_before) {
      in_major = digit_before = false;
    } else if (c >= '0' && c <= '9') {
      if (in_major && major < cap)
        major = major * 10 + (c - '0');
      digit_before = true;
    } else {
      return -1;
    }
  }
  return digit_before ? major : -1;
}

// kDiskutil from macOS 27 on. The Darwin release ("26.0.0") decides when it
// is a plain dotted number: no compatibility mode changes it, where the
// product version ("27.1.2") may be an older one's, as macOS tells programs
// built with an older SDK, or run with SYSTEM_VERSION_COMPAT=1. Otherwise
// the product version decides. Inline: the stand-in disk tools decide by
// it as well.
inline ImageTool ImageToolFor(std::string_view product_version, std::string_view darwin_release) {
  const int darwin = DottedMajor(darwin_release, kFirstDarwinWithoutHdiutil);
  const bool from_27 = darwin >= 0 ? darwin >= kFirstDarwinWithoutHdiutil
                                   : DottedMajor(product_version, kFirstReleaseWithoutHdiutil) >=
                                         kFirstReleaseWithoutHdiutil;
  return from_27 ? ImageTool::kDiskutil : ImageTool::kHdiutil;
}

// The sysctl names the release is read from.
inline constexpr char kProductVersionName[] = "kern.osproductversion";
inline constexpr char kDarwinReleaseName[] = "kern.osrelease";

// ImageToolFor the running system (SystemText of both names), asked afresh
// on every call.
ImageTool RunningImageTool();

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_DISKS_IMAGE_TOOL_H_
