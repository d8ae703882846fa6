#include "interface/UIScrollViewInteractiveHeader.h"

#include "interface/InteractiveHeaderImageView.h"
#include "uikit/UIScrollView.h"

namespace UIScrollViewInteractiveHeader {

std::shared_ptr<InteractiveHeaderImageView> interactiveHeader(const UIScrollView& scrollView) {
  for (const auto& view : scrollView.subviews())
    if (auto header = std::dynamic_pointer_cast<InteractiveHeaderImageView>(view)) return header;
  return nullptr;
}

std::shared_ptr<InteractiveHeaderImageView> addHeaderWithImage(const std::shared_ptr<UIScrollView>& scrollView,
                                                               std::shared_ptr<UIImage> image, double height) {
  removeHeaderView(*scrollView);
  auto header = InteractiveHeaderImageView::initWithFrame(CGRect::make(0, 0, scrollView->bounds().size.width, height));
  header->setBackgroundColor(UIColor::clearColor());
  header->setImage(std::move(image));
  header->setDefaultHeight(height);
  header->setScrollView(scrollView);
  scrollView->addSubview(header);
  scrollView->sendSubviewToBack(header.get());
  UIEdgeInsets safe = scrollView->safeAreaInsets();
  scrollView->setContentInset({height - safe.top, safe.left, safe.bottom, safe.right});
  return header;
}

void removeHeaderView(UIScrollView& scrollView) {
  if (auto header = interactiveHeader(scrollView)) header->removeFromSuperview();
}

}  // namespace UIScrollViewInteractiveHeader
