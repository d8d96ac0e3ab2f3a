#include "core/macos/xml/xml_tree.h"

#include <libxml/entities.h>

#include <algorithm>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

namespace ramdisk {

namespace {

bool IsXmlSpace(xmlChar c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsText(const xmlNode* node) {
  return node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE;
}

bool IsBlankText(const xmlNode* node) {
  if (!IsText(node))
    return false;
  for (const xmlChar* c = node->content; c != nullptr && *c != '\0'; ++c) {
    if (!IsXmlSpace(*c))
      return false;
  }
  return true;
}

std::size_t Length(const xmlChar* text) {
  return text == nullptr ? 0 : static_cast<std::size_t>(xmlStrlen(text));
}

xmlEntity* EntityOf(xmlNode* reference) { return xmlGetDocEntity(reference->doc, reference->name); }

// The cost of the copies that substitution makes, each entity's worked out
// once however often it is referenced: the cost of counting is that of the
// declarations, not of the expansion.
class SubstitutionCost {
 public:
  explicit SubstitutionCost(std::size_t limit) : over_(limit + 1) {}

  // The copies made for the references in the list that starts at `first`
  // and below it; with `copied`, the nodes of the list count too, as the
  // copies of an entity's content that they will be.
  std::size_t ListCost(xmlNode* first, bool copied, int depth) {
    std::size_t total = 0;
    std::vector<xmlNode*> lists{first};
    while (!lists.empty() && total < over_) {
      xmlNode* node = lists.back();
      lists.pop_back();
      for (; node != nullptr && total < over_; node = node->next) {
        if (node->type == XML_ENTITY_REF_NODE) {
          ++references_;
          // A copy makes the reference node as well, before replacing it:
          // without counting it, thousands of references to an empty
          // entity would cost nothing, however often they were copied.
          total = Add(Add(total, copied ? kNodeBytes : 0), EntityCost(node, depth));
          continue;
        }
        if (copied)
          total = Add(total, kNodeBytes + Length(node->content));
        if (node->type != XML_ELEMENT_NODE)
          continue;
        for (xmlNs* ns = node->nsDef; copied && ns != nullptr; ns = ns->next)
          total = Add(total, kNodeBytes + Length(ns->href));
        for (xmlAttr* attribute = node->properties; attribute != nullptr;
             attribute = attribute->next) {
          if (copied)
            total = Add(total, kNodeBytes);
          lists.push_back(attribute->children);
        }
        lists.push_back(node->children);
      }
    }
    return total;
  }

  long references() const { return references_; }

 private:
  // libxml2 refuses deeper nesting of entities long before this.
  static constexpr int kMaxDepth = 64;

  std::size_t Add(std::size_t total, std::size_t more) const {
    return std::min(total + std::min(more, over_), over_);
  }

  std::size_t EntityCost(xmlNode* reference, int depth) {
    xmlEntity* entity = EntityOf(reference);
    if (entity == nullptr)
      return 0;
    auto known = costs_.find(entity);
    if (known != costs_.end())
      return known->second;
    if (depth >= kMaxDepth)
      return over_;
    // A reference back into an entity being counted is a loop.
    costs_[entity] = over_;
    std::size_t cost = 0;
    if (entity->children != nullptr)
      cost = ListCost(entity->children, true, depth + 1);
    else if (Length(entity->content) > 0)
      cost = kNodeBytes + Length(entity->content);
    costs_[entity] = cost;
    return cost;
  }

  std::size_t over_;
  long references_ = 0;
  std::unordered_map<const xmlEntity*, std::size_t> costs_;
};

// A copy of what `entity` holds, as a list of siblings without a parent;
// null when it holds nothing.
xmlNode* CopyContent(xmlDoc* document, xmlEntity* entity) {
  xmlNode* copy = nullptr;
  if (entity == nullptr)
    return nullptr;
  if (entity->children != nullptr)
    copy = xmlDocCopyNodeList(document, entity->children);
  else if (Length(entity->content) > 0)
    copy = xmlNewDocText(document, entity->content);
  else
    return nullptr;
  if (copy == nullptr)
    throw std::bad_alloc();
  return copy;
}

// Puts the siblings from `first` (none when null) where `node` is, and
// frees `node`. libxml2's own insertions join text by reallocating it for
// every node, which many references would make quadratic.
void Replace(xmlNode* node, xmlNode* first) {
  xmlNode* parent = node->parent;
  xmlNode* before = node->prev;
  xmlNode* after = node->next;
  xmlNode* last = before;
  for (xmlNode* copy = first; copy != nullptr; copy = copy->next) {
    copy->parent = parent;
    last = copy;
  }
  if (first != nullptr)
    first->prev = before;
  (before != nullptr ? before->next : parent->children) = first != nullptr ? first : after;
  if (last != nullptr)
    last->next = after;
  (after != nullptr ? after->prev : parent->last) = last;
  node->parent = node->prev = node->next = nullptr;
  xmlFreeNode(node);
}

// Makes `node`, when it is text or CDATA, hold the text of the text and
// CDATA siblings right after it too, and frees those: XPath sees them all
// as one text node.
void JoinFollowingText(xmlNode* node) {
  if (!IsText(node) || node->next == nullptr || !IsText(node->next))
    return;
  std::string text = XmlText(node->content);
  while (node->next != nullptr && IsText(node->next)) {
    xmlNode* next = node->next;
    text += XmlText(next->content);
    xmlUnlinkNode(next);
    xmlFreeNode(next);
  }
  xmlNodeSetContentLen(node, reinterpret_cast<const xmlChar*>(text.data()),
                       static_cast<int>(text.size()));
}

// Appends the text below the siblings from `first` in document order.
void AppendText(xmlNode* first, std::string& out) {
  std::vector<xmlNode*> pending{first};
  while (!pending.empty()) {
    xmlNode* node = pending.back();
    pending.pop_back();
    if (node == nullptr)
      continue;
    pending.push_back(node->next);
    if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE)
      out += XmlText(node->content);
    else if (node->type == XML_ELEMENT_NODE)
      pending.push_back(node->children);
  }
}

}  // namespace

bool SubstituteEntities(xmlDoc* document, std::size_t limit) {
  SubstitutionCost cost(limit);
  if (cost.ListCost(document->children, false, 0) > limit)
    return false;
  if (cost.references() == 0)
    return true;
  // Copies are walked in turn, so references inside them are replaced too;
  // the cost check has ruled out loops.
  std::vector<xmlNode*> lists{document->children};
  while (!lists.empty()) {
    xmlNode* node = lists.back();
    lists.pop_back();
    while (node != nullptr) {
      if (node->type == XML_ENTITY_REF_NODE) {
        xmlNode* after = node->next;
        xmlNode* copy = CopyContent(document, EntityOf(node));
        Replace(node, copy);
        node = copy != nullptr ? copy : after;
        continue;
      }
      if (node->type == XML_ELEMENT_NODE)
        lists.push_back(node->children);
      node = node->next;
    }
  }
  return true;
}

void NormalizeText(xmlDoc* document) {
  // Each list with whether it is an attribute's value.
  std::vector<std::pair<xmlNode*, bool>> lists{{document->children, false}};
  while (!lists.empty()) {
    auto [child, in_attribute] = lists.back();
    lists.pop_back();
    while (child != nullptr) {
      JoinFollowingText(child);
      xmlNode* next = child->next;
      if (!in_attribute && IsBlankText(child)) {
        xmlUnlinkNode(child);
        xmlFreeNode(child);
      } else if (child->type == XML_ELEMENT_NODE) {
        for (xmlAttr* attribute = child->properties; attribute != nullptr;
             attribute = attribute->next)
          lists.emplace_back(attribute->children, true);
        lists.emplace_back(child->children, false);
      }
      child = next;
    }
  }
}

std::string StringValue(xmlNode* node) {
  std::string value;
  switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_DOCUMENT_NODE:
    case XML_ATTRIBUTE_NODE: AppendText(node->children, value); return value;
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
