#pragma once
// Attaching a collapsing header to a scroll view. The scroll view holds its header as a
// subview, sent to the back; the header follows the scroll view without keeping it.
#include <memory>

class InteractiveHeaderImageView;
class UIImage;
class UIScrollView;

namespace UIScrollViewInteractiveHeader {
// The attached header, or none.
std::shared_ptr<InteractiveHeaderImageView> interactiveHeader(const UIScrollView& scrollView);
// Replaces any attached header by a new one of `height` showing `image`, and makes room
// for it above the content.
std::shared_ptr<InteractiveHeaderImageView> addHeaderWithImage(const std::shared_ptr<UIScrollView>& scrollView,
                                                               std::shared_ptr<UIImage> image, double height);
void removeHeaderView(UIScrollView& scrollView);
}  // namespace UIScrollViewInteractiveHeader
