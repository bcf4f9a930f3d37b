// 标签1: a one-line note that paints itself over the panel beneath it.
#pragma once

#include <windows.h>

HWND CreateLabel(HWND parent, int id, const RECT& place, DWORD style, const char* text);
