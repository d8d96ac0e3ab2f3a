#include "core/macos/xml_tree.h"

#include <libxml/entities.h>

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace ramdisk {

namespace {

bool IsBlankText(const xmlNode* node) {
  if (node->type != XML_TEXT_NODE || node->content == nullptr)
    return false;
  for (const xmlChar* c = node->content; *c != '\0'; ++c) {
    if (*c != ' ' && *c != '\t' && *c != '\r' && *c != '\n')
      return false;
  }
  return true;
}

// Sizes of entity expansions, each worked out once however often it is
// referenced: the cost is that of the declarations, not of the expansion.
class ExpansionCounter {
 public:
  explicit ExpansionCounter(std::size_t limit) : over_(limit + 1) {}

  // The text below the sibling list that starts at `first`.
  std::size_t ListSize(xmlNode* first, int depth) {
    std::size_t total = 0;
    std::vector<xmlNode*> lists{first};
    while (!lists.empty() && total < over_) {
      xmlNode* node = lists.back();
      lists.pop_back();
      for (; node != nullptr && total < over_; node = node->next) {
        switch (node->type) {
          case XML_TEXT_NODE:
          case XML_CDATA_SECTION_NODE: total = Add(total, Length(node->content)); break;
          case XML_ENTITY_REF_NODE: total = Add(total, EntitySize(node, depth)); break;
          case XML_ELEMENT_NODE:
            for (xmlAttr* attribute = node->properties; attribute != nullptr;
                 attribute = attribute->next)
              lists.push_back(attribute->children);
            lists.push_back(node->children);
            break;
          default: break;
        }
      }
    }
    return total;
  }

 private:
  // libxml2 refuses deeper nesting of entities long before this.
  static constexpr int kMaxDepth = 64;

  static std::size_t Length(const xmlChar* text) {
    return text == nullptr ? 0 : static_cast<std::size_t>(xmlStrlen(text));
  }

  std::size_t Add(std::size_t total, std::size_t more) const {
    return std::min(total + std::min(more, over_), over_);
  }

  std::size_t EntitySize(xmlNode* reference, int depth) {
    xmlEntity* entity = xmlGetDocEntity(reference->doc, reference->name);
    if (entity == nullptr)
      return 0;
    auto known = sizes_.find(entity);
    if (known != sizes_.end())
      return known->second;
    if (depth >= kMaxDepth)
      return over_;
    // A reference back into an entity being counted is a loop.
    sizes_[entity] = over_;
    std::size_t size = entity->children != nullptr ? ListSize(entity->children, depth + 1)
                                                   : Length(entity->content);
    sizes_[entity] = size;
    return size;
  }

  std::size_t over_;
  std::unordered_map<const xmlEntity*, std::size_t> sizes_;
};

// Appends the text below `first` (and, with `siblings`, the nodes after
// it) in document order. The entities were checked when the document was
// read, so their nesting is shallow and free of loops.
void AppendText(xmlNode* first, bool siblings, std::string& out) {
  std::vector<xmlNode*> pending{first};
  while (!pending.empty()) {
    xmlNode* node = pending.back();
    pending.pop_back();
    if (node == nullptr)
      continue;
    if (siblings || node != first)
      pending.push_back(node->next);
    switch (node->type) {
      case XML_TEXT_NODE:
      case XML_CDATA_SECTION_NODE:
        if (node->content != nullptr)
          out.append(reinterpret_cast<const char*>(node->content));
        break;
      case XML_ENTITY_REF_NODE:
        if (xmlEntity* entity = xmlGetDocEntity(node->doc, node->name)) {
          if (entity->children != nullptr)
            AppendText(entity->children, true, out);
          else if (entity->content != nullptr)
            out.append(reinterpret_cast<const char*>(entity->content));
        }
        break;
      case XML_ELEMENT_NODE: pending.push_back(node->children); break;
      default: break;
    }
  }
}

}  // namespace

void RemoveBlankText(xmlDoc* document) {
  std::vector<xmlNode*> lists{document->children};
  while (!lists.empty()) {
    xmlNode* child = lists.back();
    lists.pop_back();
    while (child != nullptr) {
      xmlNode* next = child->next;
      if (IsBlankText(child)) {
        xmlUnlinkNode(child);
        xmlFreeNode(child);
      } else if (child->type == XML_ELEMENT_NODE) {
        lists.push_back(child->children);
      }
      child = next;
    }
  }
}

std::size_t ExpandedTextSize(xmlDoc* document, std::size_t limit) {
  return ExpansionCounter(limit).ListSize(document->children, 0);
}

std::string StringValue(xmlNode* node) {
  std::string value;
  switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_DOCUMENT_NODE:
    case XML_ATTRIBUTE_NODE: AppendText(node->children, true, value); return value;
    case XML_ENTITY_REF_NODE: AppendText(node, false, value); return value;
    case XML_NAMESPACE_DECL:
      // A namespace node in a node-set is an xmlNs in disguise.
      return XmlText(reinterpret_cast<xmlNs*>(node)->href);
    default: return XmlText(node->content);
  }
}

std::string XmlText(const xmlChar* text) {
  return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text));
}

}  // namespace ramdisk
