#include "core/macos/xml_document.h"

#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <climits>
#include <new>
#include <string>

#include "core/macos/libxml_errors.h"
#include "core/macos/libxml_version.h"
#include "core/macos/xml_tree.h"
#include "core/macos/xpath_number.h"

// Headers that declare the XPath operation limit; whether the loaded library
// has it is asked at run time.
#if LIBXML_VERSION < 20910
#error "libxml2 headers 2.9.10 or later are needed"
#endif

namespace ramdisk {

namespace {

constexpr char kSourceName[] = "stream:";

struct FreeParser {
  void operator()(xmlParserCtxt* parser) const noexcept { xmlFreeParserCtxt(parser); }
};
struct FreeXPathContext {
  void operator()(xmlXPathContext* context) const noexcept { xmlXPathFreeContext(context); }
};
struct FreeXPathObject {
  void operator()(xmlXPathObject* object) const noexcept { xmlXPathFreeObject(object); }
};
struct FreeXmlString {
  void operator()(xmlChar* text) const noexcept { xmlFree(text); }
};

std::string ReadErrorMessage(int line, int column, const std::string& reason) {
  return std::string("In '") + kSourceName + "' (line " + std::to_string(line) + " pos " +
         std::to_string(column) + "): " + reason;
}

std::string ReadErrorMessage(const std::optional<LibxmlError>& error) {
  if (!error)
    return ReadErrorMessage(0, 0, "Document is not well-formed");
  // libxml2 reports both "Document is empty" and a prolog with nothing after
  // it with this code; only at the end of the input is the root missing.
  if (error->code == XML_ERR_DOCUMENT_EMPTY && error->at_end_of_input)
    return ReadErrorMessage(error->line, error->column, "Root element is missing");
  return ReadErrorMessage(error->line, error->column, error->message);
}

std::string XPathString(xmlXPathObject* result) {
  switch (result->type) {
    case XPATH_NUMBER:
      // libxml2's own conversion uses exponents and 15 digits.
      return XPathNumberToString(result->floatval);
    case XPATH_BOOLEAN: return result->boolval ? "true" : "false";
    case XPATH_STRING: return XmlText(result->stringval);
    case XPATH_NODESET: {
      // The string-value of the first node in document order, worked out
      // here: libxml2 (before 2.11) grows its buffer by each piece of text,
      // which turns many entity expansions into quadratic copying.
      xmlNodeSet* nodes = result->nodesetval;
      if (nodes == nullptr || nodes->nodeNr == 0)
        return "";
      xmlXPathNodeSetSort(nodes);
      return StringValue(nodes->nodeTab[0]);
    }
    default: {
      std::unique_ptr<xmlChar, FreeXmlString> text(xmlXPathCastToString(result));
      if (!text)
        throw std::bad_alloc();
      return XmlText(text.get());
    }
  }
}

}  // namespace

void XmlDocument::Free::operator()(_xmlDoc* document) const noexcept { xmlFreeDoc(document); }

XmlDocument::XmlDocument(std::string_view bytes) {
  xmlInitParser();
  if (bytes.size() > static_cast<std::size_t>(INT_MAX))
    throw EXMLReadError(ReadErrorMessage(1, 1, "Document is too large"));

  LibxmlErrorTrap trap;
  LibxmlNoExternalLoads no_loads;
  std::unique_ptr<xmlParserCtxt, FreeParser> parser(xmlNewParserCtxt());
  if (!parser)
    throw std::bad_alloc();
  trap.Watch(parser.get());
  // No DTD loading, no entity substitution, no network: nothing but the
  // bytes given is read.
  document_.reset(xmlCtxtReadMemory(parser.get(), bytes.data(), static_cast<int>(bytes.size()),
                                    kSourceName, nullptr, XML_PARSE_NONET));
  if (!document_ || !parser->wellFormed)
    throw EXMLReadError(ReadErrorMessage(trap.error()));
  if (xmlDocGetRootElement(document_.get()) == nullptr)
    throw EXMLReadError(ReadErrorMessage(1, 1, "Root element is missing"));

  RemoveBlankText(document_.get());
  // libxml2 checks amplification while parsing, but a small document whose
  // references expand to gigabytes still gets through, and XPath would
  // expand them on every string conversion.
  if (ExpandedTextSize(document_.get(), kMaxExpandedTextBytes) > kMaxExpandedTextBytes)
    throw EXMLReadError(std::string("In '") + kSourceName +
                        "': Entity references expand to more than " +
                        std::to_string(kMaxExpandedTextBytes) + " bytes");
}

XmlDocument::~XmlDocument() = default;

bool XmlDocument::Evaluate(const std::string& expression, std::string& value) const {
  value.clear();
  LibxmlErrorTrap trap;
  LibxmlDoublingBuffers doubling_buffers;
  std::unique_ptr<xmlXPathContext, FreeXPathContext> context(xmlXPathNewContext(document_.get()));
  if (!context)
    throw std::bad_alloc();
  context->node = xmlDocGetRootElement(document_.get());
  // Steps on a reverse axis can be quadratic: in a long run of siblings
  // without a key, each one's preceding-sibling::key[1] walks back over all
  // the others. The field exists only from 2.9.10, and the context is
  // allocated by the loaded library at the size it knows.
  if (LibxmlHasXPathOperationLimit())
    context->opLimit = kMaxXPathOperations;
  std::unique_ptr<xmlXPathObject, FreeXPathObject> result(
      xmlXPathEval(reinterpret_cast<const xmlChar*>(expression.c_str()), context.get()));
  if (!result) {
    if (trap.error())
      throw EXPathError(trap.error()->message);
    return false;
  }
  value = XPathString(result.get());
  return true;
}

}  // namespace ramdisk
