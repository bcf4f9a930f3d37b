// What must hold for any input to the program's pure parsers. The fuzz
// targets run these on generated inputs (natively, under the address and
// undefined-behaviour sanitizers); fuzz_regression_test runs them on the kept
// corpus in `make test`. Each returns "" when every property holds, else what
// broke.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/window_data.h"

// ReadWindowData: damaged data is refused and leaves the output alone;
// accepted data holds at least one window, kinds where they belong, and reads
// back to exactly the bytes it came from.
std::string CheckWindowData(const uint8_t* data, size_t size);

// ReadAnnouncedLength reads as strtoll does in base 10 (blanks, a sign,
// saturation), and ChooseChunk follows the value: value + 1 up to 102400, or
// 10240 without a usable length. The text ends at the first zero byte, as a
// header value does.
std::string CheckContentLength(const uint8_t* data, size_t size);

// BuildFilterList against the rule written out again on its own: trailing
// blanks trimmed by characters of code page 936, "||" added unless there,
// every "|" that is a character of its own turned into a zero byte.
std::string CheckFilterList(const uint8_t* data, size_t size);

// Window descriptions written out in the stored form (as res/make_window_data.py
// writes them); tests make damaged program data from it.
std::string WriteWindowData(const std::vector<WindowDesc>& windows);
