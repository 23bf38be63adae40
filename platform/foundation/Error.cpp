#include <keln/foundation/Error.h>

namespace keln {

const char* Error::what() const noexcept {
  thread_local std::string text;
  try {
    text = description();
  } catch (...) {
    return "keln::Error";
  }
  return text.c_str();
}

}  // namespace keln
