#pragma once
// A plug-in and a control that record what the graphics core asks of them,
// for the editor tests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../framework/TestPlug.h"
#include "IControl.h"
#include "IGraphicsHeadless.h"

namespace editor_test {

// The framework's test plug-in, recording the editor-facing calls in one
// ordered log: "begin 2", "set 2 0.5", "end 2", "idle".
class RecordingPlug : public fwtest::TestPlug {
 public:
  void BeginParamEdit(int i) override { log.push_back("begin " + std::to_string(i)); }
  void EndParamEdit(int i) override { log.push_back("end " + std::to_string(i)); }
  void EditorIdle() override { log.push_back("idle"); }
  void SetParameterFromEditor(int i, double v) override {
    char buf[64];
    std::snprintf(buf, sizeof(buf), "set %d %g", i, v);
    log.push_back(buf);
    TestPlug::SetParameterFromEditor(i, v);
  }
  std::vector<std::string> log;
};

// A plain rectangle that counts what reaches it.
class RecordingControl : public IControl {
 public:
  RecordingControl(IPlugBase* plug, const Rect& r, int param = -1) : IControl(plug, r, param) {}
  bool Draw(IGraphics*) override {
    ++draws;
    if (onDraw) onDraw(this);
    return true;
  }
  void OnMouseDown(int, int, const MouseMods&) override { events.push_back("down"); }
  void OnMouseUp(int, int, const MouseMods&) override { events.push_back("up"); }
  void OnMouseDrag(int x, int y, int dX, int dY, const MouseMods&) override {
    events.push_back("drag " + std::to_string(x) + "," + std::to_string(y) + " " +
                     std::to_string(dX) + "," + std::to_string(dY));
  }
  void OnMouseDoubleClick(int, int, const MouseMods&) override { events.push_back("dbl"); }
  void OnMouseWheel(int, int, const MouseMods&, int d) override {
    events.push_back("wheel " + std::to_string(d));
  }
  int draws = 0;
  std::vector<std::string> events;
  void (*onDraw)(RecordingControl*) = nullptr;
};

// A window layer without a window (closed, or no display): the file and
// colour questions leave their answers as they were and a menu chooses
// nothing.
inline void ExpectClosedWindowQuestionsAnswerNothing(IGraphics& g, const std::string& folder) {
  std::string name = "Bank.fxb", asked = folder;
  g.AskForFile(&name, kFileOpen, &asked, "fxb");
  EXPECT_EQ(name, "");
  EXPECT_EQ(asked, folder);
  Color c(255, 1, 2, 3);
  EXPECT_FALSE(g.AskForColor(&c, "Colour"));
  EXPECT_EQ(c, Color(255, 1, 2, 3));
  PopupMenu menu;
  menu.AddItem("One");
  EXPECT_EQ(g.ShowPopupMenu(&menu, Rect(0, 0, 10, 10)), nullptr);
  EXPECT_EQ(menu.GetChosenItemIdx(), -1);
}

}  // namespace editor_test
