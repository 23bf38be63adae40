#include <keln/uikit/Application.h>

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <vector>

#include <keln/dispatch/MainQueue.h>

#include "foundation/Unicode.h"
#include "uikit/LinkSchemes.h"

extern char** environ;

namespace keln::uikit {
namespace {

bool openWithDesktop(const std::string& url) {
  if (!Application::defaultOpenerAccepts(url)) return false;
  std::string program = "xdg-open";
  std::string argument = url;
  std::vector<char*> arguments{program.data(), argument.data(), nullptr};
  pid_t child = 0;
  if (posix_spawnp(&child, program.c_str(), nullptr, nullptr, arguments.data(), environ) != 0) return false;
  // Reaped in the background so that the opener never blocks the main thread.
  std::thread([child] {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return true;
}

}  // namespace

Application& Application::shared() {
  static Application application;
  return application;
}

void Application::setURLOpener(URLOpener opener) { opener_ = std::move(opener); }

void Application::open(const std::string& url, std::function<void(bool success)> completionHandler) {
  URLOpener opener = opener_;  // a copy: the opener may replace itself
  bool opened = opener ? opener(url) : openWithDesktop(url);
  if (completionHandler) {
    dispatch::MainQueue::main().async(
        [completionHandler = std::move(completionHandler), opened] { completionHandler(opened); });
  }
}

bool Application::defaultOpenerAccepts(std::string_view url) {
  bool visibleAscii = std::all_of(url.begin(), url.end(), [](char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte > 0x20 && byte < 0x7F;
  });
  if (!visibleAscii) return false;
  for (std::string_view scheme : externalLinkPrefixes) {
    if (url.size() > scheme.size() && foundation::asciiCaseInsensitiveEquals(url.substr(0, scheme.size()), scheme)) {
      return true;
    }
  }
  return false;
}

}  // namespace keln::uikit
