#include "core/common/version_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/version_block_writer.h"

namespace ramdisk {
namespace {

using Bytes = std::vector<unsigned char>;
using Pairs = std::vector<std::pair<std::uint16_t, std::uint16_t>>;

VersionNode Table(std::u16string name, std::vector<VersionNode> entries) {
  return ContainerNode(std::move(name), std::move(entries));
}

VersionNode PV(std::u16string_view text) {
  return TextEntry(u"ProductVersion", text);
}

// A block with the given string tables and, unless nullopt, a "VarFileInfo"
// with these translation pairs.
Bytes Block(std::vector<VersionNode> tables, std::optional<Pairs> translations) {
  std::vector<VersionNode> children;
  children.push_back(ContainerNode(u"StringFileInfo", std::move(tables)));
  if (translations)
    children.push_back(VarFileInfoNode(*translations));
  return SerializeVersionNode(RootNode({1, 2, 3, 4}, std::move(children)));
}

const Pairs kUsEnglish = {{0x0409, 0x04E4}};

Bytes StandardBlock() {
  return Block({Table(u"040904E4", {TextEntry(u"CompanyName", u"Someone"),
                                    PV(u"1.2.3"),
                                    TextEntry(u"FileVersion", u"1.2.3.4")})},
               kUsEnglish);
}

std::string Decode(const Bytes& block) {
  return ReadProductVersion(block.data(), block.size());
}

std::string ErrorOf(const Bytes& block) {
  try {
    Decode(block);
  } catch (const EVersionInfoError& error) {
    return error.Message();
  }
  return "no error";
}

// Offset of the header of the first block whose key is `key`.
std::size_t HeaderOf(const Bytes& block, std::u16string_view key) {
  Bytes pattern;
  for (char16_t unit : key) {
    pattern.push_back(static_cast<unsigned char>(unit & 0xFF));
    pattern.push_back(static_cast<unsigned char>(unit >> 8));
  }
  auto at = std::search(block.begin(), block.end(), pattern.begin(), pattern.end());
  EXPECT_NE(at, block.end());
  return static_cast<std::size_t>(at - block.begin()) - 6;
}

void SetWord(Bytes& block, std::size_t offset, std::uint16_t word) {
  block[offset] = static_cast<unsigned char>(word & 0xFF);
  block[offset + 1] = static_cast<unsigned char>(word >> 8);
}

struct BlockCase {
  const char* name;
  Bytes block;
  std::string version;  // or the error message, when `fails`
  bool fails = false;
};

std::ostream& operator<<(std::ostream& os, const BlockCase& c) {
  return os << c.name;
}

class ProductVersionTest : public ::testing::TestWithParam<BlockCase> {};

TEST_P(ProductVersionTest, Decodes) {
  const BlockCase& c = GetParam();
  if (c.fails)
    EXPECT_EQ(ErrorOf(c.block), c.version);
  else
    EXPECT_EQ(Decode(c.block), c.version);
}

VersionNode Entry(std::u16string key, std::uint16_t value_length, Bytes value) {
  VersionNode node;
  node.key = std::move(key);
  node.value_length = value_length;
  node.value = std::move(value);
  return node;
}

std::vector<BlockCase> UnusualBlocks() {
  const std::string kNoTable = "List index (0) out of bounds";
  std::u16string long_text(300, u'x');
  std::u16string split_char = std::u16string(239, u'x') + u"\u00e9";
  Bytes stranger_first = SerializeVersionNode(RootNode(
      {1, 2, 3, 4}, {ContainerNode(u"Other", {}), ContainerNode(u"Other", {}),
                     ContainerNode(u"StringFileInfo", {Table(u"T", {PV(u"9")})})}));
  Bytes trailing = StandardBlock();
  trailing.insert(trailing.end(), {0xFF, 0xFF, 0xFF, 0xFF, 0x01});
  return {
      {"Standard", StandardBlock(), "1.2.3"},
      {"TranslationPicksSecondTable",
       Block({Table(u"040704B0", {PV(u"de")}), Table(u"040904E4", {PV(u"en")})},
             kUsEnglish),
       "en"},
      {"FirstTranslationPairDecides",
       Block({Table(u"040904E4", {PV(u"en")}), Table(u"040704B0", {PV(u"de")})},
             Pairs{{0x0407, 0x04B0}, {0x0409, 0x04E4}}),
       "de"},
      {"LastMatchingTableIgnoringCase",
       Block({Table(u"040904E4", {PV(u"first")}), Table(u"040904e4", {PV(u"last")}),
              Table(u"0407", {PV(u"other")})},
             kUsEnglish),
       "last"},
      {"TranslationNamingNoTable",
       Block({Table(u"0C0A04E4", {PV(u"a")}), Table(u"040704B0", {PV(u"b")})},
             kUsEnglish),
       "a"},
      {"NoVarFileInfo",
       Block({Table(u"040704B0", {PV(u"a")}), Table(u"040904E4", {PV(u"b")})},
             std::nullopt),
       "a"},
      {"TwoProductVersions",
       Block({Table(u"040904E4", {PV(u"one"), PV(u"two")})}, kUsEnglish), "one"},
      {"LowerCaseKey",
       Block({Table(u"040904E4", {TextEntry(u"productversion", u"x")})}, kUsEnglish),
       "x"},
      {"NoProductVersion",
       Block({Table(u"040904E4", {TextEntry(u"FileVersion", u"1")})}, kUsEnglish), ""},
      {"EmptyText", Block({Table(u"040904E4", {PV(u"")})}, kUsEnglish), ""},
      {"TextWithoutTerminator",
       Block({Table(u"040904E4", {Entry(u"ProductVersion", 1, {'7', 0})})},
             kUsEnglish),
       "7"},
      {"NonAscii", Block({Table(u"T", {PV(u"v\u00e9\U0001F600")})}, std::nullopt),
       "v\xc3\xa9\xf0\x9f\x98\x80"},
      {"UnpairedSurrogates",
       Block({Table(u"T", {PV(std::u16string{0xD800, u'x', 0xDC00})})}, std::nullopt),
       "\xef\xbf\xbdx\xef\xbf\xbd"},
      // "ProductVersion=" takes 15 of the line's 255 bytes.
      {"LongLineCut", Block({Table(u"T", {PV(long_text)})}, std::nullopt),
       std::string(240, 'x')},
      {"CutNeverSplitsACharacter",
       Block({Table(u"T", {PV(split_char)})}, std::nullopt), std::string(239, 'x')},
      {"TrailingBytesAfterTheBlock", trailing, "1.2.3"},
      {"NoStringTable", Block({}, kUsEnglish), kNoTable, true},
      {"NoStringFileInfo",
       SerializeVersionNode(RootNode({1, 2, 3, 4}, {VarFileInfoNode(kUsEnglish)})),
       kNoTable, true},
      {"ThirdChildOfRootUnread", stranger_first, kNoTable, true},
  };
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, ProductVersionTest, ::testing::ValuesIn(UnusualBlocks()),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(VersionInfoTest, TruncatedAnywhereIsAReadError) {
  const Bytes block = StandardBlock();
  for (std::size_t size = 0; size < block.size(); ++size)
    EXPECT_EQ(ErrorOf(Bytes(block.begin(), block.begin() + size)), "Stream read error")
        << "cut at " << size;
}

TEST(VersionInfoTest, LengthsThatLieAreReadErrors) {
  const Bytes good = StandardBlock();
  const std::size_t entry = HeaderOf(good, u"ProductVersion");
  const std::size_t table = HeaderOf(good, u"040904E4");
  struct Lie {
    std::size_t offset;
    std::uint16_t word;
  };
  for (Lie lie : {
           Lie{0, static_cast<std::uint16_t>(good.size() + 4)},  // root past data
           Lie{0, 5},                                             // root too short
           Lie{table, 0xFFFF},                                    // past its parent
           Lie{entry, 0},                                         // zero length
           Lie{entry, 8},                                         // key unterminated
           Lie{entry + 2, 200},                                   // value too long
       }) {
    Bytes bad = good;
    SetWord(bad, lie.offset, lie.word);
    EXPECT_EQ(ErrorOf(bad), "Stream read error")
        << "word " << lie.word << " at " << lie.offset;
  }
}

// Damaged bytes end in a text or an orderly error, never in a read outside
// the block (the sanitizer build checks that part).
TEST(VersionInfoTest, FlippedBytesNeverEscape) {
  const Bytes good = StandardBlock();
  for (std::size_t i = 0; i < good.size(); ++i) {
    for (unsigned char mask : {0x01, 0x80, 0xFF}) {
      Bytes bad = good;
      bad[i] ^= mask;
      try {
        Decode(bad);
      } catch (const EVersionInfoError&) {
      }
    }
  }
}

TEST(VersionBlockWriterTest, EntryLayout) {
  EXPECT_EQ(SerializeVersionNode(TextEntry(u"Ab", u"x")),
            (Bytes{16, 0, 2, 0, 1, 0, 'A', 0, 'b', 0, 0, 0, 'x', 0, 0, 0}));
  // The key ends off a 32-bit boundary: two bytes of padding before the value.
  EXPECT_EQ(SerializeVersionNode(TextEntry(u"Key", u"")),
            (Bytes{18, 0, 1, 0, 1, 0, 'K', 0, 'e', 0, 'y', 0, 0, 0, 0, 0, 0, 0}));
}

// Children start on a 32-bit boundary; the last one is not padded.
TEST(VersionBlockWriterTest, ChildrenLayout) {
  EXPECT_EQ(SerializeVersionNode(ContainerNode(
                u"T", {TextEntry(u"K", u""), TextEntry(u"K", u"")})),
            (Bytes{42, 0, 0, 0, 1, 0, 'T', 0, 0, 0, 0, 0,  //
                   14, 0, 1, 0, 1, 0, 'K', 0, 0, 0, 0, 0, 0, 0, 0, 0,
                   14, 0, 1, 0, 1, 0, 'K', 0, 0, 0, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace ramdisk
