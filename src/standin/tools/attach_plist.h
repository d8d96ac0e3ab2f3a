#ifndef RAMDISK_STANDIN_TOOLS_ATTACH_PLIST_H_
#define RAMDISK_STANDIN_TOOLS_ATTACH_PLIST_H_

#include <string>

namespace standin {

// What every property list of the real tool starts with, up to its
// top-level dict.
#define STANDIN_PLIST_PROLOG                                \
  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"            \
  "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" " \
  "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"   \
  "<plist version=\"1.0\">\n"                               \
  "<dict>\n"

// The property list that "hdiutil attach -plist" prints for a RAM device,
// around its "dev-entry": keys in alphabetical order, tab-indented.
inline constexpr char kAttachPlistHead[] = STANDIN_PLIST_PROLOG
    "\t<key>system-entities</key>\n"
    "\t<array>\n"
    "\t\t<dict>\n"
    "\t\t\t<key>content-hint</key>\n"
    "\t\t\t<string></string>\n";

inline constexpr char kAttachPlistTail[] =
    "\t\t\t<key>potentially-mountable</key>\n"
    "\t\t\t<false/>\n"
    "\t\t\t<key>unmapped-content-hint</key>\n"
    "\t\t\t<string></string>\n"
    "\t\t</dict>\n"
    "\t</array>\n"
    "</dict>\n"
    "</plist>\n";

inline std::string DevEntry(const std::string& device_path) {
  return "\t\t\t<key>dev-entry</key>\n\t\t\t<string>" + device_path + "</string>\n";
}

inline std::string AttachPlist(const std::string& device_path) {
  return kAttachPlistHead + DevEntry(device_path) + kAttachPlistTail;
}

}  // namespace standin

#endif  // RAMDISK_STANDIN_TOOLS_ATTACH_PLIST_H_
