#ifndef RAMDISK_CORE_MACOS_XML_LIBXML_ERRORS_H_
#define RAMDISK_CORE_MACOS_XML_LIBXML_ERRORS_H_

#include <libxml/parser.h>

#include <optional>
#include <string>

namespace ramdisk {

// One error as libxml2 reported it, its message made one line.
struct LibxmlError {
  int code = 0;
  int level = 0;
  int line = 0;
  int column = 0;
  std::string message;
  // Reported against the document itself rather than inside the
  // replacement text of an entity (whose positions count from its start).
  bool in_document = false;
  // The watched parser had consumed its whole input when it reported this.
  bool at_end_of_input = false;
};

// While alive, everything libxml2 reports on this thread (parser and XPath
// errors, warnings, loose messages) comes here instead of standard error.
// The handlers it replaces are restored when it is destroyed; traps nest.
class LibxmlErrorTrap {
 public:
  LibxmlErrorTrap();
  ~LibxmlErrorTrap();
  LibxmlErrorTrap(const LibxmlErrorTrap&) = delete;
  LibxmlErrorTrap& operator=(const LibxmlErrorTrap&) = delete;

  // Routes the reports of `parser` here too; it must outlive the trap's use.
  void Watch(xmlParserCtxt* parser);

  // The report that best explains a failure: the most severe one, the first
  // of those, preferring one made against the document itself. None when
  // nothing was reported.
  const std::optional<LibxmlError>& error() const { return error_; }

 private:
  void Record(const xmlError& error);

  LibxmlErrorTrap* outer_;
  xmlParserCtxt* parser_ = nullptr;
  xmlStructuredErrorFunc saved_structured_;
  void* saved_structured_context_;
  xmlGenericErrorFunc saved_generic_;
  void* saved_generic_context_;
  std::optional<LibxmlError> error_;

  friend struct LibxmlErrorRouting;
};

// While alive, libxml2 opens no external entity, DTD or URL: every load
// through the external entity loader is refused. The loader is a process-wide
// setting; the one it replaces is restored when it is destroyed.
class LibxmlNoExternalLoads {
 public:
  LibxmlNoExternalLoads();
  ~LibxmlNoExternalLoads();
  LibxmlNoExternalLoads(const LibxmlNoExternalLoads&) = delete;
  LibxmlNoExternalLoads& operator=(const LibxmlNoExternalLoads&) = delete;

 private:
  xmlExternalEntityLoader saved_;
};

// While alive, the buffers that libxml2 creates on this thread double their
// size whenever they run full. Before 2.11 they grow by just what each
// append needs, so a string-value assembled from many pieces (an element
// holding thousands of entity references, say) costs time quadratic in its
// length wherever realloc moves the block. Does nothing where the loaded
// library grows its buffers geometrically anyway
// (LibxmlGrowsBuffersPieceByPiece). The scheme it replaces is restored when
// it is destroyed.
class LibxmlDoublingBuffers {
 public:
  LibxmlDoublingBuffers();
  ~LibxmlDoublingBuffers();
  LibxmlDoublingBuffers(const LibxmlDoublingBuffers&) = delete;
  LibxmlDoublingBuffers& operator=(const LibxmlDoublingBuffers&) = delete;

 private:
  bool active_;
  xmlBufferAllocationScheme saved_{};
};

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_XML_LIBXML_ERRORS_H_
