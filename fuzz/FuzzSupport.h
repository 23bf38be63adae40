#pragma once

// What every fuzz target shares: the input as text, quiet outputs, and checks that end
// the run the way a crash does, so that libFuzzer keeps the input as a reproducer.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "foundation/Log.h"

namespace keln::fuzzing {

inline std::string_view textOf(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Swallows the SDK's log lines (the decoders log what they reject) and forgets them after
// every input, so that the outputs neither slow the run down nor grow.
class QuietLog {
 public:
  QuietLog() { capture().clear(); }

 private:
  static foundation::ScopedLogCapture& capture() {
    static foundation::ScopedLogCapture instance;
    return instance;
  }
};

[[noreturn]] inline void fail(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
  std::abort();
}

}  // namespace keln::fuzzing

#define KELN_FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::keln::fuzzing::fail(#condition, __FILE__, __LINE__))
