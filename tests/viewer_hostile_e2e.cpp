// The browser panel's built-in viewer (the engine under Wine here) against
// pages it cannot expect: a load still running when the window closes, a
// body that is no text or not code page 936, a very large body. Copies of the
// program whose panel shows such an address open, answer, and end with 0.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/text_viewer_engine.h"
#include "driver/driver.h"
#include "driver/servers.h"
#include "program_copies.h"

namespace {

// A copy of the program whose panel shows `url` instead of the list.
std::string ProgramShowing(const std::string& url) {
  return ProgramWithWindowData(Edited([&url](std::vector<WindowDesc>& w) {
    SetSetting(ControlOfType(w, UnitType::kHtmlViewer), kSetUrl, url);
  }));
}

class ViewerHostile : public testing::Test {
 protected:
  void TearDown() override { program.Kill(); }

  // Starts a copy showing `path` of the HTTP server; the viewer's window.
  HWND Start(const std::string& path) {
    ClearRequests();
    std::string exe = ProgramShowing(HttpUrl(path));
    EXPECT_FALSE(exe.empty());
    if (exe.empty() || !program.Start(exe)) return nullptr;
    HWND panel = FindWindowExA(program.Window(), nullptr, "VarnookHtmlViewer", nullptr);
    HWND viewer = panel ? GetWindow(panel, GW_CHILD) : nullptr;
    EXPECT_EQ(ClassNameOf(viewer), "VarnookTextViewer");
    EXPECT_TRUE(WaitUntil([&] { return !RequestsFor(path).empty(); }, 20000))
        << "the panel asked for nothing";
    return viewer;
  }

  // How many characters the viewer shows.
  static LRESULT ShownLength(HWND viewer) {
    DWORD_PTR length = 0;
    SendMessageTimeoutA(viewer, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 20000, &length);
    return static_cast<LRESULT>(length);
  }

  // Closes the window the ordinary way; the process must end with 0.
  void CloseAndExpectExitZero() {
    PostMessageA(program.Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitExit(30000), 0u) << "the program did not end, or ended badly";
  }

  Program program;
};

// The server takes the request and then says nothing for an hour, before its
// answer or in the body, or sends a byte now and then for ever: the window
// closes and the process ends with the load still waiting.
TEST_F(ViewerHostile, ClosingWhileTheLoadWaitsEndsTheProgram) {
  for (const char* path : {"/mute/3600", "/stall/3600", "/trickle/500"}) {
    SCOPED_TRACE(path);
    HWND viewer = Start(path);
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(ShownLength(viewer), 0) << "the load was meant to be still running";
    CloseAndExpectExitZero();
    program.Kill();
  }
}

// Bytes that are no text in any code page, and text in other code pages: the
// viewer shows what it makes of them up to the first zero byte and goes on.
TEST_F(ViewerHostile, BinaryAndForeignTextAreShownWithoutHarm) {
  struct Case {
    const char* path;
    LRESULT atLeast;  // characters the viewer must show at least
  } cases[] = {{"/binary", 500}, {"/notgbk", 20}, {"/zeros", 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    HWND viewer = Start(c.path);
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return ShownLength(viewer) >= c.atLeast; }, 20000)) << ShownLength(viewer);
    BringToFront(program.Window());
    RedrawWindow(program.Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    CloseAndExpectExitZero();
    program.Kill();
  }
}

// A body of 64 MB without a length: the viewer shows its first 4 MB, cut
// after a line end and followed by a note, and the window still closes.
TEST_F(ViewerHostile, VeryLargeBodyIsShownInPartAndTheWindowStillCloses) {
  const size_t size = 64u << 20;
  const std::string path = "/nolen/" + std::to_string(size);
  HWND viewer = Start(path);
  ASSERT_NE(viewer, nullptr);
  // The served pattern ends a line every 64 bytes, so the cut falls exactly
  // at the limit; every line end becomes CR LF in the viewer.
  const LRESULT cut = static_cast<LRESULT>(kMostShownBytes + kMostShownBytes / 64);
  EXPECT_TRUE(WaitUntil([&] { return ShownLength(viewer) > cut; }, 60000)) << ShownLength(viewer);
  EXPECT_LT(ShownLength(viewer), cut + 100);  // the note, not the rest of the page
  CloseAndExpectExitZero();
}

}  // namespace
