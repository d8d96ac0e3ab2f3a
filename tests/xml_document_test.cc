#include "core/macos/xml_document.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <tuple>

namespace ramdisk {
namespace {

// Nothing of libxml2's may reach standard error in any of these tests.
class XmlDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override { ::testing::internal::CaptureStderr(); }
  void TearDown() override { EXPECT_EQ(::testing::internal::GetCapturedStderr(), ""); }
};

// Entity e0 holds `base` bytes, each e<i> refers `fan` times to e<i-1>, and
// the root element (or its attribute) refers `refs` times to e<levels>.
std::string EntityDocument(int levels, int fan, int base, int refs, bool in_attribute) {
  std::string text = "<!DOCTYPE r [\n<!ENTITY e0 \"" + std::string(base, 'x') + "\">\n";
  for (int level = 1; level <= levels; ++level) {
    text += "<!ENTITY e" + std::to_string(level) + " \"";
    for (int i = 0; i < fan; ++i)
      text += "&e" + std::to_string(level - 1) + ";";
    text += "\">\n";
  }
  std::string refs_text;
  for (int i = 0; i < refs; ++i)
    refs_text += "&e" + std::to_string(levels) + ";";
  return text + "]>\n" +
         (in_attribute ? "<r a=\"" + refs_text + "\"/>" : "<r>" + refs_text + "</r>");
}

// The input and its message; only a prefix when that ends in a space.
using ReadError = std::tuple<std::string, std::string>;
class ReadErrorTest : public XmlDocumentTest,
                      public ::testing::WithParamInterface<ReadError> {};

TEST_P(ReadErrorTest, NamesLinePositionAndReason) {
  const auto& [input, expected] = GetParam();
  std::string message = "<parsed>";
  try {
    XmlDocument document(input);
  } catch (const EXMLReadError& error) {
    message = error.Message();
  }
  EXPECT_EQ(expected.back() == ' ' ? message.substr(0, expected.size()) : message, expected);
  EXPECT_EQ(message.find_first_of("\r\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadErrorTest,
    ::testing::Values(
        ReadError{"", "In 'stream:' (line 1 pos 1): Root element is missing"},
        ReadError{" \n\t", "In 'stream:' (line 2 pos 2): Root element is missing"},
        ReadError{"<?xml version=\"1.0\"?>\n<!-- no root -->\n",
                  "In 'stream:' (line 3 pos 1): Root element is missing"},
        ReadError{"\xEF\xBB\xBF<!DOCTYPE plist>",
                  "In 'stream:' (line 1 pos 17): Root element is missing"},
        ReadError{"<a>\n\n</b>", "In 'stream:' (line 3 pos 5): "},
        ReadError{"<a>\xff</a>", "In 'stream:' (line 1 pos 4): "},
        // 10^9 bytes from a few hundred, refused where the document refers
        // to them, not inside the replacement text.
        ReadError{EntityDocument(9, 10, 3, 1, false), "In 'stream:' (line 13 "},
        ReadError{EntityDocument(9, 10, 3, 1, true), "In 'stream:' (line 13 "},
        // A wide one that libxml2 itself lets through: 100 MB from 15 KB.
        ReadError{EntityDocument(1, 1000, 100, 1000, false),
                  "In 'stream:': Entity references expand to more than 16777216 bytes"}));

// Below the bound the expansion is complete, and quick: 10 MB in 10,000 pieces.
TEST_F(XmlDocumentTest, EntityExpansionBelowTheBoundIsComplete) {
  auto start = std::chrono::steady_clock::now();
  std::string value;
  EXPECT_TRUE(XmlDocument(EntityDocument(1, 100, 1000, 100, false)).Evaluate("/r", value));
  EXPECT_EQ(value.size(), 10000000u);
  EXPECT_EQ(value.find_first_not_of('x'), std::string::npos);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

// The document, the expression and its value.
using Evaluation = std::tuple<const char*, const char*, const char*>;
class EvaluateTest : public XmlDocumentTest,
                     public ::testing::WithParamInterface<Evaluation> {};

TEST_P(EvaluateTest, GivesTheXPathStringOfTheResult) {
  const auto& [document, expression, expected] = GetParam();
  std::string value;
  EXPECT_TRUE(XmlDocument(document).Evaluate(expression, value));
  EXPECT_EQ(value, expected);
}

const char kPlist[] =
    "<plist version='1.0'>\n\t<dict>\n\t\t<key>k</key><string> </string>\r\n"
    "<key>dev-entry</key><string>a<b>b</b>c</string><!--note-->\n"
    "<u> x </u><v><![CDATA[ ]]></v></dict></plist>";
const char kEntities[] =
    "<!DOCTYPE r [<!ENTITY d 'disk'><!ENTITY dev '/dev/&d;4'>]>"
    "<r a='&dev;'>&dev;<s>&d;</s></r>";

INSTANTIATE_TEST_SUITE_P(
    Table, EvaluateTest,
    ::testing::Values(
        // Text that is only white space is gone everywhere, other text kept.
        Evaluation{kPlist, "count(/plist/node()) + count(dict/node())", "8"},
        Evaluation{kPlist, "count(dict/string[1]/node())", "0"},
        Evaluation{kPlist, "concat(dict/u, dict/v)", " x  "},
        // The root element is the context; a node-set gives its first node
        // in document order.
        Evaluation{kPlist, "@version", "1.0"},
        Evaluation{kPlist, "/plist/dict/key", "k"},
        Evaluation{kPlist, "dict/key[2]/preceding-sibling::*", "k"},
        Evaluation{kPlist, "dict/string[preceding-sibling::key[1]='dev-entry']", "abc"},
        Evaluation{kPlist, "//comment()", "note"},
        Evaluation{kEntities, "/r", "/dev/disk4disk"},
        Evaluation{kEntities, "/r/@a", "/dev/disk4"},
        Evaluation{kPlist, "boolean(//none)", "false"},
        Evaluation{kPlist, "-0", "0"},
        Evaluation{kPlist, "-1 div 0", "-Infinity"},
        Evaluation{kPlist, "0 div 0", "NaN"},
        Evaluation{kPlist, "0.1 + 0.2", "0.30000000000000004"},
        Evaluation{kPlist, "0.0000001", "0.0000001"},
        Evaluation{kPlist, "-1234567890123.5", "-1234567890123.5"},
        Evaluation{kPlist, "1000000 * 1000000 * 1000000 * 1000", "1000000000000000000000"}));

TEST_F(XmlDocumentTest, InvalidExpressionsRaiseTheEvaluatorsMessage) {
  XmlDocument document("<r/>");
  for (const char* expression : {"/r/[", "nosuch()", "$variable", "count('x')", ""}) {
    std::string value = "stale";
    try {
      document.Evaluate(expression, value);
      ADD_FAILURE() << "accepted " << expression;
    } catch (const EXPathError& error) {
      EXPECT_NE(error.Message(), "") << expression;
      EXPECT_EQ(error.Message().find('\n'), std::string::npos);
    }
    EXPECT_EQ(value, "") << expression;
  }
}

class NoExternalReadTest : public XmlDocumentTest,
                           public ::testing::WithParamInterface<const char*> {};

// FILE names the read end of a pipe that holds a comment; reading the file
// would take the comment out.
TEST_P(NoExternalReadTest, LeavesLocalFilesUnread) {
  int pipe_ends[2];
  ASSERT_EQ(::pipe(pipe_ends), 0);
  ASSERT_EQ(::write(pipe_ends[1], "<!---->", 7), 7);
  ::close(pipe_ends[1]);
  std::string bytes = GetParam();
  bytes.replace(bytes.find("FILE"), 4, "/dev/fd/" + std::to_string(pipe_ends[0]));
  EXPECT_NO_THROW(XmlDocument{bytes});
  char comment[8];
  EXPECT_EQ(::read(pipe_ends[0], comment, sizeof comment), 7);
  ::close(pipe_ends[0]);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NoExternalReadTest,
    ::testing::Values(
        "<!DOCTYPE plist SYSTEM \"FILE\"><plist/>",
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"file://FILE\"><plist/>",
        "<!DOCTYPE r [<!ENTITY ext SYSTEM \"FILE\">]><r>&ext;</r>",
        "<!DOCTYPE r [<!ENTITY % ext SYSTEM \"file://FILE\"> %ext;]><r/>"));

}  // namespace
}  // namespace ramdisk
