#include "render/ScreenWindow.h"

#include <SDL.h>
#include <cairo.h>
#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "foundation/RunLoop.h"
#include "render/ViewRenderer.h"
#include "render/WindowReport.h"
#include "uikit/UIInteraction.h"
#include "uikit/UIWindow.h"

namespace {
std::atomic<bool> closeRequested{false};

// The window library and the sound, display and input libraries it brings are loaded
// when a window is first opened, not at every start: a session at the prompt never needs
// them, and loading and linking them cost a third of the program's start.
struct WindowLibrary {
#define QB_SDL_CALLS(X)                                                                                     \
  X(SDL_SetHint) X(SDL_Init) X(SDL_Quit) X(SDL_GetError) X(SDL_CreateWindow) X(SDL_DestroyWindow)          \
  X(SDL_GetWindowSurface) X(SDL_CreateRGBSurfaceWithFormatFrom) X(SDL_UpperBlit) X(SDL_FreeSurface)        \
  X(SDL_UpdateWindowSurface) X(SDL_StartTextInput) X(SDL_WaitEventTimeout) X(SDL_PollEvent)                \
  X(SDL_GetCurrentVideoDriver)
#define QB_SDL_MEMBER(name) decltype(&::name) name = nullptr;
  QB_SDL_CALLS(QB_SDL_MEMBER)
#undef QB_SDL_MEMBER
  std::string failure;  // why it could not be loaded; empty once it is
};

// Loaded once; never let go, as the library's own threads may outlive a window.
const WindowLibrary& windowLibrary() {
  static const WindowLibrary library = [] {
    WindowLibrary l;
    void* handle = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* reason = dlerror();
      l.failure = std::string("the window library cannot be loaded: ") + (reason ? reason : "libSDL2-2.0.so.0");
      return l;
    }
#define QB_SDL_LOAD(name)                                                                   \
  l.name = reinterpret_cast<decltype(l.name)>(dlsym(handle, #name));                        \
  if (!l.name && l.failure.empty()) l.failure = "the window library has no " #name;
    QB_SDL_CALLS(QB_SDL_LOAD)
#undef QB_SDL_LOAD
    return l;
  }();
  return library;
}
#undef QB_SDL_CALLS

bool isSet(const char* variable) {
  const char* value = std::getenv(variable);
  return value && *value;
}

// Whether something accepts a connection on the local socket at `path`, by its name in
// the abstract namespace or in the file system (an X server listens on both).
bool listens(const std::string& path) {
  for (bool abstract : {true, false}) {
    int s = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    size_t at = abstract ? 1 : 0;
    if (at + path.size() >= sizeof address.sun_path) {
      close(s);
      continue;
    }
    std::memcpy(address.sun_path + at, path.data(), path.size());
    socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + at + path.size() + (abstract ? 0 : 1));
    bool connected = connect(s, reinterpret_cast<sockaddr*>(&address), length) == 0;
    close(s);
    if (connected) return true;
  }
  return false;
}

// Why no window opened on the display the environment names, as near as can be told:
// nothing there, or a display that would not take this program.
std::string unopenedDisplay() {
  if (isSet("DISPLAY")) {
    const char* x = std::getenv("DISPLAY");
    std::string name = x;
    size_t colon = name.rfind(':');
    std::string host = colon == std::string::npos ? name : name.substr(0, colon);
    std::string number;  // the digits after the colon, before the screen's
    for (size_t i = colon == std::string::npos ? name.size() : colon + 1;
         i < name.size() && std::isdigit(static_cast<unsigned char>(name[i])); ++i)
      number += name[i];
    if ((host.empty() || host == "unix") && !number.empty()) {
      if (!listens("/tmp/.X11-unix/X" + number))
        return "nothing is at the display \"" + name + "\" that DISPLAY names: no X server listens there";
      return "the display \"" + name + "\" that DISPLAY names refused the window: its X server does not let this program in";
    }
    return "the display \"" + name + "\" that DISPLAY names cannot be reached, or refused the window";
  }
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return std::string("the Wayland display \"") + (wayland ? wayland : "") + "\" that WAYLAND_DISPLAY names cannot be opened";
}
}  // namespace

std::unique_ptr<ScreenWindow> ScreenWindow::open(const std::string& title, CGSize points, std::string* error) {
  // The library falls back to drawing nowhere when there is no display; a driver named
  // on purpose (SDL_VIDEODRIVER) is kept.
  if (!isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY") && !isSet("SDL_VIDEODRIVER")) {
    if (error) *error = "there is no display: DISPLAY is not set";
    return nullptr;
  }
  const WindowLibrary& sdl = windowLibrary();
  if (!sdl.failure.empty()) {
    if (error) *error = sdl.failure;
    return nullptr;
  }
  // The screen is drawn by the processor: the window's own pixels take it as they are,
  // with no graphics driver loaded to copy it on.
  sdl.SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (sdl.SDL_Init(SDL_INIT_VIDEO) != 0) {
    if (error) *error = sdl.SDL_GetError();
    return nullptr;
  }
  // Where the display named cannot be opened the library falls back to a driver that
  // draws nowhere, and a window "opened" there shows nothing while it takes the input.
  // Unless one was named on purpose, that is no window.
  const char* driver = sdl.SDL_GetCurrentVideoDriver();
  if (!isSet("SDL_VIDEODRIVER") &&
      (!driver || !std::strcmp(driver, "offscreen") || !std::strcmp(driver, "dummy") || !std::strcmp(driver, "evdev"))) {
    if (error) *error = unopenedDisplay();
    sdl.SDL_Quit();
    return nullptr;
  }
  SDL_Window* window = sdl.SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                            int(points.width), int(points.height), SDL_WINDOW_ALLOW_HIGHDPI);
  if (!window) {
    if (error) *error = sdl.SDL_GetError();
    sdl.SDL_Quit();
    return nullptr;
  }
  return std::unique_ptr<ScreenWindow>(new ScreenWindow(window, points));
}

ScreenWindow::~ScreenWindow() {
  const WindowLibrary& sdl = windowLibrary();
  sdl.SDL_DestroyWindow(window_);
  sdl.SDL_Quit();
}

void ScreenWindow::redraw() {
  const WindowLibrary& sdl = windowLibrary();
  UIWindow* key = UIWindow::keyWindow();
  SDL_Surface* target = sdl.SDL_GetWindowSurface(window_);
  if (!key || !target) return;
  UIWindow::layoutAllWindows();
  ViewRenderer::settle(*key);
  int width = target->w, height = target->h;
  double scale = double(width) / points_.width;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_scale(cr, scale, scale);
  UIView::drawWithPresentationValues([&] { ViewRenderer::draw(cr, *key); });
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  SDL_Surface* source =
      sdl.SDL_CreateRGBSurfaceWithFormatFrom(cairo_image_surface_get_data(surface), width, height, 32,
                                             cairo_image_surface_get_stride(surface), SDL_PIXELFORMAT_ARGB8888);
  if (source) {
    sdl.SDL_UpperBlit(source, nullptr, target, nullptr);
    sdl.SDL_FreeSurface(source);
    sdl.SDL_UpdateWindowSurface(window_);
  }
  cairo_surface_destroy(surface);
  WindowReport::writeIfAsked();
}

bool ScreenWindow::handle(const void* raw) {
  const SDL_Event& e = *static_cast<const SDL_Event*>(raw);
  switch (e.type) {
    case SDL_QUIT: return false;
    case SDL_MOUSEMOTION:
      input_.pointer({double(e.motion.x), double(e.motion.y)}, (e.motion.state & SDL_BUTTON_LMASK) != 0);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (e.button.button == SDL_BUTTON_LEFT)
        input_.pointer({double(e.button.x), double(e.button.y)}, e.type == SDL_MOUSEBUTTONDOWN);
      break;
    case SDL_MOUSEWHEEL: {
      if (e.wheel.y != 0) input_.wheel(double(e.wheel.y));
      // Sideways as the person moved it, whichever way the system turns the content.
      double sideways = double(e.wheel.preciseX) * (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1);
      if (sideways != 0) input_.wheelSideways(sideways);
      break;
    }
    case SDL_TEXTINPUT: (void)UIInteraction::type(e.text.text); break;
    case SDL_KEYDOWN:
      if (e.key.keysym.sym == SDLK_ESCAPE) {
        if (!UIInteraction::back()) (void)UIInteraction::close();
      } else if (e.key.keysym.sym == SDLK_RETURN) {
        (void)UIInteraction::submit();
      } else if (e.key.keysym.sym == SDLK_BACKSPACE) {
        (void)UIInteraction::eraseBackward();
      } else if (e.key.keysym.sym == SDLK_UP || e.key.keysym.sym == SDLK_DOWN) {
        (void)input_.turnPicker(e.key.keysym.sym == SDLK_UP ? -1 : 1);
      }
      break;
    default: break;
  }
  return true;
}

void ScreenWindow::requestClose() { closeRequested = true; }

void ScreenWindow::run() {
  const WindowLibrary& sdl = windowLibrary();
  sdl.SDL_StartTextInput();
  ViewRenderer::Watched watched(true);
  bool dirty = true, wasMoving = false;
  while (!closeRequested) {
    // While something moves, every frame is drawn (about 60 a second), and once more when
    // it has stopped: the last frame drawn while it moved falls short of where it ends.
    const bool moving = UIView::isAnimationPlaying();
    if (moving || wasMoving) dirty = true;
    wasMoving = moving;
    double next = moving ? 0.016 : RunLoop::main().secondsToNextTimer();
    int wait = next < 0 ? 16 : std::clamp(int(std::ceil(next * 1000)), 0, 16);
    SDL_Event event;
    if (sdl.SDL_WaitEventTimeout(&event, wait)) {
      do {
        if (!handle(&event)) return;
        dirty = true;
      } while (sdl.SDL_PollEvent(&event));
    }
    if (RunLoop::main().runOnce()) dirty = true;
    if (dirty) {
      redraw();
      dirty = false;
    }
  }
}
