#include "app/png_image.h"

#include <png.h>

#include <cstring>

BgraImage DecodePng(const void* data, size_t size) {
  BgraImage result;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) return result;
  image.format = PNG_FORMAT_BGRA;
  // Refuse absurd sizes from damaged headers before allocating for them.
  if (image.width == 0 || image.height == 0 || image.width > 4096 || image.height > 4096) {
    png_image_free(&image);
    return result;
  }
  std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return result;
  }
  result.width = static_cast<int>(image.width);
  result.height = static_cast<int>(image.height);
  result.pixels = std::move(pixels);
  return result;
}

unsigned char BlendChannel(unsigned char pixel, unsigned char alpha, unsigned char background) {
  // alpha/255 * pixel + (1 - alpha/255) * background, in exact integers so
  // that whole results are not lost to rounding before the truncation.
  unsigned v = (alpha * pixel + (255u - alpha) * background) / 255u;
  return static_cast<unsigned char>(v > 255 ? 255 : v);
}

BgraImage OverBackground(const BgraImage& image, COLORREF background) {
  BgraImage out = image;
  const unsigned char bg[3] = {GetBValue(background), GetGValue(background), GetRValue(background)};
  for (size_t i = 0; i + 3 < out.pixels.size(); i += 4) {
    unsigned char alpha = out.pixels[i + 3];
    if (alpha == 255) continue;
    for (int c = 0; c < 3; ++c) out.pixels[i + c] = BlendChannel(out.pixels[i + c], alpha, bg[c]);
    out.pixels[i + 3] = 255;
  }
  return out;
}
