#include "core/macos/xml/xml_document.h"

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <climits>
#include <new>
#include <string>

#include "core/common/messages.h"
#include "core/macos/xml/libxml_errors.h"
#include "core/macos/xml/libxml_version.h"
#include "core/macos/xml/xml_bounds.h"
#include "core/macos/xml/xml_tree.h"
#include "core/macos/xml/xpath_number.h"

// Headers that declare the XPath operation limit; whether the loaded library
// has it is asked at run time.
#if LIBXML_VERSION < 20910
#error "libxml2 headers 2.9.10 or later are needed"
#endif

namespace ramdisk {

namespace {

// Also the name in messages::kXmlReadError.
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
  return FormatMessage(messages::kXmlReadError,
                       {std::to_string(line), std::to_string(column), reason});
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
      // which turns an element of many pieces into quadratic copying.
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
  // libxml2 reads a document whose first four bytes look like UTF-16, UCS-4
  // or EBCDIC in that encoding; a property list is UTF-8.
  if (bytes.size() >= 4) {
    const xmlCharEncoding encoding =
        xmlDetectCharEncoding(reinterpret_cast<const unsigned char*>(bytes.data()), 4);
    if (encoding != XML_CHAR_ENCODING_NONE && encoding != XML_CHAR_ENCODING_UTF8)
      throw EXMLReadError(ReadErrorMessage(1, 1, "Document is not UTF-8"));
  }
  // libxml2 2.9 takes time quadratic in the attributes of a start tag, the
  // namespaces in scope and the declarations, and memory for every node,
  // before anything here could stop it.
  if (!WithinXmlBounds(bytes))
    throw EXMLReadError(messages::kMarkupBeyondBounds);

  LibxmlErrorTrap trap;  // nothing libxml2 reports reaches standard error
  {
    LibxmlErrorTrap parser_trap;
    LibxmlNoExternalLoads no_loads;
    std::unique_ptr<xmlParserCtxt, FreeParser> parser(xmlNewParserCtxt());
    if (!parser)
      throw std::bad_alloc();
    parser_trap.Watch(parser.get());
    // No DTD loading, no network: nothing but the bytes given is read. They
    // are read as UTF-8, in which the bounds were counted, whatever encoding
    // their XML declaration names. The parser, with its copy of them, goes
    // before the entities are substituted.
    document_.reset(xmlCtxtReadMemory(parser.get(), bytes.data(), static_cast<int>(bytes.size()),
                                      kSourceName, nullptr,
                                      XML_PARSE_NONET | XML_PARSE_IGNORE_ENC));
    if (!document_ || !parser->wellFormed)
      throw EXMLReadError(ReadErrorMessage(parser_trap.error()));
  }
  if (xmlDocGetRootElement(document_.get()) == nullptr)
    throw EXMLReadError(ReadErrorMessage(1, 1, "Root element is missing"));

  // libxml2 substitutes entities while parsing when asked to, but 2.9 joins
  // the copies' text by reallocating it for every reference, which takes
  // minutes for a few MiB of references, and copies elements without a
  // bound; so the references are kept while parsing and replaced here,
  // within a bound checked first.
  static_assert(kMaxEntityExpansionBytes == 16777216, "the message names the limit");
  if (!SubstituteEntities(document_.get(), kMaxEntityExpansionBytes))
    throw EXMLReadError(messages::kEntityExpansionTooLarge);
  NormalizeText(document_.get());
}

XmlDocument::~XmlDocument() = default;

bool XmlDocument::Evaluate(const std::string& expression, std::string& value) const {
  XPathSession session(*this);
  return session.Evaluate(expression, session.Root(), value);
}

void XPathSession::Free::operator()(xmlXPathContext* context) const noexcept {
  xmlXPathFreeContext(context);
}

// One context serves every evaluation of the session: libxml2 adds the steps
// of each to the context's count, so the limit holds for all of them.
XPathSession::XPathSession(const XmlDocument& document) {
  xmlDoc* doc = document.document_.get();
  std::unique_ptr<xmlXPathContext, FreeXPathContext> context(xmlXPathNewContext(doc));
  if (!context)
    throw std::bad_alloc();
  context->node = xmlDocGetRootElement(doc);
  // Steps on a reverse axis can be quadratic: in a long run of siblings
  // without a key, each one's preceding-sibling::key[1] walks back over all
  // the others. The field exists only from 2.9.10, and the context is
  // allocated by the loaded library at the size it knows.
  if (LibxmlHasXPathOperationLimit())
    context->opLimit = kMaxXPathOperations;
  context_.reset(context.release());
}

XPathSession::~XPathSession() = default;

XPathSession::Node XPathSession::Root() const noexcept {
  return xmlDocGetRootElement(context_->doc);
}

template <typename Use>
bool XPathSession::Run(const std::string& expression, Node from, Use use) {
  LibxmlErrorTrap trap;
  LibxmlDoublingBuffers doubling_buffers;
  // The context node is only read, never changed, by an evaluation.
  context_->node = const_cast<xmlNode*>(from);
  std::unique_ptr<xmlXPathObject, FreeXPathObject> result(
      xmlXPathEval(reinterpret_cast<const xmlChar*>(expression.c_str()), context_.get()));
  if (!result) {
    if (trap.error())
      throw EXPathError(trap.error()->message);
    return false;
  }
  use(result.get());
  return true;
}

std::vector<XPathSession::Node> XPathSession::Select(const std::string& expression, Node from) {
  std::vector<Node> members;
  Run(expression, from, [&members](xmlXPathObject* result) {
    if (result->type != XPATH_NODESET)
      throw EXPathError("Invalid type");
    xmlNodeSet* nodes = result->nodesetval;
    if (nodes == nullptr)
      return;
    xmlXPathNodeSetSort(nodes);
    members.reserve(static_cast<std::size_t>(nodes->nodeNr));
    for (int i = 0; i < nodes->nodeNr; ++i) {
      if (nodes->nodeTab[i]->type != XML_NAMESPACE_DECL)
        members.push_back(nodes->nodeTab[i]);
    }
  });
  return members;
}

bool XPathSession::Evaluate(const std::string& expression, Node from, std::string& value) {
  value.clear();
  return Run(expression, from, [&value](xmlXPathObject* result) { value = XPathString(result); });
}

}  // namespace ramdisk
