#include "core/macos/xml/libxml_version.h"

#include <libxml/parser.h>

namespace ramdisk {

namespace {

constexpr int kFirstWithOperationLimit = 20910;
constexpr int kFirstGrowingGeometrically = 21100;

thread_local int pretended_version = 0;

int LoadedVersion() {
  // The text is LIBXML_VERSION_STRING of the library itself ("20914"),
  // possibly followed by a suffix of the builder's ("-GITv2.9.14").
  static const int version = [] {
    int number = 0;
    for (const char* p = xmlParserVersion; p != nullptr && *p >= '0' && *p <= '9'; ++p) {
      if (number > 100'000'000)
        return 0;
      number = number * 10 + (*p - '0');
    }
    return number;
  }();
  return version;
}

}  // namespace

int LibxmlVersion() { return pretended_version != 0 ? pretended_version : LoadedVersion(); }

bool LibxmlHasXPathOperationLimit() {
  // A field written past the end of an older library's structure would
  // overwrite the heap, whatever a test pretends.
  return LibxmlVersion() >= kFirstWithOperationLimit && LoadedVersion() >= kFirstWithOperationLimit;
}

bool LibxmlGrowsBuffersPieceByPiece() { return LibxmlVersion() < kFirstGrowingGeometrically; }

PretendLibxmlVersion::PretendLibxmlVersion(int version) : saved_(pretended_version) {
  pretended_version = version;
}

PretendLibxmlVersion::~PretendLibxmlVersion() { pretended_version = saved_; }

}  // namespace ramdisk
