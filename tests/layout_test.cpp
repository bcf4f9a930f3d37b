#include "app/layout.h"

#include <windows.h>

#include <gtest/gtest.h>

TEST(CenteredOrigin, TruncatesTowardZeroOnEveryScreen) {
  struct Case {
    int screenW, screenH, x, y;
  } cases[] = {
      {800, 600, 69, 2},
      {1024, 768, 181, 86},
      {640, 480, -10, -57},  // -21/2 and -115/2 truncate toward zero
      {1920, 1080, 629, 242},
  };
  for (const auto& c : cases) {
    Point p = CenteredOrigin(c.screenW, c.screenH, 661, 595);
    EXPECT_EQ(p.x, c.x) << c.screenW << "x" << c.screenH;
    EXPECT_EQ(p.y, c.y) << c.screenW << "x" << c.screenH;
  }
}

TEST(KeyboardOrder, EqualKeysPutTheLaterControlFirst) {
  // label, picture, dialog, button, panel: only the button and the panel are tab stops.
  std::vector<TabEntry> controls = {
      {0, false, true, true}, {0, false, true, true}, {0, false, false, true},
      {0, true, true, true},  {0, true, true, true},
  };
  EXPECT_EQ(KeyboardOrder(controls), (std::vector<int>{4, 3}));
}

TEST(KeyboardOrder, LowerKeyFirstAndHiddenOrDisabledLeftOut) {
  std::vector<TabEntry> controls = {
      {5, true, true, true}, {1, true, true, true}, {0, true, false, true}, {0, true, true, false},
  };
  EXPECT_EQ(KeyboardOrder(controls), (std::vector<int>{1, 0}));
}

TEST(NextInOrder, WrapsBothWaysAndStartsAtAnEnd) {
  std::vector<int> order = {4, 3};
  EXPECT_EQ(NextInOrder(order, 4, false), 3);
  EXPECT_EQ(NextInOrder(order, 3, false), 4);  // after the last comes the first
  EXPECT_EQ(NextInOrder(order, 3, true), 4);   // with two stops both keys lead to the panel
  EXPECT_EQ(NextInOrder(order, 4, true), 3);
  EXPECT_EQ(NextInOrder(order, -1, false), 4);
  EXPECT_EQ(NextInOrder(order, -1, true), 3);
  EXPECT_EQ(NextInOrder({}, -1, false), -1);
}

TEST(KeyActionFor, OnlyTabShiftTabAndPlainEscAct) {
  struct Case {
    unsigned vk;
    bool ctrl, shift, alt;
    KeyAction want;
  } cases[] = {
      {VK_TAB, false, false, false, KeyAction::kNext},
      {VK_TAB, false, true, false, KeyAction::kPrevious},
      {VK_TAB, true, false, false, KeyAction::kNone},
      {VK_TAB, false, false, true, KeyAction::kNone},
      {VK_ESCAPE, false, false, false, KeyAction::kClose},
      {VK_ESCAPE, false, true, false, KeyAction::kNone},  // Shift+Esc closes nothing
      {VK_ESCAPE, true, false, false, KeyAction::kNone},
      {VK_RETURN, false, false, false, KeyAction::kNone},  // no default button
      {VK_F1, false, false, false, KeyAction::kNone},
      {VK_SPACE, false, false, false, KeyAction::kNone},
  };
  for (const auto& c : cases)
    EXPECT_EQ(KeyActionFor(c.vk, c.ctrl, c.shift, c.alt), c.want) << c.vk << c.ctrl << c.shift << c.alt;
}
