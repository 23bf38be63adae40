#pragma once

#include <keln/Export.h>

#include <concepts>
#include <functional>
#include <memory>
#include <optional>

#include "uikit/Image.h"

namespace keln::uikit {

// A button of a navigation bar: a system item (the close button) or an image, with a
// target and an action. The item holds its target weakly: once the target is gone, a tap
// does nothing. Main thread only.
class KELN_EXPORT BarButtonItem {
 public:
  enum class SystemItem { close };
  enum class Style { plain, done };

  // A system item; `action` is called on `target` when the item is tapped.
  template <class Target, class Receiver>
  requires std::derived_from<Target, Receiver> BarButtonItem(SystemItem systemItem,
                                                             const std::shared_ptr<Target>& target,
                                                             void (Receiver::*action)())
      : BarButtonItem(systemItem, std::nullopt, Style::plain, target, bind(target, action)) {}

  // An image item (none when `image` is absent).
  template <class Target, class Receiver>
  requires std::derived_from<Target, Receiver> BarButtonItem(std::optional<Image> image, Style style,
                                                             const std::shared_ptr<Target>& target,
                                                             void (Receiver::*action)())
      : BarButtonItem(std::nullopt, std::move(image), style, target, bind(target, action)) {}

  BarButtonItem(const BarButtonItem&) = delete;
  BarButtonItem& operator=(const BarButtonItem&) = delete;

  const std::optional<SystemItem>& systemItem() const { return systemItem_; }
  const std::optional<Image>& image() const { return image_; }
  Style style() const { return style_; }
  // Null once the target is gone.
  std::shared_ptr<void> target() const { return target_.lock(); }

  // What a user's tap does: sends the action to the target, if it is still there.
  void tap() const;

 private:
  template <class Target, class Receiver>
  static std::function<void()> bind(const std::shared_ptr<Target>& target, void (Receiver::*action)()) {
    return [weakTarget = std::weak_ptr<Target>(target), action] {
      if (auto strong = weakTarget.lock(); strong != nullptr && action != nullptr) (strong.get()->*action)();
    };
  }

  BarButtonItem(std::optional<SystemItem> systemItem, std::optional<Image> image, Style style,
                std::weak_ptr<void> target, std::function<void()> action)
      : systemItem_(systemItem),
        image_(std::move(image)),
        style_(style),
        target_(std::move(target)),
        action_(std::move(action)) {}

  std::optional<SystemItem> systemItem_;
  std::optional<Image> image_;
  Style style_;
  std::weak_ptr<void> target_;
  std::function<void()> action_;
};

}  // namespace keln::uikit
