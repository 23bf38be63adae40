#pragma once

#include <keln/Export.h>

#include <optional>

#include "uikit/Image.h"
#include "uikit/View.h"

namespace keln::uikit {

// A view showing an image (or nothing). Main thread only.
class KELN_EXPORT ImageView : public View {
 public:
  using View::View;

  const std::optional<Image>& image() const { return image_; }
  void setImage(std::optional<Image> image) { image_ = std::move(image); }

 private:
  std::optional<Image> image_;
};

}  // namespace keln::uikit
