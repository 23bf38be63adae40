#pragma once

#include <optional>
#include <utility>

#include "foundation/URL.h"

namespace keln::webkit {

// One navigation of a web view, as its delegate sees it from start to finish or failure.
// An object with identity only; held by std::shared_ptr.
class Navigation {
 public:
  Navigation() = default;
  Navigation(const Navigation&) = delete;
  Navigation& operator=(const Navigation&) = delete;
};

// The request a navigation would load; on this engine, its URL.
class NavigationRequest {
 public:
  explicit NavigationRequest(std::optional<foundation::URL> url) : url_(std::move(url)) {}

  const std::optional<foundation::URL>& url() const { return url_; }

 private:
  std::optional<foundation::URL> url_;
};

// The frame a navigation happens in.
class FrameInfo {
 public:
  explicit FrameInfo(bool isMainFrame) : isMainFrame_(isMainFrame) {}

  bool isMainFrame() const { return isMainFrame_; }

 private:
  bool isMainFrame_;
};

// What a page asks to load, and where: the request and the frame it targets (none when
// the page asks for a new window). Immutable value.
class NavigationAction {
 public:
  NavigationAction(NavigationRequest request, std::optional<FrameInfo> targetFrame)
      : request_(std::move(request)), targetFrame_(targetFrame) {}

  const NavigationRequest& request() const { return request_; }
  const std::optional<FrameInfo>& targetFrame() const { return targetFrame_; }

 private:
  NavigationRequest request_;
  std::optional<FrameInfo> targetFrame_;
};

}  // namespace keln::webkit
