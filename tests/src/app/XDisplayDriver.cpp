#include "XDisplayDriver.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <cairo.h>

#include <cstdint>
#include <set>

namespace {
Display* xDisplay(void* display) { return static_cast<Display*>(display); }
}  // namespace

std::unique_ptr<XDisplayDriver> XDisplayDriver::connect(const std::string& name) {
  Display* display = XOpenDisplay(name.c_str());
  if (!display) return nullptr;
  return std::unique_ptr<XDisplayDriver>(new XDisplayDriver(display));
}

XDisplayDriver::~XDisplayDriver() { XCloseDisplay(xDisplay(display_)); }

bool XDisplayDriver::findWindow(const std::string& title) {
  Display* display = xDisplay(display_);
  Window root = DefaultRootWindow(display), parent, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, root, &root, &parent, &children, &count)) return false;
  bool found = false;
  for (unsigned i = 0; i < count && !found; ++i) {
    char* name = nullptr;
    XWindowAttributes attributes;
    if (XFetchName(display, children[i], &name) && name && title == name &&
        XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable) {
      window_ = children[i];
      Window child;
      XTranslateCoordinates(display, children[i], root, 0, 0, &x_, &y_, &child);
      width_ = attributes.width;
      height_ = attributes.height;
      found = true;
    }
    if (name) XFree(name);
  }
  if (children) XFree(children);
  return found;
}

void XDisplayDriver::click(int x, int y) {
  Display* display = xDisplay(display_);
  XTestFakeMotionEvent(display, -1, x_ + x, y_ + y, CurrentTime);
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XSync(display, False);
}

void XDisplayDriver::drag(int x1, int y1, int x2, int y2) {
  Display* display = xDisplay(display_);
  XTestFakeMotionEvent(display, -1, x_ + x1, y_ + y1, CurrentTime);
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  constexpr int moves = 8;
  for (int i = 1; i <= moves; ++i)
    XTestFakeMotionEvent(display, -1, x_ + x1 + (x2 - x1) * i / moves, y_ + y1 + (y2 - y1) * i / moves, CurrentTime);
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XSync(display, False);
}

void XDisplayDriver::wheel(int x, int y, int notches) {
  Display* display = xDisplay(display_);
  XTestFakeMotionEvent(display, -1, x_ + x, y_ + y, CurrentTime);
  unsigned button = notches > 0 ? 5 : 4;  // the wheel's two ways are buttons 4 and 5
  for (int i = 0; i < (notches > 0 ? notches : -notches); ++i) {
    XTestFakeButtonEvent(display, button, True, CurrentTime);
    XTestFakeButtonEvent(display, button, False, CurrentTime);
  }
  XSync(display, False);
}

bool XDisplayDriver::key(unsigned long symbol) {
  Display* display = xDisplay(display_);
  KeyCode code = XKeysymToKeycode(display, symbol);
  if (code == 0) return false;
  bool shifted = XkbKeycodeToKeysym(display, code, 0, 0) != symbol;
  KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
  if (shifted) XTestFakeKeyEvent(display, shift, True, CurrentTime);
  XTestFakeKeyEvent(display, code, True, CurrentTime);
  XTestFakeKeyEvent(display, code, False, CurrentTime);
  if (shifted) XTestFakeKeyEvent(display, shift, False, CurrentTime);
  XSync(display, False);
  return true;
}

bool XDisplayDriver::type(const std::string& text) {
  for (char c : text)  // a printable ASCII character is its own key symbol
    if (!key(static_cast<unsigned char>(c))) return false;
  return true;
}

void XDisplayDriver::press(const std::string& keyName) { (void)key(XStringToKeysym(keyName.c_str())); }

size_t XDisplayDriver::picture(const std::string& path) {
  Display* display = xDisplay(display_);
  XImage* image = XGetImage(display, DefaultRootWindow(display), x_, y_, unsigned(width_), unsigned(height_), AllPlanes,
                            ZPixmap);
  if (!image) return 0;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width_, height_);
  auto* pixels = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(surface));
  int stride = cairo_image_surface_get_stride(surface) / 4;
  std::set<uint32_t> colours;
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      auto pixel = uint32_t(XGetPixel(image, x, y) & 0xFFFFFF);
      pixels[y * stride + x] = pixel;
      if (colours.size() < 64) colours.insert(pixel);
    }
  XDestroyImage(image);
  cairo_surface_mark_dirty(surface);
  bool written = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return written ? colours.size() : 0;
}
