#ifndef RAMDISK_CORE_MACOS_XML_XML_TREE_H_
#define RAMDISK_CORE_MACOS_XML_XML_TREE_H_

#include <libxml/tree.h>

#include <cstddef>
#include <string>

namespace ramdisk {

// What SubstituteEntities counts for each node it makes, beside its text.
constexpr std::size_t kNodeBytes = sizeof(xmlNode);

// Replaces every entity reference in the elements of `document` by a copy
// of what the entity holds, its own references replaced in turn, so that
// text and elements that come from an entity are children of the element
// that refers to it, as XPath 1.0 sees the document. Attribute values hold
// no references: WithinXmlBounds refuses them. A reference to an entity that holds nothing, or to
// an external one (which is never read), is removed. Returns false, leaving the tree untouched,
// when the copies would take more than `limit` bytes: their text, and
// kNodeBytes for each node they make, the references among them included,
// although those are replaced in turn. That check costs time in proportion
// to the tree and the entity declarations, however far the references
// would expand, and the copying no more than `limit` allows.
bool SubstituteEntities(xmlDoc* document, std::size_t limit);

// Joins each run of adjacent text nodes and CDATA sections into one node,
// in elements and attribute values alike, then removes every such node of
// an element that holds nothing but XML white space (space, tab, carriage
// return, line feed), leaf elements included: white space between two
// pieces of other text stays. Attribute values keep their text.
void NormalizeText(xmlDoc* document);

// The XPath string-value of `node`: for an element or a document, all text
// below it in document order (CDATA included); for an attribute its value;
// for other nodes their content. Linear in the size of the result, which
// libxml2 before 2.11 is not: it grows its buffer by each piece of text.
std::string StringValue(xmlNode* node);

// A libxml2 string as bytes; empty for null.
std::string XmlText(const xmlChar* text);

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_XML_XML_TREE_H_
