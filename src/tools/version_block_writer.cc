#include "tools/version_block_writer.h"

#include <stdexcept>

namespace ramdisk {

namespace {

void PutWord(std::vector<unsigned char>& out, std::uint16_t word) {
  out.push_back(static_cast<unsigned char>(word & 0xFF));
  out.push_back(static_cast<unsigned char>(word >> 8));
}

void PutDword(std::vector<unsigned char>& out, std::uint32_t dword) {
  PutWord(out, static_cast<std::uint16_t>(dword & 0xFFFF));
  PutWord(out, static_cast<std::uint16_t>(dword >> 16));
}

// Offsets are relative to the start of the serialized root, which is where
// the reader measures alignment from.
void PadTo32Bits(std::vector<unsigned char>& out) {
  while (out.size() % 4 != 0)
    out.push_back(0);
}

void Append(const VersionNode& node, std::vector<unsigned char>& out) {
  std::size_t begin = out.size();
  PutWord(out, 0);  // length, filled in below
  PutWord(out, node.value_length);
  PutWord(out, node.type);
  for (char16_t unit : node.key)
    PutWord(out, unit);
  PutWord(out, 0);
  if (!node.value.empty()) {
    PadTo32Bits(out);
    out.insert(out.end(), node.value.begin(), node.value.end());
  }
  for (const VersionNode& child : node.children) {
    PadTo32Bits(out);
    Append(child, out);
  }
  std::size_t length = out.size() - begin;
  if (length > 0xFFFF)
    throw std::length_error("version block longer than 65535 bytes");
  out[begin] = static_cast<unsigned char>(length & 0xFF);
  out[begin + 1] = static_cast<unsigned char>(length >> 8);
}

std::u16string JoinVersion(const std::array<std::uint16_t, 4>& version, std::size_t parts) {
  std::string text;
  for (std::size_t i = 0; i < parts; ++i) {
    if (i > 0)
      text += '.';
    text += std::to_string(version[i]);
  }
  return std::u16string(text.begin(), text.end());
}

}  // namespace

std::vector<unsigned char> SerializeVersionNode(const VersionNode& node) {
  std::vector<unsigned char> out;
  Append(node, out);
  return out;
}

VersionNode TextEntry(std::u16string key, std::u16string_view text) {
  VersionNode node;
  node.key = std::move(key);
  node.type = 1;
  node.value_length = static_cast<std::uint16_t>(text.size() + 1);
  for (char16_t unit : text)
    PutWord(node.value, unit);
  PutWord(node.value, 0);
  return node;
}

VersionNode ContainerNode(std::u16string key, std::vector<VersionNode> children) {
  VersionNode node;
  node.key = std::move(key);
  node.type = 1;
  node.children = std::move(children);
  return node;
}

VersionNode VarFileInfoNode(
    const std::vector<std::pair<std::uint16_t, std::uint16_t>>& translations) {
  VersionNode translation;
  translation.key = u"Translation";
  translation.type = 0;
  translation.value_length = static_cast<std::uint16_t>(translations.size() * 4);
  for (const auto& [language, code_page] : translations) {
    PutWord(translation.value, language);
    PutWord(translation.value, code_page);
  }
  return ContainerNode(u"VarFileInfo", {translation});
}

VersionNode RootNode(const std::array<std::uint16_t, 4>& version,
                     std::vector<VersionNode> children) {
  const std::uint32_t most = (std::uint32_t{version[0]} << 16) | version[1];
  const std::uint32_t least = (std::uint32_t{version[2]} << 16) | version[3];
  VersionNode root;
  root.key = u"VS_VERSION_INFO";
  root.type = 0;
  for (std::uint32_t word : {
           0xFEEF04BDu,  // signature
           0x00010000u,  // structure version
           most, least,  // file version
           most, least,  // product version
           0x0000003Fu,  // flags mask
           0u,           // flags
           0x00040004u,  // operating system
           1u,           // file type: application
           0u,           // file subtype
           0u, 0u,       // file date
       })
    PutDword(root.value, word);
  root.value_length = static_cast<std::uint16_t>(root.value.size());
  root.children = std::move(children);
  return root;
}

std::vector<unsigned char> BuildVersionBlock(const VersionConfig& config) {
  std::vector<VersionNode> entries;
  entries.push_back(TextEntry(u"CompanyName", Utf16FromUtf8(config.company_name)));
  entries.push_back(TextEntry(u"FileDescription", u"RAM Disk Console"));
  entries.push_back(TextEntry(u"LegalCopyright", Utf16FromUtf8(config.legal_copyright)));
  entries.push_back(TextEntry(u"ProductName", Utf16FromUtf8(config.product_name)));
  entries.push_back(TextEntry(u"ProductVersion", JoinVersion(config.version, 3)));
  entries.push_back(TextEntry(u"Comments", u""));
  entries.push_back(TextEntry(u"FileVersion", JoinVersion(config.version, 4)));
  entries.push_back(TextEntry(u"InternalName", u""));
  entries.push_back(TextEntry(u"LegalTrademarks", u""));
  entries.push_back(TextEntry(u"OriginalFilename", u""));

  VersionNode strings =
      ContainerNode(u"StringFileInfo", {ContainerNode(u"040904E4", std::move(entries))});
  return SerializeVersionNode(
      RootNode(config.version, {std::move(strings), VarFileInfoNode({{0x0409, 0x04E4}})}));
}

std::u16string Utf16FromUtf8(std::string_view text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    std::size_t extra = lead < 0x80    ? 0
                        : lead >= 0xF0 ? 3
                        : lead >= 0xE0 ? 2
                        : lead >= 0xC0 ? 1
                                       : 4;
    if (extra == 4 || lead > 0xF4 || text.size() - i <= extra)
      throw std::invalid_argument("text is not UTF-8");
    char32_t c = extra == 0 ? lead : (lead & (0x3F >> extra));
    for (std::size_t k = 1; k <= extra; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80)
        throw std::invalid_argument("text is not UTF-8");
      c = (c << 6) | (next & 0x3F);
    }
    static const char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
      throw std::invalid_argument("text is not UTF-8");
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += extra + 1;
  }
  return out;
}

}  // namespace ramdisk
