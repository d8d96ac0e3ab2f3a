#ifndef RAMDISK_CORE_MACOS_DISKS_NAME_EXCHANGE_H_
#define RAMDISK_CORE_MACOS_DISKS_NAME_EXCHANGE_H_

#include <string>

namespace ramdisk {

// Exchanges the names `from` and `to`, two existing entries of one file
// system, in one step: at no instant is either name missing. 0 on success,
// else the error number: ENOTSUP where the file system cannot exchange
// names. renamex_np(RENAME_SWAP) on macOS; the platform stand-in uses
// renameat2(RENAME_EXCHANGE) on Linux and answers ENOTSUP elsewhere.
int SystemExchangeNames(const std::string& from, const std::string& to);

// For tests: while alive, ExchangeNames fails with `error` on the calling
// thread, whatever the system.
class PretendExchangeFails {
 public:
  explicit PretendExchangeFails(int error) : previous_(Error()) { Error() = error; }
  ~PretendExchangeFails() { Error() = previous_; }
  PretendExchangeFails(const PretendExchangeFails&) = delete;
  PretendExchangeFails& operator=(const PretendExchangeFails&) = delete;

  static int& Error() {
    static thread_local int error = 0;
    return error;
  }

 private:
  int previous_;
};

// SystemExchangeNames, unless a test pretends it fails.
inline int ExchangeNames(const std::string& from, const std::string& to) {
  const int pretended = PretendExchangeFails::Error();
  return pretended != 0 ? pretended : SystemExchangeNames(from, to);
}

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_DISKS_NAME_EXCHANGE_H_
