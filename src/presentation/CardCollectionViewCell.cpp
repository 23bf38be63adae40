#include "presentation/CardCollectionViewCell.h"

#include "uikit/Coder.h"

namespace keln {
namespace {

std::shared_ptr<uikit::ImageView> makeImageView() {
  auto imageView = std::make_shared<uikit::ImageView>();
  imageView->setContentMode(uikit::ContentMode::scaleAspectFit);
  imageView->setClipsToBounds(true);
  return imageView;
}

std::shared_ptr<uikit::Label> makeTitleLabel() {
  auto label = std::make_shared<uikit::Label>();
  label->setFont(uikit::Font::systemFont(16));
  label->setTextColor(uikit::Color::black());
  return label;
}

}  // namespace

CardCollectionViewCell::CardCollectionViewCell(const uikit::Rect& frame)
    : uikit::CollectionViewCell(frame), imageView_(makeImageView()), titleLabel_(makeTitleLabel()) {
  const auto& content = contentView();
  content->addSubview(imageView_);
  content->addSubview(titleLabel_);

  content->layer().setCornerRadius(8);
  content->layer().setMasksToBounds(true);
  content->layer().setBorderWidth(1);
  content->layer().setBorderColor(uikit::Color::lightGray());

  layer().setShadowColor(uikit::Color::black());
  layer().setShadowOpacity(0.2F);
  layer().setShadowOffset({2, 2});
  layer().setShadowRadius(4);
  layer().setCornerRadius(8);
  layer().setMasksToBounds(false);

  imageView_->setTranslatesAutoresizingMaskIntoConstraints(false);
  titleLabel_->setTranslatesAutoresizingMaskIntoConstraints(false);

  uikit::LayoutConstraint::activate({
      imageView_->centerYAnchor().constraintEqualTo(content->centerYAnchor()),
      imageView_->topAnchor().constraintEqualTo(content->topAnchor()),
      imageView_->leadingAnchor().constraintEqualTo(content->leadingAnchor(), 20),
      imageView_->widthAnchor().constraintEqualToConstant(50),
      titleLabel_->centerYAnchor().constraintEqualTo(content->centerYAnchor()),
      titleLabel_->leftAnchor().constraintEqualTo(imageView_->rightAnchor(), 30),
  });
}

CardCollectionViewCell::CardCollectionViewCell(const uikit::Coder& coder)
    : uikit::CollectionViewCell(coder), imageView_(makeImageView()), titleLabel_(makeTitleLabel()) {
  uikit::fatalError("init(coder:) has not been implemented");
}

}  // namespace keln
