#pragma once

#include <keln/Export.h>

#include "uikit/View.h"

namespace keln::uikit {

// A push button of one of the system's kinds. Main thread only.
class KELN_EXPORT Button : public View {
 public:
  enum class ButtonType { custom, system };

  explicit Button(ButtonType type) : buttonType_(type) {}

  ButtonType buttonType() const { return buttonType_; }

 private:
  ButtonType buttonType_;
};

}  // namespace keln::uikit
