#include "render/ScreenWindow.h"

#include <SDL.h>
#include <cairo.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>

#include "foundation/RunLoop.h"
#include "render/ViewRenderer.h"
#include "render/WindowReport.h"
#include "uikit/UIInteraction.h"
#include "uikit/UIWindow.h"

namespace {
std::atomic<bool> closeRequested{false};
}  // namespace

std::unique_ptr<ScreenWindow> ScreenWindow::open(const std::string& title, CGSize points, std::string* error) {
  // The library falls back to drawing nowhere when there is no display; a driver named
  // on purpose (SDL_VIDEODRIVER) is kept.
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("SDL_VIDEODRIVER")) {
    if (error) *error = "there is no display: DISPLAY is not set";
    return nullptr;
  }
  // The screen is drawn by the processor: the window's own pixels take it as they are,
  // with no graphics driver loaded to copy it on.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    if (error) *error = SDL_GetError();
    return nullptr;
  }
  SDL_Window* window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, int(points.width),
                                        int(points.height), SDL_WINDOW_ALLOW_HIGHDPI);
  if (!window) {
    if (error) *error = SDL_GetError();
    SDL_Quit();
    return nullptr;
  }
  return std::unique_ptr<ScreenWindow>(new ScreenWindow(window, points));
}

ScreenWindow::~ScreenWindow() {
  SDL_DestroyWindow(window_);
  SDL_Quit();
}

void ScreenWindow::redraw() {
  UIWindow* key = UIWindow::keyWindow();
  SDL_Surface* target = SDL_GetWindowSurface(window_);
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
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(cairo_image_surface_get_data(surface), width, height, 32,
                                                           cairo_image_surface_get_stride(surface), SDL_PIXELFORMAT_ARGB8888);
  if (source) {
    SDL_BlitSurface(source, nullptr, target, nullptr);
    SDL_FreeSurface(source);
    SDL_UpdateWindowSurface(window_);
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
    case SDL_MOUSEWHEEL: input_.wheel(double(e.wheel.y)); break;
    case SDL_TEXTINPUT: (void)UIInteraction::type(e.text.text); break;
    case SDL_KEYDOWN:
      if (e.key.keysym.sym == SDLK_ESCAPE) {
        if (!UIInteraction::back()) (void)UIInteraction::close();
      } else if (e.key.keysym.sym == SDLK_RETURN) {
        (void)UIInteraction::submit();
      } else if (e.key.keysym.sym == SDLK_BACKSPACE) {
        (void)UIInteraction::eraseBackward();
      }
      break;
    default: break;
  }
  return true;
}

void ScreenWindow::requestClose() { closeRequested = true; }

void ScreenWindow::run() {
  SDL_StartTextInput();
  ViewRenderer::Watched watched(true);
  bool dirty = true;
  while (!closeRequested) {
    // While something moves, every frame is drawn (about 60 a second).
    if (UIView::isAnimationPlaying()) dirty = true;
    double next = UIView::isAnimationPlaying() ? 0.016 : RunLoop::main().secondsToNextTimer();
    int wait = next < 0 ? 16 : std::clamp(int(std::ceil(next * 1000)), 0, 16);
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, wait)) {
      do {
        if (!handle(&event)) return;
        dirty = true;
      } while (SDL_PollEvent(&event));
    }
    if (RunLoop::main().runOnce()) dirty = true;
    if (dirty) {
      redraw();
      dirty = false;
    }
  }
}
