// Window arithmetic and key rules that need no window.
#pragma once

#include <vector>

struct Point {
  int x, y;
};

// Top-left corner that centres a window of this outer size on the screen;
// each division truncates toward zero, negative results included, and
// nothing pulls the window back onto a small screen.
Point CenteredOrigin(int screenWidth, int screenHeight, int width, int height);

struct TabEntry {
  int tabKey;
  bool tabStop, visible, enabled;
};
// Indexes (into the list order) of the controls that Tab visits: tab stops
// that are visible and enabled, lowest key first, and of equal keys the one
// later in the list first.
std::vector<int> KeyboardOrder(const std::vector<TabEntry>& controls);

// The control Tab (or Shift+Tab when `backward`) moves to from `current`
// (an index into the list order, -1 for none); -1 when the order is empty.
int NextInOrder(const std::vector<int>& order, int current, bool backward);

enum class KeyAction { kNone, kNext, kPrevious, kClose };
// What the main window does with a key-down of `vk` with these modifiers held.
KeyAction KeyActionFor(unsigned vk, bool ctrl, bool shift, bool alt);
