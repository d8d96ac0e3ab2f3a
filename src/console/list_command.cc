#include "console/commands.h"

#include <vector>

#include "console/size_value.h"
#include "core/common/text_output.h"

namespace ramdisk {

std::string ListingLine(const TRamDisk& disk) {
  std::string line = disk.Device.empty() ? "-" : disk.Device;
  line += '\t';
  line += disk.Size ? SizeText(*disk.Size) : "-";
  line += '\t';
  if (disk.MountPoints.empty())
    line += '-';
  for (std::size_t i = 0; i < disk.MountPoints.size(); ++i)
    line += (i == 0 ? "" : ", ") + disk.MountPoints[i];
  return line;
}

void ListDisks() {
  const std::vector<TRamDisk> disks = ListRamDisks();
  for (const TRamDisk& disk : disks)
    StdOut().WriteLine(ListingLine(disk));
}

}  // namespace ramdisk
