#pragma once
// The key window shown in a desktop window (SDL2): drawn with the view renderer when the
// main loop has done something, at most once a turn, and every frame while an animation
// plays (animations play over their durations here, and content keeps clear of the
// navigation and tab bars); the pointer goes to WindowInput, keys type into the field being
// edited, Escape goes back or closes the screen in front, and closing the window ends
// the session.
#include <memory>
#include <string>

#include "render/WindowInput.h"
#include "uikit/UIGeometry.h"

struct SDL_Window;

class ScreenWindow {
 public:
  // A window of `points` (the emulated screen's size), or nothing with `error` set when
  // there is no display to open it on.
  static std::unique_ptr<ScreenWindow> open(const std::string& title, CGSize points, std::string* error);
  ~ScreenWindow();
  ScreenWindow(const ScreenWindow&) = delete;
  ScreenWindow& operator=(const ScreenWindow&) = delete;

  // Turns the main loop and the window's events until the window is closed or
  // requestClose is called.
  void run();
  // Ends run() at its next turn; any thread (a signal's watcher) may call it.
  static void requestClose();

 private:
  ScreenWindow(SDL_Window* window, CGSize points) : window_(window), points_(points) {}
  void redraw();
  // Handles one event; answers false when the window was closed.
  bool handle(const void* event);

  SDL_Window* window_;
  CGSize points_;
  WindowInput input_;
};
