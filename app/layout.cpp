#include "app/layout.h"

#include <windows.h>

#include <algorithm>

Point CenteredOrigin(int screenWidth, int screenHeight, int width, int height) {
  // C++ integer division truncates toward zero, as wanted for negative sizes.
  return {(screenWidth - width) / 2, (screenHeight - height) / 2};
}

std::vector<int> KeyboardOrder(const std::vector<TabEntry>& controls) {
  std::vector<int> order;
  for (int i = 0; i < static_cast<int>(controls.size()); ++i) {
    const TabEntry& c = controls[i];
    if (c.tabStop && c.visible && c.enabled) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    if (controls[a].tabKey != controls[b].tabKey) return controls[a].tabKey < controls[b].tabKey;
    return a > b;
  });
  return order;
}

int NextInOrder(const std::vector<int>& order, int current, bool backward) {
  if (order.empty()) return -1;
  const int n = static_cast<int>(order.size());
  auto at = std::find(order.begin(), order.end(), current);
  if (at == order.end()) return backward ? order[n - 1] : order[0];
  int pos = static_cast<int>(at - order.begin());
  return order[(pos + (backward ? n - 1 : 1)) % n];
}

KeyAction KeyActionFor(unsigned vk, bool ctrl, bool shift, bool alt) {
  if (ctrl || alt) return KeyAction::kNone;
  if (vk == VK_TAB) return shift ? KeyAction::kPrevious : KeyAction::kNext;
  if (vk == VK_ESCAPE && !shift) return KeyAction::kClose;
  return KeyAction::kNone;
}
