#pragma once

// Runs the demo program as a person would from a shell, on a virtual display when there is
// no display.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

namespace keln::testing {

// Runs `command` through the shell; its standard output, and whether it exited with 0.
inline std::pair<std::string, bool> runProgram(const std::string& command) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return {"", false};
  char buffer[4096];
  while (std::size_t read = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, read);
  return {output, ::pclose(pipe) == 0};
}

// The demo program with `arguments`, behind xvfb-run when no display is set.
inline std::string demoCommand(const std::string& arguments) {
  const char* display = std::getenv("DISPLAY");
  const bool needsDisplay = (display == nullptr || *display == '\0') && *KELN_XVFB_RUN != '\0';
  // No session or accessibility bus on a virtual display: GTK need not look for them.
  std::string environment = "NO_AT_BRIDGE=1 GTK_A11Y=none ";
#if defined(__SANITIZE_ADDRESS__)
  // Leaks inside GTK, WebKit and GLib are theirs; GTK draws without GL, whose driver leaves
  // allocations LeakSanitizer cannot attribute.
  environment +=
      "GDK_DEBUG=gl-disable ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0 "
      "LSAN_OPTIONS=suppressions=" KELN_DEMO_LSAN_SUPPRESSIONS ":print_suppressions=0 ";
#endif
  return environment +
         (needsDisplay ? std::string(KELN_XVFB_RUN) + " -a -s '-screen 0 1280x1024x24' " : std::string()) +
         KELN_DEMO_PROGRAM + " " + arguments;
}

}  // namespace keln::testing
