#include "app/window_data.h"

#include <gtest/gtest.h>

#include "app/png_image.h"
#include "driver/servers.h"

namespace {

std::string StoredData() { return ReadWholeFile(VARNOOK_RES_DIR "/main_window.dat"); }

bool Read(const std::string& bytes, std::vector<WindowDesc>* out) {
  return ReadWindowData(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), out);
}

}  // namespace

TEST(WindowData, TheStoredMainWindowHasItsControlsInListOrder) {
  std::vector<WindowDesc> windows;
  ASSERT_TRUE(Read(StoredData(), &windows));
  ASSERT_EQ(windows.size(), 1u);
  const WindowDesc& w = windows[0];
  EXPECT_EQ(w.window.id, 1);
  EXPECT_EQ(w.window.width, 661);
  EXPECT_EQ(w.window.height, 595);
  EXPECT_EQ(w.window.Text(kSetText), "varnook-\xd7\xd4\xb6\xaf\xbb\xf1\xc8\xa1");

  struct Want {
    UnitType type;
    int left, top, width, height;
    bool visible, tabStop;
  } want[] = {
      {UnitType::kLabel, 466, 468, 152, 24, true, false},
      {UnitType::kPicBox, 448, 288, 176, 176, true, false},
      {UnitType::kCommonDlg, 400, 16, 72, 64, false, false},
      {UnitType::kButton, 149, 529, 320, 32, true, true},
      {UnitType::kHtmlViewer, -2, -2, 656, 522, true, true},
  };
  ASSERT_EQ(w.controls.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    const EntryDesc& c = w.controls[i];
    EXPECT_EQ(c.type, want[i].type) << i;
    EXPECT_EQ(c.left, want[i].left) << i;
    EXPECT_EQ(c.top, want[i].top) << i;
    EXPECT_EQ(c.width, want[i].width) << i;
    EXPECT_EQ(c.height, want[i].height) << i;
    EXPECT_EQ(c.visible, want[i].visible) << i;
    EXPECT_EQ(c.tabStop, want[i].tabStop) << i;
    EXPECT_TRUE(c.enabled) << i;
    EXPECT_EQ(c.tabKey, 0) << i;
  }
  // Only the button's click is bound, to the command.
  ASSERT_EQ(w.controls[3].events.size(), 1u);
  EXPECT_EQ(w.controls[3].events[0].routine, "SaveAndCopy");
  EXPECT_EQ(w.controls[4].Int(kSetFontSize, -1), 2);
  EXPECT_EQ(w.controls[4].Text(kSetUrl), "https://raw.githubusercontent.com/quorrel/varnook/master/trackers_all.txt");
  EXPECT_EQ(w.controls[2].Text(kSetFilter).size(), 17u);
}

TEST(WindowData, TheCreditPictureDecodesOpaqueAtItsSize) {
  std::vector<WindowDesc> windows;
  ASSERT_TRUE(Read(StoredData(), &windows));
  std::string png = windows[0].controls[1].Text(kSetPicture);
  BgraImage image = DecodePng(png.data(), png.size());
  ASSERT_EQ(image.width, 292);
  ASSERT_EQ(image.height, 308);
  for (size_t i = 3; i < image.pixels.size(); i += 4) ASSERT_EQ(image.pixels[i], 255) << i;
}

TEST(WindowData, EveryTruncationIsRefused) {
  std::string data = StoredData();
  std::vector<WindowDesc> windows;
  for (size_t n = 0; n < data.size(); ++n) ASSERT_FALSE(Read(data.substr(0, n), &windows)) << n;
  EXPECT_FALSE(Read(data + "x", &windows));  // trailing bytes
}

TEST(WindowData, DamagedHeadersAndCountsAreRefused) {
  const std::string data = StoredData();
  struct Case {
    size_t offset;
    unsigned char value;
    const char* what;
  } cases[] = {
      {0, 'X', "magic"},
      {4, 2, "version"},
      {6, 2, "window count too high"},
      {6, 0, "no window"},
      {8, 7, "unknown unit type"},
      {8, 1, "a label where the window should be"},
  };
  for (const auto& c : cases) {
    std::string bad = data;
    bad[c.offset] = static_cast<char>(c.value);
    std::vector<WindowDesc> windows;
    EXPECT_FALSE(Read(bad, &windows)) << c.what;
  }
}

TEST(WindowData, FlippedBytesNeverCrashTheReader) {
  // Any single damaged byte gives either a refusal or a description; reading
  // must never step outside the data (run under the address checks in fuzzing).
  const std::string data = StoredData();
  for (size_t i = 0; i < data.size(); i += 3) {
    std::string bad = data;
    bad[i] = static_cast<char>(bad[i] ^ 0xFF);
    std::vector<WindowDesc> windows;
    if (Read(bad, &windows)) {
      EXPECT_FALSE(windows.empty());
    }
  }
}

TEST(PngImage, DamagedPicturesDecodeToNothing) {
  std::vector<WindowDesc> windows;
  ASSERT_TRUE(Read(StoredData(), &windows));
  const std::string png = windows[0].controls[1].Text(kSetPicture);
  std::string flipped = png;
  flipped[png.size() / 2] = static_cast<char>(flipped[png.size() / 2] ^ 0x55);
  const std::string cases[] = {"", png.substr(0, 8), png.substr(0, png.size() / 2), flipped, "not a png at all"};
  for (const auto& bytes : cases) EXPECT_TRUE(DecodePng(bytes.data(), bytes.size()).Empty()) << bytes.size();
}

TEST(PngImage, TranslucentPixelsBlendOverTheBackground) {
  EXPECT_EQ(BlendChannel(200, 255, 10), 200);
  EXPECT_EQ(BlendChannel(200, 0, 10), 10);
  EXPECT_EQ(BlendChannel(255, 128, 0), 128);  // 128/255*255 = 128
  EXPECT_EQ(BlendChannel(0, 128, 255), 127);  // (1-128/255)*255 = 127 exactly
  EXPECT_EQ(BlendChannel(100, 100, 200), 160);  // 39.2 + 121.5 = 160.7, truncated
}
