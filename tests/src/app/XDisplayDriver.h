#pragma once
// A test's own connection to an X display: it finds a program's window by its title,
// sends pointer clicks and key presses into the display as a person's devices would
// (XTest), and reads the window back as the display shows it. The X headers stay in
// its source, away from the tests' names.
#include <memory>
#include <string>

class XDisplayDriver {
 public:
  // Nothing when the display (":99") cannot be reached.
  static std::unique_ptr<XDisplayDriver> connect(const std::string& name);
  ~XDisplayDriver();
  XDisplayDriver(const XDisplayDriver&) = delete;
  XDisplayDriver& operator=(const XDisplayDriver&) = delete;

  // Finds the mapped top window titled `title`; answers whether there is one.
  bool findWindow(const std::string& title);
  int windowX() const { return x_; }
  int windowY() const { return y_; }

  // A click of the first button at (x, y) of the window.
  void click(int x, int y);
  // A drag with the first button held from (x1, y1) to (x2, y2) of the window, in a few
  // moves, let go at its end.
  void drag(int x1, int y1, int x2, int y2);
  // Wheel notches at (x, y) of the window: positive towards the user, as a person turns
  // it to see what is further down.
  void wheel(int x, int y, int notches);
  // Typed text (ASCII), Shift held where the keyboard needs it; answers false for a
  // character without a key.
  bool type(const std::string& text);
  // A key by its X name ("Return", "BackSpace").
  void press(const std::string& keyName);

  // The window as the display shows it, written as a PNG file; answers how many colours
  // it has (up to 64), so a blank window is told from a drawn one; 0 when it could not
  // be read or written.
  size_t picture(const std::string& path);

 private:
  explicit XDisplayDriver(void* display) : display_(display) {}
  bool key(unsigned long symbol);
  void* display_;
  unsigned long window_ = 0;
  int x_ = 0, y_ = 0, width_ = 0, height_ = 0;
};
