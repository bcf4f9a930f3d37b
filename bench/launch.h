// Starting a program and timing how soon its window is up, and how soon its
// panel shows a given text.
#pragma once

#include <string>

struct LaunchTimes {
  double shownMs = -1;  // CreateProcess until idle with its window visible
  double textMs = -1;   // CreateProcess until the panel shows the text
};

// Starts `exe` with `folder` as its current directory and times it until it
// is idle (WaitForInputIdle) and a visible top-level window of `windowClass`
// exists. With `panelClass` and `panelText` given, it then times until a
// window of `panelClass` inside that window answers WM_GETTEXT with exactly
// `panelText`. Closes the program and waits for its end before returning.
LaunchTimes TimeLaunch(const std::string& exe, const std::string& folder, const char* windowClass,
                       const char* panelClass = nullptr, const std::string& panelText = "");
