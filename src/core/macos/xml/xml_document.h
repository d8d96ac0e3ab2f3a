#ifndef RAMDISK_CORE_MACOS_XML_XML_DOCUMENT_H_
#define RAMDISK_CORE_MACOS_XML_XML_DOCUMENT_H_

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/exception.h"

struct _xmlDoc;
struct _xmlNode;
struct _xmlXPathContext;

namespace ramdisk {

// The bytes given to XmlDocument are not a well-formed document, or expand
// beyond what it accepts.
class EXMLReadError : public Exception {
 public:
  using Exception::Exception;
};

// The XPath evaluator rejected an expression; the message is its own.
class EXPathError : public Exception {
 public:
  using Exception::Exception;
};

// A parsed, read-only XML document tree. Neither parsing nor evaluation
// opens any file or URL, and libxml2 writes nothing to standard error.
class XmlDocument {
 public:
  // The most memory that substituting a document's entity references may
  // take: the text of the copies, and the size of a node for each node.
  static constexpr std::size_t kMaxEntityExpansionBytes = 16 * 1024 * 1024;
  // The most steps (nodes visited, nodes merged, operations run) that one
  // evaluation may take: some tens of milliseconds of work. A property list
  // from the image tool needs fewer than a hundred.
  static constexpr unsigned long kMaxXPathOperations = 10'000'000;

  // Parses `bytes` as one non-validating document named "stream:". A
  // DOCTYPE is accepted but no external DTD or entity is read. Entity
  // references are replaced by what their entities hold, so that text and
  // elements from an entity are part of the tree; then each run of
  // adjacent text and CDATA sections becomes one text node, dropped when it
  // holds only white space. Raises
  // EXMLReadError with "In 'stream:' (line L pos P): <reason>" for a
  // document that is not well-formed ("Root element is missing" when the
  // input ends before any element), and with "In 'stream:': Entity
  // references expand to more than 16777216 bytes" when substituting them
  // would take more than kMaxEntityExpansionBytes.
  explicit XmlDocument(std::string_view bytes);
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Evaluates the XPath 1.0 `expression` with the root element as context
  // node, no namespace bindings and no variables, and stores the result's
  // XPath string() in `value`. Returns false, with `value` empty, when the
  // evaluator gives no result. Raises EXPathError for an expression that
  // cannot be compiled or evaluated, and with "Operation limit exceeded"
  // for one that takes more than kMaxXPathOperations steps; `value` is then
  // empty. The limit needs a loaded libxml2 of 2.9.10 or later
  // (LibxmlHasXPathOperationLimit); with an older one, as on the oldest
  // macOS releases, an evaluation is unbounded.
  bool Evaluate(const std::string& expression, std::string& value) const;

 private:
  friend class XPathSession;
  struct Free {
    void operator()(_xmlDoc* document) const noexcept;
  };
  std::unique_ptr<_xmlDoc, Free> document_;
};

// Evaluations over one XmlDocument, each from a node of the caller's
// choosing, that share one budget of XmlDocument::kMaxXPathOperations steps:
// a walk that runs a few queries from every member of a long node-set costs
// no more in all than one evaluation may. Once the budget is spent, every
// further evaluation raises EXPathError "Operation limit exceeded". Errors
// are trapped and raised as XmlDocument::Evaluate raises them. A session
// and the nodes it hands out must not outlive the document.
class XPathSession {
 public:
  // A node of the document.
  using Node = const _xmlNode*;

  // The steps that all evaluations of a session may take together.
  static constexpr unsigned long kMaxXPathOperations = XmlDocument::kMaxXPathOperations;

  explicit XPathSession(const XmlDocument& document);
  ~XPathSession();
  XPathSession(const XPathSession&) = delete;
  XPathSession& operator=(const XPathSession&) = delete;

  // The document's root element.
  Node Root() const noexcept;

  // The nodes of the node-set that `expression` selects with `from` as
  // context node, in document order; none when the evaluator gives no
  // result. Namespace nodes, which live no longer than one evaluation, are
  // left out. Raises EXPathError "Invalid type" for a result of another type.
  std::vector<Node> Select(const std::string& expression, Node from);

  // XmlDocument::Evaluate with `from` as context node.
  bool Evaluate(const std::string& expression, Node from, std::string& value);

 private:
  // Evaluates `expression` from `from` and hands the result to `use`, both
  // with libxml2's reports trapped. False when the evaluator gave no result.
  template <typename Use>
  bool Run(const std::string& expression, Node from, Use use);

  struct Free {
    void operator()(_xmlXPathContext* context) const noexcept;
  };
  std::unique_ptr<_xmlXPathContext, Free> context_;
};

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_XML_XML_DOCUMENT_H_
