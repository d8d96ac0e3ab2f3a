#include "core/macos/xml/xml_bounds.h"

#include <algorithm>
#include <string>

#include "core/common/ascii.h"
#include "core/macos/xml/xml_tree.h"

namespace ramdisk {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsQuote(char c) { return c == '"' || c == '\''; }

// Every byte of a multi-byte character may belong to a name.
bool IsNameStart(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || u >= 0x80;
}

bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

std::size_t NameLength(std::string_view text) {
  std::size_t length = 0;
  while (length < text.size() && IsNameChar(text[length]))
    ++length;
  return length;
}

bool IsNamespaceDeclaration(std::string_view name) {
  return name == "xmlns" || StartsWith(name, "xmlns:");
}

// The length of the reference to a general entity that `text` starts with
// ("&name;"); 0 for anything else. A character reference, or one to a
// predefined entity, is text.
std::size_t EntityReferenceLength(std::string_view text) {
  if (text.size() < 3 || text[0] != '&' || !IsNameStart(text[1]))
    return 0;
  const std::size_t end = 1 + NameLength(text.substr(1));
  if (end == text.size() || text[end] != ';')
    return 0;
  const std::string_view name = text.substr(1, end - 1);
  for (std::string_view predefined : {"lt", "gt", "amp", "apos", "quot"}) {
    if (name == predefined)
      return 0;
  }
  return end + 1;
}

// Whether `value` refers to a general entity. libxml2 2.9 expands the
// first such reference in an attribute value, or in a default that an
// ATTLIST gives, in full, nested references included, with no bound but ten
// times the input read so far: 150 MB and seconds from a few entities.
bool HoldsEntityReference(std::string_view value) {
  for (std::size_t at = value.find('&'); at != kNone; at = value.find('&', at + 1)) {
    if (EntityReferenceLength(value.substr(at)) > 0)
      return true;
  }
  return false;
}

// The nodes that character data becomes: one for each entity reference,
// one for each run of text between them.
std::size_t TextNodes(std::string_view text) {
  std::size_t nodes = 0;
  bool in_run = false;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t reference = EntityReferenceLength(text.substr(at));
    if (reference > 0) {
      ++nodes;
      in_run = false;
      at += reference;
      continue;
    }
    nodes += in_run ? 0 : 1;
    in_run = true;
    const std::size_t ampersand = text.find('&', at + 1);
    at = ampersand == kNone ? text.size() : ampersand;
  }
  return nodes;
}

int DigitValue(char c, int base) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (base == 16 && AsciiToLower(c) >= 'a' && AsciiToLower(c) <= 'f')
    return AsciiToLower(c) - 'a' + 10;
  return -1;
}

// `value`, an entity's value as written, with every character reference
// replaced by its character, as libxml2 stores it; a character beyond
// ASCII by a letter, which stands for it in a name as in text.
std::string ReplacementText(std::string_view value) {
  std::string text;
  text.reserve(value.size());
  for (std::size_t at = 0; at < value.size();) {
    const std::size_t reference = value.find("&#", at);
    text.append(value.substr(at, reference == kNone ? kNone : reference - at));
    if (reference == kNone)
      break;
    const int base = reference + 2 < value.size() && value[reference + 2] == 'x' ? 16 : 10;
    const std::size_t digits = reference + (base == 16 ? 3 : 2);
    std::size_t end = digits;
    unsigned long code = 0;
    for (; end < value.size() && DigitValue(value[end], base) >= 0; ++end)
      code = std::min(code * base + static_cast<unsigned long>(DigitValue(value[end], base)),
                      0x110000UL);
    if (end == digits || end == value.size() || value[end] != ';') {
      text += "&#";
      at = reference + 2;
      continue;
    }
    text += code < 0x80 ? static_cast<char>(code) : 'x';
    at = end + 1;
  }
  return text;
}

// Where the markup declaration that `declaration` starts with ends: after
// its first '>' outside a literal; all of it when there is none.
std::size_t DeclarationEnd(std::string_view declaration) {
  char quote = 0;
  for (std::size_t at = 2; at < declaration.size(); ++at) {
    const char c = declaration[at];
    if (quote != 0)
      quote = c == quote ? 0 : quote;
    else if (IsQuote(c))
      quote = c;
    else if (c == '>')
      return at + 1;
  }
  return declaration.size();
}

std::size_t After(std::string_view markup, char c) {
  const std::size_t at = markup.find(c);
  return at == kNone ? markup.size() : at + 1;
}

// The count of a document's markup. The document is cut into segments, each
// from one '<' to the next: a start tag, a comment, a CDATA section or a
// declaration begins a segment, and what follows its end in the segment is
// text. As no '<' may stand inside a start tag, every start tag is scanned
// whole, wherever it lies; inside a comment or a literal one that libxml2
// never reads is counted too.
class MarkupCount {
 public:
  // Counts `text`: the document, or with `in_entity` the replacement text of
  // a general entity, whose declarations libxml2 would not read. False once
  // a bound is exceeded.
  bool Count(std::string_view text, bool in_entity) {
    bytes_ += text.size();
    std::size_t at = text.find('<');
    nodes_ += TextNodes(text.substr(0, at));
    while (at != kNone && Within()) {
      const std::size_t next = text.find('<', at + 1);
      const std::string_view segment = text.substr(at, next == kNone ? kNone : next - at);
      nodes_ += TextNodes(segment.substr(Markup(text, at, segment, in_entity)));
      at = next;
    }
    return Within();
  }

 private:
  bool Within() const {
    return !exceeded_ && nodes_ * kNodeBytes + bytes_ <= kMaxTreeBytes &&
           declarations_ <= kMaxDeclarations &&
           namespaces_ + namespace_defaults_ * start_tags_ <= kMaxNamespaceDeclarations;
  }

  // Counts the markup that `segment`, at `at` in `text`, starts with, and
  // returns where it ends in the segment.
  std::size_t Markup(std::string_view text, std::size_t at, std::string_view segment,
                     bool in_entity) {
    if (segment.size() > 1 && IsNameStart(segment[1]))
      return StartTag(segment);
    if (StartsWith(segment, "<!--") || StartsWith(segment, "<![CDATA[") ||
        StartsWith(segment, "<?")) {
      ++nodes_;
      return After(segment, '>');
    }
    if (!StartsWith(segment, "<!"))
      return After(segment, '>');  // an end tag, or a '<' that libxml2 refuses
    if (!in_entity) {
      const std::string_view keyword = segment.substr(2, NameLength(segment.substr(2)));
      if (keyword == "ENTITY")
        Entity(text, at, segment);
      else if (keyword == "ATTLIST")
        AttributeList(segment);
      else if (keyword == "ELEMENT" || keyword == "NOTATION")
        ++declarations_;
    }
    return DeclarationEnd(segment);
  }

  std::size_t StartTag(std::string_view tag) {
    ++start_tags_;
    ++nodes_;
    std::size_t attributes = 0;
    std::string_view name;
    std::size_t at = 1 + NameLength(tag.substr(1));
    while (at < tag.size() && tag[at] != '>') {
      if (IsNameChar(tag[at])) {
        name = tag.substr(at, NameLength(tag.substr(at)));
        at += name.size();
        continue;
      }
      if (!IsQuote(tag[at])) {
        ++at;
        continue;
      }
      // A value, of the attribute named last: the attribute and the text of
      // its value are nodes.
      const std::size_t close = tag.find(tag[at], at + 1);
      const std::string_view value = tag.substr(at + 1, close == kNone ? kNone : close - at - 1);
      ++attributes;
      exceeded_ = exceeded_ || HoldsEntityReference(value);
      namespaces_ += IsNamespaceDeclaration(name) ? 1 : 0;
      nodes_ += 2;
      name = {};
      at = close == kNone ? tag.size() : close + 1;
    }
    exceeded_ = exceeded_ || attributes > kMaxTagAttributes;
    return std::min(at + 1, tag.size());
  }

  // libxml2 parses a general entity's value as content where the entity is
  // first referred to. A parameter entity's value would be read as further
  // declarations at every reference.
  void Entity(std::string_view text, std::size_t at, std::string_view declaration) {
    ++declarations_;
    std::size_t p = 8;  // "<!ENTITY"
    const auto skip_spaces = [&] {
      while (p < declaration.size() && IsSpace(declaration[p]))
        ++p;
    };
    skip_spaces();
    const bool parameter = p < declaration.size() && declaration[p] == '%';
    if (parameter) {
      ++p;
      skip_spaces();
    }
    p += NameLength(declaration.substr(p));
    skip_spaces();
    if (p == declaration.size() || !IsQuote(declaration[p]))
      return;  // an external entity, which is never read
    if (parameter) {
      exceeded_ = true;
      return;
    }
    // The value runs to its closing quote, past any '<' it holds.
    const std::size_t open = at + p;
    const std::size_t close = text.find(text[open], open + 1);
    const std::string_view value = text.substr(open + 1, close == kNone ? kNone : close - open - 1);
    if (value.find("&#") == kNone)
      Count(value, true);
    else
      Count(ReplacementText(value), true);
  }

  // Each attribute that an ATTLIST declares counts as a declaration: a
  // default value, #REQUIRED or #IMPLIED ends each. A default namespace
  // declaration applies to every element of the type. A default value may
  // not refer to a general entity, as an attribute value may not.
  void AttributeList(std::string_view list) {
    std::size_t definitions = 0;
    std::size_t parentheses = 0;
    for (std::size_t at = 9; at < list.size() && list[at] != '>';) {  // after "<!ATTLIST"
      const char c = list[at];
      if (IsQuote(c)) {
        ++definitions;
        const std::size_t close = list.find(c, at + 1);
        const std::size_t length = close == kNone ? kNone : close - at - 1;
        exceeded_ = exceeded_ || HoldsEntityReference(list.substr(at + 1, length));
        at = close == kNone ? list.size() : close + 1;
      } else if (parentheses == 0 && IsNameChar(c)) {
        const std::string_view name = list.substr(at, NameLength(list.substr(at)));
        namespace_defaults_ += IsNamespaceDeclaration(name) ? 1 : 0;
        at += name.size();
      } else {
        const bool keyword =
            c == '#' && at + 1 < list.size() && (list[at + 1] == 'R' || list[at + 1] == 'I');
        definitions += keyword ? 1 : 0;
        parentheses += c == '(' ? 1 : 0;
        parentheses -= c == ')' && parentheses > 0 ? 1 : 0;
        ++at;
      }
    }
    declarations_ += std::max<std::size_t>(definitions, 1);
  }

  std::size_t nodes_ = 0;
  std::size_t bytes_ = 0;
  std::size_t declarations_ = 0;
  std::size_t namespaces_ = 0;
  std::size_t namespace_defaults_ = 0;
  std::size_t start_tags_ = 0;
  bool exceeded_ = false;
};

}  // namespace

bool WithinXmlBounds(std::string_view document) { return MarkupCount().Count(document, false); }

}  // namespace ramdisk
