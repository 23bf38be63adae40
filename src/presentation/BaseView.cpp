#include "presentation/BaseView.h"

#include "uikit/Coder.h"

namespace keln {

BaseView::BaseView(const uikit::Coder& coder) : uikit::View(coder) {
  uikit::fatalError("init(coder:) has not been implemented");
}

}  // namespace keln
