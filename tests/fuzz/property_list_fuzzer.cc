// The property-list reading of the image tool's output (entities
// substituted, blank text dropped), the device lookup over it as
// TCommand::Find runs it, and the RAM disks that a listing reads out of it,
// over arbitrary documents.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/macos/disks/memory_volume.h"
#include "core/macos/disks/ram_disk_list.h"
#include "core/macos/xml/xml_document.h"

namespace {

void Check(bool holds) {
  if (!holds)
    std::abort();
}

// What entities may add to a document, as the manual page promises: 16 MiB.
constexpr std::size_t kPromisedExpansionBytes = 16777216;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    ramdisk::XmlDocument document(std::string_view(reinterpret_cast<const char*>(data), size));
    std::string device = "stale";
    if (document.Evaluate(ramdisk::kDeviceQuery, device))
      Check(device.size() <= size + kPromisedExpansionBytes);
    else
      Check(device.empty());
    // Once entities are substituted, no text of an element is blank.
    std::string blank;
    Check(document.Evaluate("count(//text()[normalize-space() = ''])", blank) && blank == "0");
    // Numbers take a conversion of their own; the document's text picks one.
    std::string number;
    Check(document.Evaluate("number(/plist//string)", number) && !number.empty());
    for (const ramdisk::TRamDisk& disk : ramdisk::ReadRamDisks(document))
      Check(disk.Device.size() <= kPromisedExpansionBytes);
  } catch (const ramdisk::Exception&) {
  }
  return 0;
}
