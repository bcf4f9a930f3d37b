// 图片框1: the credit picture, stretched over the whole control.
#pragma once

#include <windows.h>

#include <string>

// `png` holds the picture's PNG bytes; damaged bytes leave a plain square of
// the button-face colour.
HWND CreatePictureBox(HWND parent, int id, const RECT& place, DWORD style, const std::string& png);
