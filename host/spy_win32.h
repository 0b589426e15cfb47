// "zorvat spy": what a script needs to know to find a window — its handle,
// class, title, control identifier, process, rectangles and parents — and
// the WindowFind statement that finds it.
#pragma once

#include <cstdint>

struct TSpyTarget {
  bool HasPoint = false;  // --at X Y: the window at this screen point
  int X = 0;
  int Y = 0;
  uint32_t Handle = 0;  // --handle H
  bool Watch = false;   // show again whenever the pointer moves to another window
};

// Prints the report on standard output; the exit code (0, or 1 when there
// is no such window).
int RunSpy(const TSpyTarget& target);
