#include "passkit/SystemVersion.h"

#include <mutex>

namespace keln::passkit {
namespace {

std::mutex versionMutex;
SystemVersion reportedVersion{17, 0, 0};  // guarded by versionMutex

}  // namespace

SystemVersion SystemVersion::current() {
  std::lock_guard<std::mutex> lock(versionMutex);
  return reportedVersion;
}

void SystemVersion::setCurrent(SystemVersion version) {
  std::lock_guard<std::mutex> lock(versionMutex);
  reportedVersion = version;
}

}  // namespace keln::passkit
