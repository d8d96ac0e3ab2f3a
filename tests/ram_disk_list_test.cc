// The RAM disks read out of "hdiutil info -plist" documents, as -list
// prints them.

#include "core/macos/disks/ram_disk_list.h"

#include <gtest/gtest.h>

#include <ostream>

#include "console/commands.h"
#include "core/macos/xml/libxml_version.h"
#include "support/outcome.h"

namespace ramdisk {
namespace {

const char kContainer[] = "EF57347C-0000-11AA-AA11-00306543ECAC";
const char kVolume[] = "41504653-0000-11AA-AA11-00306543ECAC";

std::string String(const std::string& key, const std::string& text) {
  return "<key>" + key + "</key><string>" + text + "</string>";
}

// An entry of "system-entities"; no dev-entry when `device` is empty.
std::string Entity(const std::string& device, const std::string& mount_point = "",
                   const std::string& hint = "") {
  return "<dict>" + String("content-hint", hint) +
         (device.empty() ? "" : String("dev-entry", device)) +
         (mount_point.empty() ? "" : String("mount-point", mount_point)) +
         "<key>potentially-mountable</key><true/>" + String("unmapped-content-hint", hint) +
         "</dict>";
}

std::string Image(const std::string& path, const std::string& entities,
                  const std::string& more = "") {
  return "<dict>" + more + "<key>blockcount</key><integer>8</integer>" +
         String("image-path", path) + "<key>system-entities</key><array>" + entities +
         "</array></dict>";
}

std::string Info(const std::string& images) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" +
         String("framework", "671") + "<key>images</key><array>" + images + "</array>" +
         String("revision", "671") + "</dict></plist>";
}

// The lines of -list, or its error line.
std::string Listing(const std::string& info) {
  std::string lines;
  try {
    for (const TRamDisk& disk : ReadRamDisks(XmlDocument(info)))
      lines += ListingLine(disk) + "\n";
  } catch (const Exception& error) {
    lines += "General error: " + error.Message() + "\n";
  }
  return lines;
}

struct ListCase {
  const char* name;
  std::string info;
  std::string lines;
};

std::ostream& operator<<(std::ostream& os, const ListCase& c) { return os << c.name; }

class ListingTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(ListingTest, ListsEachRamDiskInOrder) {
  EXPECT_EQ(Listing(GetParam().info), GetParam().lines);
}

const std::string kApfsWhole = Entity("/dev/disk138");
const std::string kApfsContainer = Entity("/dev/disk139", "", kContainer);
const std::string kApfsVolume = Entity("/dev/disk139s1", "/Volumes/scratch", kVolume);

INSTANTIATE_TEST_SUITE_P(
    Table, ListingTest,
    ::testing::Values(
        ListCase{"none", Info(""), ""}, ListCase{"no images key", "<plist><dict/></plist>", ""},
        ListCase{"no dict", "<plist><array/></plist>", "General error: Unexpected XML output\n"},
        ListCase{"unformatted", Info(Image("ram://4194304", Entity("/dev/disk2"))),
                 "/dev/disk2\t2G\t-\n"},
        ListCase{"hfs", Info(Image("ram://2048", Entity("/dev/disk2", "/Volumes/NAME"))),
                 "/dev/disk2\t1M\t/Volumes/NAME\n"},
        ListCase{"apfs", Info(Image("ram://200", kApfsWhole + kApfsContainer + kApfsVolume)),
                 "/dev/disk138\t100K\t/Volumes/scratch\n"},
        ListCase{"apfs synthesised first",
                 Info(Image("ram://3", kApfsVolume + kApfsContainer + kApfsWhole)),
                 "/dev/disk138\t1536\t/Volumes/scratch\n"},
        ListCase{"container alone", Info(Image("ram://1", kApfsVolume + kApfsContainer)),
                 "/dev/disk139\t512\t/Volumes/scratch\n"},
        ListCase{"gpt, two volumes",
                 Info(Image("ram://4096", Entity("/dev/disk4s1", "/Volumes/a", "Apple_HFS") +
                                              Entity("/dev/disk4", "", "GUID_partition_scheme") +
                                              Entity("/dev/disk4s2", "/Volumes/b"))),
                 "/dev/disk4\t2M\t/Volumes/a, /Volumes/b\n"},
        ListCase{"slices only",
                 Info(Image("ram://8", Entity("/dev/disk5s1") + Entity("/dev/disk"))),
                 "/dev/disk5s1\t4K\t-\n"},
        ListCase{"several, with other images",
                 Info(Image("ram://2048", Entity("/dev/disk4")) +
                      Image("/Users/me/a.dmg", Entity("/dev/disk5", "/Volumes/a")) +
                      Image("RAM://8", Entity("/dev/disk6")) + "<dict/>" +
                      Image("ram://36028797018963967", Entity("/dev/disk7"))),
                 "/dev/disk4\t1M\t-\n/dev/disk7\t18446744073709551104\t-\n"},
        ListCase{
            "sizes that cannot be told",
            Info(Image("ram://36028797018963968", Entity("/dev/disk4")) +
                 Image("ram://", Entity("/dev/disk5")) + Image("ram://+2", Entity("/dev/disk6")) +
                 Image("ram://0", Entity("/dev/disk7")) +
                 Image("ram://1:", Entity("/dev/disk8:") + Entity("/dev/disk8"))),
            "/dev/disk4\t-\t-\n/dev/disk5\t-\t-\n/dev/disk6\t-\t-\n/dev/disk7\t0\t-\n"
            "/dev/disk8\t-\t-\n"},
        ListCase{"no device", Info(Image("ram://8", Entity("", "/Volumes/x"))),
                 "-\t4K\t/Volumes/x\n"}));

// Every image alone is cheap enough for one evaluation; all of them
// together are not.
TEST(ListingLimitTest, ReadingStepsAreBoundedInAll) {
  if (!LibxmlHasXPathOperationLimit())
    GTEST_SKIP() << "the loaded libxml2 has no operation limit";
  std::string keyless;
  for (int i = 0; i < 1000; ++i)
    keyless += "<string/>";
  std::string images;
  for (int i = 0; i < 100; ++i)
    images += "<dict><key>image-path</key>" + keyless + "</dict>";
  const double start = testing::ProcessorSeconds();
  EXPECT_EQ(Listing(Info(images)), "General error: Operation limit exceeded\n");
  EXPECT_LT(testing::ProcessorSeconds() - start, 5);
}

// The listing of a thousand APFS RAM disks, with a dozen keys more for each
// image and indented as hdiutil prints it, stays within the reader's bounds.
TEST(ListingLimitTest, AThousandRamDisksAreListed) {
  const std::string keys =
      "<key>autodiskmount</key><true/><key>blocksize</key><integer>512</integer>"
      "<key>diskimages2</key><true/><key>hdid-pid</key><integer>601</integer>" +
      String("icon-path",
             "/System/Library/PrivateFrameworks/DiskImages2.framework/"
             "Resources/CDiskImage.icns") +
      "<key>image-encrypted</key><false/>" + String("image-type", "RAM") +
      "<key>owner-uid</key><integer>501</integer><key>removable</key><true/>";
  std::string images, info;
  for (int i = 0; i < 1000; ++i)
    images += Image("ram://2048", kApfsWhole + kApfsContainer + kApfsVolume, keys);
  for (char c : Info(images)) {
    if (c == '<' && !info.empty() && info.back() == '>')
      info += "\n\t\t\t";
    info += c;
  }
  std::string listing;
  for (int i = 0; i < 1000; ++i)
    listing += "/dev/disk138\t1M\t/Volumes/scratch\n";
  EXPECT_EQ(Listing(info), listing);
}

}  // namespace
}  // namespace ramdisk
