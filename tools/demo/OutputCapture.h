#pragma once

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

namespace keln::demo {

// Takes the process's standard output away from whatever writes to it (the SDK writes its
// own lines there) and hands each line written to `onLine`, on a thread of its own, while
// output() still reaches the real standard output. Lets a program keep its standard
// output to lines of its own format. The destructor gives standard output back and waits
// for the lines already written. At most one at a time; made and destroyed on one thread.
class OutputCapture {
 public:
  OutputCapture();
  ~OutputCapture();
  OutputCapture(const OutputCapture&) = delete;
  OutputCapture& operator=(const OutputCapture&) = delete;

  // The real standard output; stdout when capturing could not start.
  std::FILE* output() const { return output_; }

  // Starts handing lines to `onLine`; before this, they wait in the pipe.
  void start(std::function<void(const std::string&)> onLine);

 private:
  std::FILE* output_ = stdout;
  int savedOutput_ = -1;  // a copy of the real standard output, restored at the end
  int readEnd_ = -1;
  std::atomic<bool> stopping_{false};
  std::thread reader_;
};

}  // namespace keln::demo
