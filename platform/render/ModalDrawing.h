#pragma once
// What is presented over another screen: a sheet over the dimmed screen below it, and an
// alert or action sheet as its card over a dimmed screen. An alert keeps its title,
// message and actions outside any view; they are drawn here from the alert.
#include <cairo.h>

#include "uikit/UIAlertController.h"
#include "uikit/UIView.h"

namespace ModalDrawing {
// The alert presented with this view as its own, else nothing.
const UIAlertController* alertOf(const UIView& view);
// Whether the view is a sheet's (presented with the screen below still showing above it).
bool isSheet(const UIView& view);
// The screen below a sheet or an alert, darkened, over `area` (the window's bounds).
void drawDimming(cairo_t* cr, const UIView& presented, CGRect area);
// The alert's cards, title, message, field boxes and actions over its view's bounds.
void drawAlert(cairo_t* cr, const UIAlertController& alert, const UIView& view);
}  // namespace ModalDrawing
