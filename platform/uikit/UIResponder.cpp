#include "uikit/UIResponder.h"

namespace {
UIResponder* gFirstResponder = nullptr;
}

UIResponder::~UIResponder() {
  if (gFirstResponder == this) gFirstResponder = nullptr;
}

bool UIResponder::becomeFirstResponder() {
  if (gFirstResponder == this) return true;
  if (!canBecomeFirstResponder()) return false;
  if (gFirstResponder && !gFirstResponder->resignFirstResponder()) return false;
  gFirstResponder = this;
  didBecomeFirstResponder();
  return true;
}

bool UIResponder::resignFirstResponder() {
  if (gFirstResponder != this) return true;
  gFirstResponder = nullptr;
  didResignFirstResponder();
  return true;
}

bool UIResponder::isFirstResponder() const { return gFirstResponder == this; }
UIResponder* UIResponder::currentFirstResponder() { return gFirstResponder; }

void UIResponder::touchesBegan(const UITouchSet& t) {
  if (auto* next = nextResponder()) next->touchesBegan(t);
}
void UIResponder::touchesMoved(const UITouchSet& t) {
  if (auto* next = nextResponder()) next->touchesMoved(t);
}
void UIResponder::touchesEnded(const UITouchSet& t) {
  if (auto* next = nextResponder()) next->touchesEnded(t);
}
void UIResponder::touchesCancelled(const UITouchSet& t) {
  if (auto* next = nextResponder()) next->touchesCancelled(t);
}
