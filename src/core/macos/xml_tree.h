#ifndef RAMDISK_CORE_MACOS_XML_TREE_H_
#define RAMDISK_CORE_MACOS_XML_TREE_H_

#include <libxml/tree.h>

#include <cstddef>
#include <string>

namespace ramdisk {

// Removes every text node that holds nothing but XML white space (space,
// tab, carriage return, line feed) from the elements of `document`, leaf
// elements included. Attribute values, CDATA sections and the replacement
// text of entities are left as they are.
void RemoveBlankText(xmlDoc* document);

// The number of bytes of text (text and CDATA nodes, attribute values) in
// `document`, with every entity reference counted as the text it expands
// to, the way XPath's string-value expands it. Counting stops once the
// total passes `limit`, and then some value above `limit` is returned, so
// the cost stays proportional to the size of the tree and its entity
// declarations however far the references would expand. References nested
// deeper than any well-formed document allows count as above `limit`.
std::size_t ExpandedTextSize(xmlDoc* document, std::size_t limit);

// The XPath string-value of `node`: for an element or a document, all text
// below it in document order (CDATA included, entity references expanded);
// for an attribute its value; for other nodes their content. Linear in the
// size of the result, so that a document ExpandedTextSize accepted cannot
// make it expensive.
std::string StringValue(xmlNode* node);

// A libxml2 string as bytes; empty for null.
std::string XmlText(const xmlChar* text);

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_XML_TREE_H_
