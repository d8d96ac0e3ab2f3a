#include "core/common/version_info.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/version_block_writer.h"

namespace ramdisk {
namespace {

using Bytes = std::vector<unsigned char>;
using Pairs = std::vector<std::pair<std::uint16_t, std::uint16_t>>;
using Tables = std::vector<std::pair<std::u16string, std::vector<VersionNode>>>;

VersionNode PV(std::u16string_view text) { return TextEntry(u"ProductVersion", text); }

// A block with these string tables and, unless nullopt, a "VarFileInfo"
// with these translation pairs.
Bytes Block(const Tables& tables, std::optional<Pairs> translations = Pairs{{0x0409, 0x04E4}}) {
  std::vector<VersionNode> string_tables;
  for (const auto& [name, entries] : tables)
    string_tables.push_back(ContainerNode(name, entries));
  std::vector<VersionNode> children{ContainerNode(u"StringFileInfo", std::move(string_tables))};
  if (translations)
    children.push_back(VarFileInfoNode(*translations));
  return SerializeVersionNode(RootNode({1, 2, 3, 4}, std::move(children)));
}

// The product version, or "error: " and the message.
std::string Outcome(const Bytes& block) {
  try {
    return ReadProductVersion(block.data(), block.size());
  } catch (const EVersionInfoError& error) {
    return "error: " + error.Message();
  }
}

struct BlockCase {
  const char* name;
  Bytes block;
  std::string outcome;
};

std::ostream& operator<<(std::ostream& os, const BlockCase& c) { return os << c.name; }

class ProductVersionTest : public ::testing::TestWithParam<BlockCase> {};

TEST_P(ProductVersionTest, Decodes) { EXPECT_EQ(Outcome(GetParam().block), GetParam().outcome); }

const std::u16string kLong = std::u16string(239, u'x') + u"\u00e9";
// Its value length counts 200 units; the value holds one.
const VersionNode kLyingEntry{u"ProductVersion", 1, 200, {'7', 0}, {}};
const std::u16string kOddText = u"v\u00e9\U0001F600" + std::u16string{0xD800, u'x', 0xDC00};

INSTANTIATE_TEST_SUITE_P(
    Blocks, ProductVersionTest,
    ::testing::ValuesIn(std::vector<BlockCase>{
        {"FirstTranslationPairDecides",
         Block({{u"040904E4", {PV(u"en")}}, {u"040704B0", {PV(u"de")}}},
               Pairs{{0x0407, 0x04B0}, {0x0409, 0x04E4}}),
         "de"},
        {"LastMatchingTableIgnoringCase",
         Block({{u"040904E4", {PV(u"1st")}}, {u"040904e4", {PV(u"2nd")}}, {u"0407", {PV(u"3rd")}}}),
         "2nd"},
        {"TranslationNamingNoTable", Block({{u"0C0A04E4", {PV(u"a")}}, {u"040704B0", {PV(u"b")}}}),
         "a"},
        {"NoVarFileInfo", Block({{u"0407", {PV(u"a")}}, {u"040904E4", {PV(u"b")}}}, std::nullopt),
         "a"},
        {"TwoProductVersions", Block({{u"T", {PV(u"1"), PV(u"2")}}}), "1"},
        {"LowerCaseKey", Block({{u"T", {TextEntry(u"productversion", u"x")}}}), "x"},
        {"NoProductVersion", Block({{u"T", {TextEntry(u"FileVersion", u"1")}}}), ""},
        {"Utf16ToUtf8", Block({{u"T", {PV(kOddText)}}}),
         "v\xc3\xa9\xf0\x9f\x98\x80\xef\xbf\xbdx\xef\xbf\xbd"},
        // "ProductVersion=" takes 15 of the line's 255 bytes: the cut falls
        // inside the last character.
        {"CutNeverSplitsACharacter", Block({{u"T", {PV(kLong)}}}), std::string(239, 'x')},
        {"ValueLengthLies", Block({{u"T", {kLyingEntry}}}), "error: Stream read error"},
        // Its key's first unit would end one byte past it.
        {"SevenBytes", Bytes{7, 0, 0, 0, 0, 0, 0, 0}, "error: Stream read error"},
        {"NoStringTable", Block({}), "error: List index (0) out of bounds"}}),
    [](const auto& param) { return std::string(param.param.name); });

// Cut or lying lengths end in "Stream read error"; flipped bits in any
// outcome but a read outside the block (the sanitizer build checks that).
TEST(VersionInfoTest, DamagedBlocks) {
  const Bytes good = Block({{u"040904E4", {PV(u"1.2.3")}}});
  for (std::size_t size = 0; size < good.size(); ++size)
    EXPECT_EQ(Outcome(Bytes(good.begin(), good.begin() + size)), "error: Stream read error")
        << "cut at " << size;
  // Shorter than a header, and ending inside the key.
  for (int length : {0, 5, 8}) {
    Bytes bad = good;
    bad[0] = static_cast<unsigned char>(length);
    bad[1] = 0;
    EXPECT_EQ(Outcome(bad), "error: Stream read error") << "length " << length;
  }
  for (std::size_t i = 0; i < good.size() * 8; ++i) {
    Bytes bad = good;
    bad[i / 8] ^= static_cast<unsigned char>(1u << (i % 8));
    Outcome(bad);
  }
}

// Values and children start on a 32-bit boundary; the last child is not
// padded.
TEST(VersionBlockWriterTest, Layout) {
  EXPECT_EQ(
      SerializeVersionNode(ContainerNode(u"T", {TextEntry(u"Key", u""), TextEntry(u"K", u"x")})),
      (Bytes{48, 0, 0, 0, 1, 0, 'T', 0, 0,   0, 0,   0,                            //
             18, 0, 1, 0, 1, 0, 'K', 0, 'e', 0, 'y', 0, 0,   0, 0, 0, 0, 0, 0, 0,  //
             16, 0, 2, 0, 1, 0, 'K', 0, 0,   0, 0,   0, 'x', 0, 0, 0}));
}

}  // namespace
}  // namespace ramdisk
