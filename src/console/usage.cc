#include "console/commands.h"

#include <string>

#include "console/invocation_name.h"
#include "core/common/command_line.h"
#include "core/common/text_output.h"
#include "core/common/version.h"

namespace ramdisk {

void WriteHelp() {
  const std::string name = InvocationName(ProgramName());
  TextOutput& out = StdOut();

  // "RAM Disk" goes out before the version is read: when the program carries
  // no version block, the error line completes this one.
  out.Write("RAM Disk");
  const std::string version = GetVersionString();
  out.WriteLine(" Console " + version);
  out.WriteLine("");
  out.WriteLine("Syntax: ");
  out.WriteLine(" " + name + " -add:mountpoint -param:value,...");
  out.WriteLine(" " + name + " -del:mountpoint|/path -param:value,...");
  out.WriteLine(" " + name + " -del:/dev/diskN -param:value,...");
  out.WriteLine(" " + name + " -save:mountpoint|/path");
  out.WriteLine(" " + name + " -list");
  out.WriteLine(" " + name + " -h");
  out.WriteLine("");
  out.WriteLine("Options for adding a RAM Disk");
  out.WriteLine("=============================");
  out.WriteLine(" -fs \tDisk file system FAT32, exFAT, HFS+ or APFS (default).");
  out.WriteLine("     \tCase-sensitive: HFSX or APFSX.");
  out.WriteLine(" -size\tDisk size as a number followed by a multiplier, e.g. 10M, or 1G.");
  out.WriteLine("     \tOr N% of the physical memory, e.g. 25%; never more than the memory.");
  out.WriteLine(" -hidden\tKeep the disk out of Finder, Spotlight and the event log.");
  out.WriteLine(" -mount\tMount it at an existing empty folder instead, e.g. -mount:~/cache.");
  out.WriteLine(" -keep\tLoad it from a folder, saved there by -save and -del: -keep:~/keep.");
  out.WriteLine("");
  out.WriteLine("Examples:");
  out.WriteLine(" " + name + " -add:ramdisk1 -size:100m -fs:exfat");
  out.WriteLine(" " + name + " -add:ramdisk2 -size:1g -fs:apfs");
  out.WriteLine(" " + name + " -add:build -size:25% -fs:apfsx");
  out.WriteLine(" " + name + " -add:cache -size:1g -hidden -mount:~/cache");
  out.WriteLine(" " + name + " -add:work -size:2g -keep:~/RAMDisk/work");
  out.WriteLine("");
  out.WriteLine("Options for deleting a RAM Disk");
  out.WriteLine("===============================");
  out.WriteLine(" -force\tForced deletion even if the disk has open files.");
  out.WriteLine(" -discard\tDo not save a kept disk first.");
  out.WriteLine("");
  out.WriteLine("Examples:");
  out.WriteLine(" " + name + " -del:mountpoint");
  out.WriteLine(" " + name + " -del:mountpoint -force");
  out.WriteLine(" " + name + " -del:/dev/disk4");
  out.WriteLine(" " + name + " -del:~/cache");
  out.WriteLine("");
  out.WriteLine("Other commands");
  out.WriteLine("==============");
  out.WriteLine(" -save\tSave a kept disk to its folder now; it stays mounted.");
  out.WriteLine(" -list\tList the RAM Disks: device, size and mount points.");
  out.WriteLine(" -h   \tShow this text; also -help or --help.");
  out.WriteLine("");
}

}  // namespace ramdisk
