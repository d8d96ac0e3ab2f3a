#include "core/macos/xml/libxml_errors.h"

#include <libxml/xmlerror.h>

#include "core/macos/xml/libxml_version.h"

namespace ramdisk {

namespace {

// The error argument of a structured handler became const in libxml2 2.12.
#if LIBXML_VERSION >= 21200
using ErrorArg = const xmlError*;
#else
using ErrorArg = xmlError*;
#endif

thread_local LibxmlErrorTrap* active_trap = nullptr;

// Line ends inside a message ("...encoding !\nBytes: 0xFF ...") become
// single spaces; white space at either end goes.
std::string OneLine(const char* text) {
  std::string line;
  bool pending_space = false;
  for (const char* p = text; p != nullptr && *p != '\0'; ++p) {
    bool space = *p == ' ' || *p == '\t' || *p == '\n' || *p == '\r';
    if (space) {
      pending_space = !line.empty();
      continue;
    }
    if (pending_space)
      line += ' ';
    pending_space = false;
    line += *p;
  }
  return line;
}

void IgnoreMessage(void*, const char*, ...) {}

}  // namespace

// The C callbacks, with access to the trap's internals.
struct LibxmlErrorRouting {
  static void OnError(void*, ErrorArg error) {
    if (active_trap != nullptr && error != nullptr)
      active_trap->Record(*error);
  }
};

LibxmlErrorTrap::LibxmlErrorTrap()
    : outer_(active_trap),
      saved_structured_(xmlStructuredError),
      saved_structured_context_(xmlStructuredErrorContext),
      saved_generic_(xmlGenericError),
      saved_generic_context_(xmlGenericErrorContext) {
  active_trap = this;
  xmlSetStructuredErrorFunc(nullptr, &LibxmlErrorRouting::OnError);
  // Some messages bypass the structured channel.
  xmlSetGenericErrorFunc(nullptr, &IgnoreMessage);
}

LibxmlErrorTrap::~LibxmlErrorTrap() {
  xmlSetGenericErrorFunc(saved_generic_context_, saved_generic_);
  xmlSetStructuredErrorFunc(saved_structured_context_, saved_structured_);
  active_trap = outer_;
}

void LibxmlErrorTrap::Watch(xmlParserCtxt* parser) {
  parser_ = parser;
  // A parser's own handler takes precedence over the thread's.
  parser->sax->serror = &LibxmlErrorRouting::OnError;
}

void LibxmlErrorTrap::Record(const xmlError& error) {
  LibxmlError report;
  report.code = error.code;
  report.level = error.level;
  report.line = error.line;
  report.column = error.int2;
  report.message = OneLine(error.message);
  report.in_document = error.file != nullptr;
  report.at_end_of_input = parser_ != nullptr && error.ctxt == parser_ &&
                           parser_->input != nullptr && parser_->input->cur >= parser_->input->end;
  bool better = !error_ || report.level > error_->level ||
                (report.level == error_->level && report.in_document && !error_->in_document);
  if (better)
    error_ = std::move(report);
}

namespace {

xmlParserInputPtr RefuseLoad(const char*, const char*, xmlParserCtxtPtr) { return nullptr; }

}  // namespace

LibxmlNoExternalLoads::LibxmlNoExternalLoads() : saved_(xmlGetExternalEntityLoader()) {
  xmlSetExternalEntityLoader(&RefuseLoad);
}

LibxmlNoExternalLoads::~LibxmlNoExternalLoads() { xmlSetExternalEntityLoader(saved_); }

// Later releases grow geometrically on their own and deprecate the setting,
// which newer headers then mark; the loaded library decides whether it is
// needed.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

LibxmlDoublingBuffers::LibxmlDoublingBuffers() : active_(LibxmlGrowsBuffersPieceByPiece()) {
  if (!active_)
    return;
  saved_ = xmlGetBufferAllocationScheme();
  xmlSetBufferAllocationScheme(XML_BUFFER_ALLOC_DOUBLEIT);
}

LibxmlDoublingBuffers::~LibxmlDoublingBuffers() {
  if (active_)
    xmlSetBufferAllocationScheme(saved_);
}

#pragma GCC diagnostic pop

}  // namespace ramdisk
