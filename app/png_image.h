// The credit picture: PNG bytes decoded once to 8-bit blue, green, red, alpha.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

struct BgraImage {
  int width = 0, height = 0;
  std::vector<unsigned char> pixels;  // width * height * 4, top row first
  bool Empty() const { return pixels.empty(); }
};

// Decodes with libpng's simplified interface; an empty image for damaged data.
BgraImage DecodePng(const void* data, size_t size);

// One channel of a pixel with this alpha laid over the background channel.
unsigned char BlendChannel(unsigned char pixel, unsigned char alpha, unsigned char background);

// The image with every pixel that is not fully opaque blended over `background`.
BgraImage OverBackground(const BgraImage& image, COLORREF background);
