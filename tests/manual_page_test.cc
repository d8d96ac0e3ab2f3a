// The manual page lists every message of ours that the tool can print.

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "core/common/messages.h"

namespace ramdisk {
namespace {

// The arguments of an mdoc line: blank-separated words, a quoted one whole.
std::vector<std::string> Arguments(const std::string& line) {
  std::vector<std::string> words;
  for (std::string::size_type i = 0; i < line.size();) {
    if (line[i] == ' ') {
      ++i;
      continue;
    }
    bool quoted = line[i] == '"';
    std::string::size_type end = line.find(quoted ? '"' : ' ', i + quoted);
    if (end == std::string::npos)
      end = line.size();
    words.push_back(line.substr(i + quoted, end - i - quoted));
    i = end + quoted;
  }
  return words;
}

// A ".It" line as the template of the message it shows: its words as
// written, with "%s" for each "Ar" argument, "Ns" joining its neighbours,
// "\(dq" a double quote and "\&" nothing.
std::string TemplateOf(const std::string& line) {
  std::string text;
  bool join = true;
  const std::vector<std::string> words = Arguments(line);
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (words[i] == "Li")
      continue;
    if (words[i] == "Ns") {
      join = true;
      continue;
    }
    std::string piece = words[i] == "Ar" ? (++i, "%s") : words[i];
    for (const auto& [escape, meaning] : {std::pair{"\\(dq", "\""}, std::pair{"\\&", ""}}) {
      for (auto at = piece.find(escape); at != std::string::npos; at = piece.find(escape, at))
        piece.replace(at, std::string(escape).size(), meaning);
    }
    text += (join ? "" : " ") + piece;
    join = false;
  }
  return text;
}

TEST(ManualPageTest, ListsEveryMessageUnderDiagnostics) {
  std::ifstream page(RAMDISK_MANUAL_PAGE);
  std::set<std::string> listed;
  bool diagnostics = false;
  for (std::string line; std::getline(page, line);) {
    if (line.rfind(".Sh ", 0) == 0)
      diagnostics = line == ".Sh DIAGNOSTICS";
    else if (diagnostics && line.rfind(".It ", 0) == 0)
      listed.insert(TemplateOf(line.substr(4)));
  }
  ASSERT_FALSE(listed.empty()) << "no DIAGNOSTICS in " << RAMDISK_MANUAL_PAGE;
  for (const char* message : messages::kAll)
    EXPECT_EQ(listed.count(message), 1u) << message;
}

}  // namespace
}  // namespace ramdisk
