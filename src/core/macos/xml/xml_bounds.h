#ifndef RAMDISK_CORE_MACOS_XML_XML_BOUNDS_H_
#define RAMDISK_CORE_MACOS_XML_XML_BOUNDS_H_

#include <cstddef>
#include <string_view>

namespace ramdisk {

// What a document may hold for libxml2 to read it. libxml2 compares each
// attribute of a start tag, and each namespace in scope, with all the
// others, stores every declaration of the DOCTYPE, and builds a node for
// every piece of markup; the releases that older macOS systems ship take
// minutes, or hundreds of MiB, for a few MiB of such markup. A property list
// has one attribute, no namespace declaration and no declarations in its
// DOCTYPE; a listing of a thousand RAM disks makes some 200,000 nodes from
// 2 MiB of text, 26 MiB as counted here. Within these bounds the tree and
// the copies that substituting entities makes stay below 64 MiB.

// Attributes of one start tag, namespace declarations included.
inline constexpr std::size_t kMaxTagAttributes = 32;
// Namespace declarations in all; one that an ATTLIST gives as a default
// counts once for every start tag.
inline constexpr std::size_t kMaxNamespaceDeclarations = 32;
// Declarations in the DOCTYPE (ENTITY, ELEMENT, NOTATION; an ATTLIST counts
// once for each attribute it declares).
inline constexpr std::size_t kMaxDeclarations = 32;
// What the tree of a document may take: kNodeBytes for each element,
// attribute, run of text, CDATA section, comment, processing instruction and
// entity reference, those of the entities' replacement texts included, and
// the bytes of the document and of those texts, which the nodes' text is
// copied from.
inline constexpr std::size_t kMaxTreeBytes = 30 * 1024 * 1024;

// Whether `document`, read as UTF-8, stays within the bounds above,
// declares no parameter entity with a value of its own, whose text libxml2
// would read as further declarations each time it is referred to, and
// refers to no general entity in an attribute value or in an ATTLIST's
// default value, where libxml2 expands the reference in full to check it
// (an entity whose value refers ten times to one that does the same, six
// deep, is 150 MB); predefined entities and character references are
// text. Takes time in proportion to the document, and counts
// conservatively: whatever libxml2 would take for a start tag, a comment or
// text is counted, also where it lies inside a comment or a literal, or
// after a fault that libxml2 reports but reads on from.
bool WithinXmlBounds(std::string_view document);

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_XML_XML_BOUNDS_H_
