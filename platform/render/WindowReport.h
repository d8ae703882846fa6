#pragma once
// What the window shows, told to a program that drives it from outside (the tests' X
// events): when QB_WINDOW_REPORT names a file, each redraw writes there where a click
// reaches each thing that can be tapped, whether something still moves (a screen sliding
// in, a bar appearing: places can change under a click until it ends), then the screen as
// text.
//
//   place X Y WIDTH HEIGHT TEXT     (in the window's points, one line each)
//   moving                          (only while an animation plays)
//   screen
//   ...the screen as the terminal prints it...
#include <string>

namespace WindowReport {
// The report of the key window as it stands.
std::string describe();
// Writes it to the file the environment names, if it names one.
void writeIfAsked();
}  // namespace WindowReport
