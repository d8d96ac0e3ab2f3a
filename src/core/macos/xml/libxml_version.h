#ifndef RAMDISK_CORE_MACOS_XML_LIBXML_VERSION_H_
#define RAMDISK_CORE_MACOS_XML_LIBXML_VERSION_H_

namespace ramdisk {

// What the libxml2 that the process has loaded can do. The answers come from
// that library's own version (xmlParserVersion), never from the headers the
// program was compiled with: a Mac builds against its SDK and runs with the
// system's /usr/lib/libxml2.2.dylib, which on older releases is older than
// the SDK's headers, so a structure field or behaviour they describe may be
// missing at run time.

// The version as libxml2 numbers it, 20904 for 2.9.4; 0 when the library's
// version text does not start with digits.
int LibxmlVersion();

// xmlXPathContext has the operation limit (opLimit, 2.9.10 and later).
// Without it an XPath evaluation runs unbounded.
bool LibxmlHasXPathOperationLimit();

// Buffers grow by just what each append needs unless told to double their
// size (before 2.11).
bool LibxmlGrowsBuffersPieceByPiece();

// For tests: while alive, the calling thread's answers above are those of
// release `version` (numbered as LibxmlVersion() numbers it). The operation
// limit is still used only where the loaded library has it. Scopes nest.
class PretendLibxmlVersion {
 public:
  explicit PretendLibxmlVersion(int version);
  ~PretendLibxmlVersion();
  PretendLibxmlVersion(const PretendLibxmlVersion&) = delete;
  PretendLibxmlVersion& operator=(const PretendLibxmlVersion&) = delete;

 private:
  int saved_;
};

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_XML_LIBXML_VERSION_H_
