// The program's one window: the panel with the list, the credit note and
// picture over it, the hidden file-dialog component and the command button.
#pragma once

#include <windows.h>

#include "app/window_data.h"

// Identifiers from the window description that the code refers to.
constexpr int kMainWindowId = 1;
constexpr int kCommonDialogId = 103;

// Builds the window and its controls from `desc` and shows it. Returns
// nullptr when the window or any control cannot be created; the partly built
// window is destroyed then. `desc` must outlive the window.
HWND CreateMainWindow(const WindowDesc& desc);

// The window's key rules (Tab, Shift+Tab, Esc), applied to a key-down meant
// for the window or one of its controls before dispatch; true when used up.
bool MainWindowPreTranslate(MSG* msg);
