#pragma once

#include <compare>

namespace keln::passkit {

// The operating-system version the wallet layer reports. Properties of a payment request
// that newer systems introduced are honoured only from the version that has them (15,
// 16, 16.4, 17), so code that fills a request asks current() first. The default is a
// version that has every property; tests set older ones.
struct SystemVersion {
  int majorVersion = 0;
  int minorVersion = 0;
  int patchVersion = 0;

  friend auto operator<=>(const SystemVersion&, const SystemVersion&) = default;

  // The reported version; 17.0.0 unless set. Any thread.
  static SystemVersion current();
  static void setCurrent(SystemVersion version);
};

// Reports `version` while alive, then the version reported before (tests).
class ScopedSystemVersion {
 public:
  explicit ScopedSystemVersion(SystemVersion version) : previous_(SystemVersion::current()) {
    SystemVersion::setCurrent(version);
  }
  ~ScopedSystemVersion() { SystemVersion::setCurrent(previous_); }
  ScopedSystemVersion(const ScopedSystemVersion&) = delete;
  ScopedSystemVersion& operator=(const ScopedSystemVersion&) = delete;

 private:
  SystemVersion previous_;
};

}  // namespace keln::passkit
