#ifndef RAMDISK_CORE_MACOS_IMAGE_TOOL_H_
#define RAMDISK_CORE_MACOS_IMAGE_TOOL_H_

#include <string>
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

// The tool's name, as it is run: "hdiutil" or "diskutil".
constexpr const char* ImageToolName(ImageTool tool) {
  return tool == ImageTool::kDiskutil ? "diskutil" : "hdiutil";
}

// kDiskutil for a product version ("27.1.2") that is a plain dotted number,
// groups of decimal digits joined by single dots, whose first group is 27 or
// more; kHdiutil for any other text ("", "26.4.1", "27abc", "27."). Inline:
// the stand-in disk tools decide by it as well.
inline ImageTool ImageToolFor(std::string_view product_version) {
  int major = 0;
  bool in_major = true, digit_before = false;
  for (char c : product_version) {
    if (c == '.' && digit_before) {
      in_major = digit_before = false;
    } else if (c >= '0' && c <= '9') {
      if (in_major && major < kFirstReleaseWithoutHdiutil)
        major = major * 10 + (c - '0');
      digit_before = true;
    } else {
      return ImageTool::kHdiutil;
    }
  }
  return digit_before && major >= kFirstReleaseWithoutHdiutil ? ImageTool::kDiskutil
                                                              : ImageTool::kHdiutil;
}

// The running system's product version, "kern.osproductversion" ("27.1.2");
// empty where it cannot be read (that name exists from macOS 10.13.4 on).
std::string RunningProductVersion();

// ImageToolFor the running system, asked afresh on every call.
ImageTool RunningImageTool();

// For tests: while alive, RunningProductVersion answers `version` on the
// calling thread, whatever the system. Scopes nest.
class PretendProductVersion {
 public:
  explicit PretendProductVersion(std::string version);
  ~PretendProductVersion();
  PretendProductVersion(const PretendProductVersion&) = delete;
  PretendProductVersion& operator=(const PretendProductVersion&) = delete;

 private:
  std::string version_;
  const std::string* saved_;
};

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_IMAGE_TOOL_H_
