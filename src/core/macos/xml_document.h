#ifndef RAMDISK_CORE_MACOS_XML_DOCUMENT_H_
#define RAMDISK_CORE_MACOS_XML_DOCUMENT_H_

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "core/common/exception.h"

struct _xmlDoc;

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
  // The most text a document may hold once its entity references are
  // expanded.
  static constexpr std::size_t kMaxExpandedTextBytes = 16 * 1024 * 1024;
  // The most steps (nodes visited, nodes merged, operations run) that one
  // evaluation may take: some tens of milliseconds of work. A property list
  // from the image tool needs fewer than a hundred.
  static constexpr unsigned long kMaxXPathOperations = 10'000'000;

  // Parses `bytes` as one non-validating document named "stream:". A
  // DOCTYPE is accepted but no external DTD or entity is read, and entity
  // references are kept, not substituted. Text nodes holding only white
  // space are dropped everywhere. Raises EXMLReadError with
  // "In 'stream:' (line L pos P): <reason>" for a document that is not
  // well-formed ("Root element is missing" when the input ends before any
  // element), and with "In 'stream:': Entity references expand to more
  // than 16777216 bytes" when expanding them would exceed
  // kMaxExpandedTextBytes.
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
  struct Free {
    void operator()(_xmlDoc* document) const noexcept;
  };
  std::unique_ptr<_xmlDoc, Free> document_;
};

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_XML_DOCUMENT_H_
