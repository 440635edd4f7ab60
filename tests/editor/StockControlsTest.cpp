// The stock controls: switch stepping and wrapping, the contact's release,
// knob gearing and fine adjustment, filmstrip frames and wheel steps, and
// the text control.
#include <gtest/gtest.h>

#include "ControlTestSupport.h"
#include "EditorTestSupport.h"

using control_test::RecordingFont;
using control_test::ShownAt;
using control_test::TestStrip;
using editor_test::RecordingPlug;

namespace {

TEST(StockControls, SwitchesStepThroughTheirFramesAndWrap) {
  RecordingPlug plug;
  for (int frames : {3, 2, 1}) {  // one frame steps by 1 as well
    TestStrip s(14, 30 * frames, frames, 1);
    ISwitchControl sw(&plug, 0, 0, 2, s.strip);
    std::vector<double> seen;
    for (int click = 0; click < 4; ++click) {
      sw.OnMouseDown(1, 1, MouseMods());
      seen.push_back(sw.GetValue());
    }
    EXPECT_EQ(seen, frames == 3 ? (std::vector<double>{0.5, 1, 0, 0.5}) : (std::vector<double>{1, 0, 1, 0}));
  }
  TestStrip s(14, 90, 3, 1);
  IContactControl contact(&plug, 0, 0, 2, s.strip);
  plug.log.clear();
  contact.OnMouseDoubleClick(1, 1, MouseMods());  // a double-click is one more click
  contact.OnMouseUp(1, 1, MouseMods());           // and a contact springs back
  EXPECT_EQ(plug.log, (std::vector<std::string>{"set 2 0.5", "set 2 0"}));
}

struct PlainKnob : IKnobControl {
  using IKnobControl::IKnobControl;
  bool Draw(IGraphics*) override { return true; }
};

TEST(StockControls, KnobGearingFramesAndWheel) {
  RecordingPlug plug;
  MouseMods shift, control;
  shift.S = true;
  control.C = true;
  PlainKnob v(&plug, Rect(0, 0, 40, 40), 0);  // gearing 4: four heights sweep the range
  struct Drag { int dY; MouseMods mods; double value; };
  for (const Drag& d : {Drag{-80, MouseMods(), 0.5}, Drag{80, shift, 0.45}, Drag{-16, control, 0.46},
                        Drag{-1000, MouseMods(), 1.0}}) {
    v.OnMouseDrag(0, 0, 0, d.dY, d.mods);
    EXPECT_DOUBLE_EQ(v.GetValue(), d.value) << d.dY;
  }
  PlainKnob h(&plug, Rect(0, 0, 20, 40), 0, IKnobControl::kHorizontal, 2.0);
  h.OnMouseDrag(0, 0, 10, -500, MouseMods());  // only dX counts: 10 / 20 / 2
  EXPECT_DOUBLE_EQ(h.GetValue(), 0.25);

  IGraphicsHeadless g(&plug);
  TestStrip s(40, 2600, 65, 0);
  auto* k = static_cast<IKnobMultiControl*>(g.AddControl(new IKnobMultiControl(&plug, 10, 20, 0, s.strip)));
  EXPECT_EQ(k->GetRect(), Rect(10, 20, 50, 60));
  const double half = 0.5 / 64;  // where frame 2 begins
  for (auto vf : {std::make_pair(0.0, 1), {half - 1e-9, 1}, {half, 2}, {1.0, 65}, {-0.3, 1}, {1.7, 65}}) {
    k->SetValue(vf.first);
    g.DrawAll();
    EXPECT_EQ(ShownAt(g, 10, 20), vf.second) << vf.first;
  }
  k->SetValue(0.5);
  k->OnMouseWheel(0, 0, MouseMods(), 3);
  k->OnMouseWheel(0, 0, shift, -10);
  EXPECT_DOUBLE_EQ(k->GetValue(), 0.52);
}

TEST(StockControls, TextControlRedrawsOnlyForANewText) {
  RecordingPlug plug;
  IGraphicsHeadless g(&plug);
  auto* t = static_cast<ITextControl*>(g.AddControl(new ITextControl(&plug, Rect(9, 1, 90, 20), TextStyle(), "v 2")));
  RecordingFont font;
  t->Style().font = &font;
  g.DrawAll();
  t->SetTextFromPlugin("v 2");
  EXPECT_FALSE(t->IsDirty());
  t->SetTextFromPlugin("v 3");
  EXPECT_TRUE(t->IsDirty());
  g.DrawAll();
  t->SetTextFromPlugin("");
  g.DrawAll();  // an empty text draws nothing
  ASSERT_EQ(font.drawn.size(), 2u);
  EXPECT_EQ(font.drawn[1].text, "v 3");
  EXPECT_EQ(font.drawn[1].rect, Rect(9, 1, 90, 20));
}

}  // namespace
