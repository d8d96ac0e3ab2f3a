#include "core/common/version_info.h"

#include <string_view>

#include "core/common/ascii.h"
#include "core/common/messages.h"

namespace ramdisk {

namespace {

// Every block starts with its length, its value length and its type, each a
// little-endian 16-bit word, followed by its key.
constexpr std::size_t kHeaderBytes = 6;
// Type 1 values are text counted in UTF-16 units; any other type counts bytes.
constexpr std::uint16_t kTextType = 1;
// Only the root's first two children are looked at.
constexpr std::size_t kMaxRootChildren = 2;

[[noreturn]] void ThrowReadError() { throw EVersionInfoError(messages::kStreamReadError); }

std::size_t Align4(std::size_t offset) { return (offset + 3) & ~static_cast<std::size_t>(3); }

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// A block's bytes may come from anywhere, so an unpaired surrogate is not an
// error: it turns into U+FFFD and the text stays valid UTF-8.
std::string Utf8FromUtf16(std::u16string_view units) {
  std::string out;
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (IsHighSurrogate(c) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

// Backs off to a character boundary, so that a cut text is still UTF-8.
std::string CutText(std::string text) {
  if (text.size() <= kMaxVersionTextBytes)
    return text;
  std::size_t cut = kMaxVersionTextBytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
    --cut;
  text.resize(cut);
  return text;
}

struct Block {
  std::size_t end;  // one past the block's last byte
  std::uint16_t type;
  std::string key;
  std::size_t value_begin;
  std::size_t value_end;
  std::size_t children_begin;
};

class BlockReader {
 public:
  BlockReader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

  std::size_t size() const { return size_; }

  // The word at `offset`, which must lie wholly before `end` (<= size).
  std::uint16_t Word(std::size_t offset, std::size_t end) const {
    if (offset > end || end - offset < 2)
      ThrowReadError();
    return static_cast<std::uint16_t>(data_[offset] | (data_[offset + 1] << 8));
  }

  // The block at `begin`, which must end at or before `limit`.
  Block Read(std::size_t begin, std::size_t limit) const {
    if (begin > limit || limit - begin < kHeaderBytes)
      ThrowReadError();
    std::size_t length = Word(begin, limit);
    if (length < kHeaderBytes || length > limit - begin)
      ThrowReadError();
    Block block;
    block.end = begin + length;
    std::uint16_t value_length = Word(begin + 2, block.end);
    block.type = Word(begin + 4, block.end);

    std::u16string key;
    std::size_t at = begin + kHeaderBytes;
    for (std::uint16_t unit; (unit = Word(at, block.end)) != 0; at += 2)
      key += static_cast<char16_t>(unit);
    block.key = CutText(Utf8FromUtf16(key));

    std::size_t value_bytes =
        block.type == kTextType ? std::size_t{value_length} * 2 : std::size_t{value_length};
    block.value_begin = Align4(at + 2);
    block.value_end = block.value_begin;
    if (value_bytes > 0) {
      if (block.value_begin > block.end || block.end - block.value_begin < value_bytes)
        ThrowReadError();
      block.value_end = block.value_begin + value_bytes;
    }
    block.children_begin = Align4(block.value_end);
    return block;
  }

  // Calls visit(child) for at most `max_children` children of `parent`;
  // each child starts on the next 32-bit boundary after the one before.
  template <typename Visit>
  void ForEachChild(const Block& parent, std::size_t max_children, Visit visit) const {
    std::size_t at = parent.children_begin;
    for (std::size_t n = 0; n < max_children && at < parent.end; ++n) {
      Block child = Read(at, parent.end);
      visit(child);
      at = Align4(child.end);
    }
  }

  // The value as text: up to its first zero unit, or all of it.
  std::string Text(const Block& block) const {
    std::u16string units;
    for (std::size_t at = block.value_begin; block.value_end - at >= 2; at += 2) {
      std::uint16_t unit = Word(at, block.value_end);
      if (unit == 0)
        break;
      units += static_cast<char16_t>(unit);
    }
    return CutText(Utf8FromUtf16(units));
  }

 private:
  const unsigned char* data_;
  std::size_t size_;
};

constexpr std::size_t kAll = static_cast<std::size_t>(-1);

void ReadStringFileInfo(const BlockReader& reader, const Block& info_block, VersionInfo& info) {
  reader.ForEachChild(info_block, kAll, [&](const Block& table_block) {
    VersionStringTable table;
    table.name = table_block.key;
    reader.ForEachChild(table_block, kAll, [&](const Block& entry) {
      table.entries.emplace_back(entry.key, reader.Text(entry));
    });
    info.string_tables.push_back(std::move(table));
  });
}

void ReadVarFileInfo(const BlockReader& reader, const Block& info_block, VersionInfo& info) {
  reader.ForEachChild(info_block, kAll, [&](const Block& var) {
    if (var.key != "Translation")
      return;
    for (std::size_t at = var.value_begin; var.value_end - at >= 4; at += 4) {
      info.translations.push_back(
          {reader.Word(at, var.value_end), reader.Word(at + 2, var.value_end)});
    }
  });
}

std::string TranslationName(const VersionTranslation& translation) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string name;
  for (std::uint16_t word : {translation.language, translation.code_page}) {
    for (int shift = 12; shift >= 0; shift -= 4)
      name += kHex[(word >> shift) & 0xF];
  }
  return name;
}

}  // namespace

VersionInfo ReadVersionInfo(const unsigned char* data, std::size_t size) {
  BlockReader reader(data, size);
  Block root = reader.Read(0, size);
  VersionInfo info;
  for (std::size_t at = root.value_begin; root.value_end - at >= 4; at += 4) {
    std::uint32_t low = reader.Word(at, root.value_end);
    std::uint32_t high = reader.Word(at + 2, root.value_end);
    info.fixed_part.push_back(low | (high << 16));
  }
  reader.ForEachChild(root, kMaxRootChildren, [&](const Block& child) {
    if (child.key == "StringFileInfo")
      ReadStringFileInfo(reader, child, info);
    else if (child.key == "VarFileInfo")
      ReadVarFileInfo(reader, child, info);
  });
  return info;
}

std::string ProductVersionOf(const VersionInfo& info) {
  if (info.string_tables.empty())
    throw EVersionInfoError(messages::kListIndexOutOfBounds);
  const VersionStringTable* chosen = &info.string_tables.front();
  if (!info.translations.empty()) {
    std::string wanted = TranslationName(info.translations.front());
    for (auto table = info.string_tables.rbegin(); table != info.string_tables.rend(); ++table) {
      if (EqualsIgnoringAsciiCase(table->name, wanted)) {
        chosen = &*table;
        break;
      }
    }
  }
  for (const auto& [key, text] : chosen->entries) {
    std::string line = CutText(key + "=" + text);
    std::string::size_type equals = line.find('=');
    if (equals == std::string::npos)
      continue;
    if (EqualsIgnoringAsciiCase(std::string_view(line).substr(0, equals), "ProductVersion"))
      return line.substr(equals + 1);
  }
  return "";
}

std::string ReadProductVersion(const unsigned char* data, std::size_t size) {
  return ProductVersionOf(ReadVersionInfo(data, size));
}

}  // namespace ramdisk
