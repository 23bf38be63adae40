#include "OutputCapture.h"

#include <poll.h>
#include <unistd.h>

#include <utility>

namespace keln::demo {

OutputCapture::OutputCapture() {
  std::fflush(stdout);
  int ends[2];
  if (::pipe(ends) != 0) return;
  const int real = ::dup(STDOUT_FILENO);
  savedOutput_ = ::dup(STDOUT_FILENO);
  std::FILE* output = real >= 0 ? ::fdopen(real, "w") : nullptr;
  if (output == nullptr || savedOutput_ < 0 || ::dup2(ends[1], STDOUT_FILENO) < 0) {
    if (output != nullptr) std::fclose(output);
    if (savedOutput_ >= 0) ::close(savedOutput_);
    savedOutput_ = -1;
    ::close(ends[0]);
    ::close(ends[1]);
    return;
  }
  ::close(ends[1]);
  output_ = output;
  readEnd_ = ends[0];
}

void OutputCapture::start(std::function<void(const std::string&)> onLine) {
  if (readEnd_ < 0) return;
  reader_ = std::thread([this, fd = readEnd_, onLine = std::move(onLine)] {
    std::string pending;
    char buffer[4096];
    for (;;) {
      // Child processes (WebKit's) may hold the pipe open for ever: the end is told by
      // stopping_, once nothing is left to read.
      pollfd ready{fd, POLLIN, 0};
      const int polled = ::poll(&ready, 1, 50);
      if (polled == 0) {
        if (stopping_) break;
        continue;
      }
      if (polled < 0) continue;
      const ssize_t read = ::read(fd, buffer, sizeof buffer);
      if (read <= 0) break;
      pending.append(buffer, static_cast<std::size_t>(read));
      for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
        onLine(pending.substr(0, end));
      }
    }
    if (!pending.empty()) onLine(pending);
  });
}

OutputCapture::~OutputCapture() {
  if (savedOutput_ < 0) return;
  std::fflush(stdout);
  // Closes the pipe's last write end: the reader sees its end.
  ::dup2(savedOutput_, STDOUT_FILENO);
  ::close(savedOutput_);
  stopping_ = true;
  if (reader_.joinable()) reader_.join();
  ::close(readEnd_);
  std::fclose(output_);
}

}  // namespace keln::demo
