#pragma once
// The one weak reference a callback that can outlive its owner holds: the owner's own,
// typed as the owner, locked where the callback runs.
//
//   performAfterWithBlock(1.0, [weak = weakSelf(this)] {
//     if (auto self = weak.lock()) self->refresh();
//   });
//
// The owner is held by a std::shared_ptr (screens, tasks, managers). Before it is owned
// (in its constructor) the reference is empty and the callback's body never runs.
#include <memory>

template <class Owner>
std::weak_ptr<Owner> weakSelf(Owner* self) {
  if (auto owned = self->weak_from_this().lock()) return std::static_pointer_cast<Owner>(owned);
  return {};
}
