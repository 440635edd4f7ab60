// The Windows editor without a window (these run with no display): what it
// answers before it is opened, and parents it refuses. The window itself is
// driven under Xvfb by quarvi-gui-rig (scripts/tests.d/65-gui-wine.sh).
#include <gtest/gtest.h>

#include <windows.h>

#include "../framework/TestPlug.h"
#include "EditorTestSupport.h"
#include "IGraphicsWin.h"

namespace {

TEST(IGraphicsWin, WithoutAWindowQuestionsAnswerNothingAndBadParentsRegisterNothing) {
  fwtest::TestPlug plug;
  HINSTANCE module = GetModuleHandleW(nullptr);
  IGraphicsWin g(&plug, module, 100, 50);
  EXPECT_TRUE(g.CanOpenWindows());
  EXPECT_STREQ(g.GraphicsApiName(), "Windows GDI");

  EXPECT_EQ(g.OpenWindow(nullptr), nullptr);
  EXPECT_EQ(g.OpenWindow(reinterpret_cast<void*>(static_cast<intptr_t>(0x7654321))), nullptr);
  EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 0);
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  EXPECT_FALSE(GetClassInfoExA(module, IGraphicsWin::kWindowClass, &wc));
  g.CloseWindow();  // harmless when closed
  EXPECT_FALSE(g.IsWindowOpen());

  editor_test::ExpectClosedWindowQuestionsAnswerNothing(g, "C:\\banks\\");
}

}  // namespace
