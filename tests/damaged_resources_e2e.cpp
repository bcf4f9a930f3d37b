// Copies of the program with their window data or credit picture damaged in
// many ways, started as a user would: each shows the fatal box and ends with
// -1, or opens its window and ends with 0 when closed. None crashes or hangs;
// a picture that cannot be decoded leaves a plain button-face square.
#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "driver/driver.h"
#include "driver/servers.h"
#include "program_copies.h"

namespace {

// "载入窗口模板数据段出错!"
const char kBadWindowData[] =
    "\xd4\xd8\xc8\xeb\xb4\xb0\xbf\xda\xc4\xa3\xb0\xe5\xca\xfd\xbe\xdd\xb6\xce\xb3\xf6\xb4\xed!";
// "载入启动窗口失败"
const char kStartupWindowFailed[] = "\xd4\xd8\xc8\xeb\xc6\xf4\xb6\xaf\xb4\xb0\xbf\xda\xca\xa7\xb0\xdc";

enum class Seen { kWindow, kBadDataBox, kNoWindowBox, kOtherBox, kEndedAlone, kNothing };

const char* Name(Seen seen) {
  switch (seen) {
    case Seen::kWindow:
      return "the main window";
    case Seen::kBadDataBox:
      return "the box for damaged window data";
    case Seen::kNoWindowBox:
      return "the box for a start-up window that cannot be made";
    case Seen::kOtherBox:
      return "some other box";
    case Seen::kEndedAlone:
      return "an end without window or box";
    case Seen::kNothing:
      return "neither window nor box (hung or crashed)";
  }
  return "?";
}

struct Outcome {
  Seen seen = Seen::kNothing;
  DWORD exitCode = STILL_ACTIVE;
  bool plainPicture = false;  // only looked at when asked for
};

// Every pixel of `hwnd`'s client area as the screen shows it is `colour`.
bool ShowsOnly(HWND hwnd, COLORREF colour) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  POINT origin{0, 0};
  ClientToScreen(hwnd, &origin);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = rc.right;
  info.bmiHeader.biHeight = -rc.bottom;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, rc.right, rc.bottom, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  const DWORD want = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
  bool plain = bits && rc.right > 0 && rc.bottom > 0;
  const DWORD* pixels = static_cast<const DWORD*>(bits);
  for (LONG i = 0; plain && i < rc.right * rc.bottom; ++i) plain = (pixels[i] & 0xFFFFFF) == want;
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return plain;
}

// Starts `exe` and watches until its window or a box shows, then closes it
// the ordinary way and waits for the end.
Outcome StartAndClose(const std::string& exe, bool lookAtPicture = false) {
  Outcome run;
  Program program;
  // A copy just rewritten by UpdateResource is now and then not yet ready to
  // be started under Wine (CreateProcess fails at once); the program's own
  // behaviour begins only once it runs, so starting is tried a few times.
  bool launched = false;
  for (int attempt = 0; attempt < 5 && !launched; ++attempt) {
    launched = program.Launch(exe);
    if (!launched) Sleep(200);
  }
  if (!launched) {
    ADD_FAILURE() << "cannot start " << exe << ": error " << GetLastError();
    return run;
  }
  DWORD pid = program.ProcessId();
  HWND window = nullptr, box = nullptr;
  WaitUntil(
      [&] {
        window = FindTopWindow(pid, "VarnookMainWindow");
        box = FindTopWindow(pid, "#32770");
        return window || box || WaitForSingleObject(program.Process(), 0) == WAIT_OBJECT_0;
      },
      30000);
  if (box) {
    std::string text;
    for (HWND child : ChildrenInZOrder(box)) text += TextOf(child);
    run.seen = text.find(kBadWindowData) != std::string::npos         ? Seen::kBadDataBox
               : text.find(kStartupWindowFailed) != std::string::npos ? Seen::kNoWindowBox
                                                                      : Seen::kOtherBox;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  } else if (window) {
    // It answers, and it paints.
    DWORD_PTR result;
    if (SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &result)) run.seen = Seen::kWindow;
    if (lookAtPicture) {
      BringToFront(window);
      RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &result);
      Sleep(300);
      HWND picture = FindWindowExA(window, nullptr, "VarnookPictureBox", nullptr);
      run.plainPicture = picture && ShowsOnly(picture, GetSysColor(COLOR_BTNFACE));
    }
    PostMessageA(window, WM_CLOSE, 0, 0);
  } else if (WaitForSingleObject(program.Process(), 0) == WAIT_OBJECT_0) {
    run.seen = Seen::kEndedAlone;
  }
  run.exitCode = program.WaitExit(20000);
  return run;
}

// ---- window data

struct DataCase {
  const char* what;
  std::string data;
  Seen expected;
};

void Put32(std::string* data, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*data)[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string Int32(int32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

// Offsets in the stored data: "VNWD", version, window count, then the
// window's entry: unit type (8), identifier (9), name length (13), ...
constexpr size_t kNameLength = 13;

TEST(DamagedWindowData, EveryDamageEndsInTheBoxOrTheWindowNeverACrash) {
  const std::string stored = StoredWindowData();
  ASSERT_GT(stored.size(), 1000u);
  std::string hugeName = stored;
  hugeName[kNameLength] = '\xff';
  hugeName[kNameLength + 1] = '\xff';
  std::string twoWindows = stored;
  twoWindows[6] = 2;
  std::string noWindows = stored;
  noWindows[6] = 0;
  std::string hugeSetting = Edited(
      [](std::vector<WindowDesc>& w) { SetSetting(ControlOfType(w, UnitType::kLabel), kSetText, "xxxx"); });
  // The label's text is its first setting: its length field is four bytes before "xxxx".
  Put32(&hugeSetting, hugeSetting.find("xxxx") - 4, 0xFFFFFFFFu);
  std::string unknownFlag = Edited([](std::vector<WindowDesc>& w) { w[0].controls[0].name = "FLAGS"; });
  unknownFlag[unknownFlag.find("FLAGS") + 5 + 16] = 8;

  const DataCase cases[] = {
      {"magic only", "VNWD", Seen::kBadDataBox},
      {"cut in the header", stored.substr(0, 7), Seen::kBadDataBox},
      {"cut in the picture", stored.substr(0, stored.size() - 600), Seen::kBadDataBox},
      {"one byte short", stored.substr(0, stored.size() - 1), Seen::kBadDataBox},
      {"one byte too many", stored + "\x01", Seen::kBadDataBox},
      {"no window", noWindows, Seen::kBadDataBox},
      {"a second window that is not there", twoWindows, Seen::kBadDataBox},
      {"name longer than the data", hugeName, Seen::kBadDataBox},
      {"setting of 4 GB", hugeSetting, Seen::kBadDataBox},
      {"unknown flag", unknownFlag, Seen::kBadDataBox},
      {"unknown routine", Edited([](std::vector<WindowDesc>& w) {
         ControlOfType(w, UnitType::kButton).events[0].routine = "SaveAndCopyAll";
       }),
       Seen::kBadDataBox},
      {"no controls", Edited([](std::vector<WindowDesc>& w) { w[0].controls.clear(); }), Seen::kWindow},
      {"window of no size",
       Edited([](std::vector<WindowDesc>& w) { w[0].window.width = w[0].window.height = 0; }), Seen::kWindow},
      {"window of negative size", Edited([](std::vector<WindowDesc>& w) {
         w[0].window.width = -661;
         w[0].window.height = -595;
       }),
       Seen::kWindow},
      {"window larger than any screen",
       Edited([](std::vector<WindowDesc>& w) { w[0].window.width = w[0].window.height = 1000000; }),
       Seen::kWindow},
      {"controls far outside, huge and negative", Edited([](std::vector<WindowDesc>& w) {
         for (EntryDesc& c : w[0].controls) {
           c.left = -2000000000;
           c.top = 2000000000;
           c.width = 2000000000;
           c.height = -2000000000;
         }
       }),
       Seen::kWindow},
      {"every control twice, same identifiers", Edited([](std::vector<WindowDesc>& w) {
         auto controls = w[0].controls;
         w[0].controls.insert(w[0].controls.end(), controls.begin(), controls.end());
       }),
       Seen::kWindow},
      {"the click bound on every control", Edited([](std::vector<WindowDesc>& w) {
         EventBinding click = ControlOfType(w, UnitType::kButton).events[0];
         for (EntryDesc& c : w[0].controls) c.events = {click, click};
       }),
       Seen::kWindow},
      {"settings of the wrong size and kind", Edited([](std::vector<WindowDesc>& w) {
         for (EntryDesc& c : w[0].controls) {
           for (uint16_t key : {kSetFontSize, kSetKind, kSetInitialFilter, kSetOffline})
             SetSetting(c, key, "abc");
           SetSetting(c, kSetText, std::string(60000, '\x81'));
           SetSetting(c, kSetFilter, std::string(3000, '|'));
           SetSetting(c, kSetUrl, "\x01 not an address \xff");
         }
       }),
       Seen::kWindow},
      {"extreme numbers", Edited([](std::vector<WindowDesc>& w) {
         for (EntryDesc& c : w[0].controls) {
           SetSetting(c, kSetFontSize, Int32(INT32_MIN));
           SetSetting(c, kSetKind, Int32(INT32_MAX));
           SetSetting(c, kSetInitialFilter, Int32(INT32_MIN));
           c.tabKey = INT32_MIN;
         }
       }),
       Seen::kWindow},
  };
  for (const DataCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::string exe = ProgramWithWindowData(c.data);
    ASSERT_FALSE(exe.empty());
    Outcome run = StartAndClose(exe);
    EXPECT_EQ(run.seen, c.expected) << Name(run.seen);
    EXPECT_EQ(run.exitCode, run.seen == Seen::kWindow ? 0u : static_cast<DWORD>(-1));
  }
}

TEST(DamagedWindowData, NoResourcesAtAll) {
  std::string exe = ProgramWithoutResources();
  ASSERT_FALSE(exe.empty());
  Outcome run = StartAndClose(exe);
  EXPECT_EQ(run.seen, Seen::kBadDataBox) << Name(run.seen);
  EXPECT_EQ(run.exitCode, static_cast<DWORD>(-1));
}

// Bytes flipped at random places (the same places on every run): whichever
// the reader makes of them, the program shows its window or the box.
TEST(DamagedWindowData, RandomlyFlippedBytes) {
  const std::string stored = StoredWindowData();
  uint32_t state = 20240611;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return state >> 8;
  };
  for (int round = 0; round < 16; ++round) {
    std::string data = stored;
    int flips = 1 + static_cast<int>(next() % 4);
    std::string where;
    for (int i = 0; i < flips; ++i) {
      size_t at = next() % data.size();
      data[at] = static_cast<char>(data[at] ^ (1 + next() % 255));
      where += std::to_string(at) + " ";
    }
    SCOPED_TRACE("flipped at " + where);
    std::string exe = ProgramWithWindowData(data);
    ASSERT_FALSE(exe.empty());
    Outcome run = StartAndClose(exe);
    EXPECT_TRUE(run.seen == Seen::kWindow || run.seen == Seen::kBadDataBox || run.seen == Seen::kNoWindowBox)
        << Name(run.seen);
    EXPECT_EQ(run.exitCode, run.seen == Seen::kWindow ? 0u : static_cast<DWORD>(-1));
  }
}

// ---- the credit picture

// The PNG with its header chunk's width and height replaced, its check sum
// made right again, so that only the sizes are wrong.
std::string WithSize(const std::string& png, uint32_t width, uint32_t height) {
  std::string out = png;
  // Signature (8), IHDR length (4), "IHDR" (4), width, height, ...
  auto put = [&out](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
  };
  put(16, width);
  put(20, height);
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(out.data() + 12), 17);
  put(29, static_cast<uint32_t>(crc));
  return out;
}

TEST(DamagedPicture, UndecodablePicturesLeaveAPlainSquare) {
  std::vector<WindowDesc> windows = StoredWindows();
  ASSERT_FALSE(windows.empty());
  const std::string png = ControlOfType(windows, UnitType::kPicBox).Text(kSetPicture);
  ASSERT_EQ(png.substr(1, 3), "PNG");
  std::string flipped = png;
  flipped[png.size() / 2] = static_cast<char>(flipped[png.size() / 2] ^ 0x5A);

  struct PictureCase {
    const char* what;
    std::string picture;
    bool present;
    bool plain;
  } cases[] = {
      {"the picture as stored", png, true, false},
      {"no picture", "", false, true},
      {"an empty picture", "", true, true},
      {"signature only", png.substr(0, 8), true, true},
      {"cut in half", png.substr(0, png.size() / 2), true, true},
      {"a byte flipped in the image data", flipped, true, true},
      {"5000 x 5000 pixels announced", WithSize(png, 5000, 5000), true, true},
      {"4096 x 4096 pixels announced, far too little data", WithSize(png, 4096, 4096), true, true},
      {"0 x 0 pixels announced", WithSize(png, 0, 0), true, true},
      {"2^31 x 2^31 pixels announced", WithSize(png, 0x80000000u, 0x80000000u), true, true},
      {"not a PNG", "GIF89a\x01\x00\x01\x00\x00\x00\x00;", true, true},
  };
  for (const PictureCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::string data = Edited([&c](std::vector<WindowDesc>& w) {
      EntryDesc& box = ControlOfType(w, UnitType::kPicBox);
      box.settings.clear();
      if (c.present) box.settings.emplace_back(kSetPicture, c.picture);
    });
    std::string exe = ProgramWithWindowData(data);
    ASSERT_FALSE(exe.empty());
    Outcome run = StartAndClose(exe, /*lookAtPicture=*/true);
    EXPECT_EQ(run.seen, Seen::kWindow) << Name(run.seen);
    EXPECT_EQ(run.plainPicture, c.plain);
    EXPECT_EQ(run.exitCode, 0u);
  }
}

}  // namespace
