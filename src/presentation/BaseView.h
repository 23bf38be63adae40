#pragma once

#include <concepts>
#include <memory>

#include "uikit/View.h"

namespace keln {

// The base of the checkout's content views: one set-up step, setupView(), that builds the
// view's subviews and constraints when the view is made. Views are made in code only,
// with BaseView::make<T>(); restoring one from an archive stops the program with
// "init(coder:) has not been implemented". Main thread only.
class BaseView : public uikit::View {
 protected:
  // Only BaseView::make() can produce one, so that no view escapes its set-up step.
  class Token {
    Token() = default;
    friend class BaseView;
  };

 public:
  // Makes a T with a zero frame and runs its setupView() before handing it out.
  template <class T>
  requires std::derived_from<T, BaseView> && std::constructible_from<T, Token>
  static std::shared_ptr<T> make() {
    auto view = std::make_shared<T>(Token{});
    view->setupView();
    return view;
  }

  explicit BaseView(Token) : uikit::View(uikit::Rect{}) {}
  // Not supported: stops the program.
  explicit BaseView(const uikit::Coder& coder);

  // Builds the view's content; empty here.
  virtual void setupView() {}
};

}  // namespace keln
