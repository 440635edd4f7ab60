// The X11 editor without a display (these run with none): construction,
// opening and every question answer nothing and touch no display. The
// window itself is driven under Xvfb by quarvi-gui-rig
// (scripts/tests.d/66-gui-x11.sh).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "../framework/TestPlug.h"
#include "../framework/platform/ScopedEnv_posix.h"
#include "EditorTestSupport.h"
#include "IGraphicsX11.h"

namespace {

TEST(IGraphicsX11, WithoutADisplayNothingOpensAndQuestionsAnswerNothing) {
  ScopedEnv display("DISPLAY", ":199");  // no server there
  ScopedEnv path("PATH", "/nonexistent");  // and no dialog program
  fwtest::TestPlug plug;
  IGraphicsX11 g(&plug, 100, 50);
  EXPECT_TRUE(g.CanOpenWindows());
  EXPECT_STREQ(g.GraphicsApiName(), "X11");
  g.IdleHook();  // idle before any open is a no-op

  EXPECT_EQ(g.OpenWindow(nullptr), nullptr);
  EXPECT_EQ(g.OpenWindow(reinterpret_cast<void*>(static_cast<uintptr_t>(0x400001))), nullptr);  // no display
  EXPECT_FALSE(g.IsWindowOpen());
  EXPECT_EQ(IGraphicsX11::OpenWindowCount(), 0);
  g.CloseWindow();  // harmless when closed
  g.IdleHook();

  editor_test::ExpectClosedWindowQuestionsAnswerNothing(g, "/banks/");
  // Without a window or a dialog program a question is dismissed.
  EXPECT_EQ(g.ShowMessageBox("Sure?", "Q", MB_TYPE_YESNO), MB_RESULT_NO);
  EXPECT_EQ(g.ShowMessageBox("Done.", "Q", MB_TYPE_OK), MB_RESULT_OK);
  EXPECT_FALSE(g.OpenUrl("http://quarvi.invalid/", "Q", "Open it?", nullptr));
  std::string text = "stale";
  EXPECT_FALSE(g.ClipboardText(&text));
  EXPECT_EQ(text, "");
  g.HideCursor();
  g.ShowCursor();
  g.ShowValueEntry(nullptr, TextStyle(), Rect(0, 0, 10, 10), "x", nullptr);
  EXPECT_FALSE(g.EntryOpen());

  std::string f;
  g.HostFolder(&f);
  EXPECT_FALSE(f.empty());
  EXPECT_EQ(f.back(), '/');
  g.AppDataFolder(&f, true);
  EXPECT_EQ(f, "/etc/xdg");
  {
    ScopedEnv dirs("XDG_CONFIG_DIRS", "/opt/xdg:/etc/xdg");
    g.AppDataFolder(&f, true);
    EXPECT_EQ(f, "/opt/xdg");
  }
}

}  // namespace
