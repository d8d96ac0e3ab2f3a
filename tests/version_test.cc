#include "core/common/version.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/common/version_info.h"
#include "tools/version_block_writer.h"

namespace ramdisk {
namespace {

constexpr std::uint16_t kParts[] = {RAMDISK_EXPECTED_VERSION_PARTS};

// The generated source carries the writer's bytes unchanged.
TEST(LinkedVersionTest, BlockIsTheConfiguredOne) {
  VersionConfig config;
  config.version = {kParts[0], kParts[1], kParts[2], kParts[3]};
  config.company_name = RAMDISK_EXPECTED_COMPANY_NAME;
  config.legal_copyright = RAMDISK_EXPECTED_LEGAL_COPYRIGHT;
  config.product_name = RAMDISK_EXPECTED_PRODUCT_NAME;
  const ResourceTable table = LinkedResources();
  ASSERT_EQ(table.count, 1u);
  EXPECT_EQ(table.entries[0].language, 0);
  const ResourceEntry& entry = table.entries[0];
  EXPECT_EQ(entry.type, 16);
  EXPECT_EQ(entry.id, 1);
  EXPECT_EQ(std::vector<unsigned char>(entry.data, entry.data + entry.size),
            BuildVersionBlock(config));
}

TEST(LinkedVersionTest, BlockDecodesToTheConfiguredTexts) {
  const ResourceEntry* found = FindResource(LinkedResources(), 16, 1);
  ASSERT_NE(found, nullptr);
  const ResourceEntry& entry = *found;
  // Root header: its length is the whole block, value length 52, type 0.
  ASSERT_GE(entry.size, 40u);
  EXPECT_EQ(entry.data[0] | entry.data[1] << 8, static_cast<int>(entry.size));
  EXPECT_EQ(entry.data[2] | entry.data[3] << 8, 52);
  EXPECT_EQ(entry.data[4] | entry.data[5] << 8, 0);

  VersionInfo info = ReadVersionInfo(entry.data, entry.size);
  const std::uint32_t most = std::uint32_t{kParts[0]} << 16 | kParts[1];
  const std::uint32_t least = std::uint32_t{kParts[2]} << 16 | kParts[3];
  EXPECT_EQ(info.fixed_part,
            (std::vector<std::uint32_t>{0xFEEF04BD, 0x00010000, most, least, most,
                                        least, 0x3F, 0, 0x00040004, 1, 0, 0, 0}));
  ASSERT_EQ(info.string_tables.size(), 1u);
  EXPECT_EQ(info.string_tables[0].name, "040904E4");
  using Entries = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(info.string_tables[0].entries,
            (Entries{{"CompanyName", RAMDISK_EXPECTED_COMPANY_NAME},
                     {"FileDescription", "RAM Disk Console"},
                     {"LegalCopyright", RAMDISK_EXPECTED_LEGAL_COPYRIGHT},
                     {"ProductName", RAMDISK_EXPECTED_PRODUCT_NAME},
                     {"ProductVersion", RAMDISK_EXPECTED_PRODUCT_VERSION},
                     {"Comments", ""},
                     {"FileVersion", RAMDISK_EXPECTED_FILE_VERSION},
                     {"InternalName", ""},
                     {"LegalTrademarks", ""},
                     {"OriginalFilename", ""}}));
  ASSERT_EQ(info.translations.size(), 1u);
  EXPECT_EQ(info.translations[0].language, 0x0409);
  EXPECT_EQ(info.translations[0].code_page, 0x04E4);

  EXPECT_EQ(GetVersionString(), RAMDISK_EXPECTED_PRODUCT_VERSION);
}

TEST(GetVersionStringTest, FirstEntryOfTypeSixteenIdOne) {
  const std::vector<unsigned char> ours = BuildVersionBlock({{7, 8, 9, 10}, "", "", ""});
  const std::vector<unsigned char> later = BuildVersionBlock({{1, 1, 1, 1}, "", "", ""});
  const ResourceEntry entries[] = {
      {16, 2, 0, later.data(), later.size()},
      {6, 1, 0, later.data(), later.size()},
      {16, 1, 0x0409, ours.data(), ours.size()},
      {16, 1, 0, later.data(), later.size()},
  };
  EXPECT_EQ(GetVersionString({entries, 4}), "7.8.9");
}

TEST(GetVersionStringTest, MissingResourceIsAnError) {
  const std::vector<unsigned char> block = BuildVersionBlock({{7, 8, 9, 10}, "", "", ""});
  const ResourceEntry others[] = {{16, 2, 0, block.data(), block.size()},
                                  {6, 1, 0, block.data(), block.size()}};
  for (ResourceTable table : {ResourceTable{nullptr, 0}, ResourceTable{others, 2}}) {
    try {
      GetVersionString(table);
      ADD_FAILURE() << "no error raised";
    } catch (const Exception& error) {
      EXPECT_EQ(error.Message(), "Resource \"1\" not found");
    }
  }
}

}  // namespace
}  // namespace ramdisk
