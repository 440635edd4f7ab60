// The graphics core: hit testing and the mouse paths, dirty collection and
// the idle count, strict drawing, values pushed from the plug-in, frame
// offsets and text placement.
#include <gtest/gtest.h>

#include <cstring>

#include "EditorTestSupport.h"
#include "lice/lice_text.h"

using editor_test::RecordingControl;
using editor_test::RecordingPlug;

namespace {

struct CoreFixture : ::testing::Test {
  RecordingPlug plug;
  IGraphicsHeadless g{&plug};
  RecordingControl* bg = nullptr;
  RecordingControl* a = nullptr;  // parameter 0 at (10,10)-(50,50)
  RecordingControl* b = nullptr;  // no parameter, overlaps a: (40,40)-(80,80)
  RecordingControl* c = nullptr;  // parameter 2, elsewhere

  void SetUp() override {
    bg = static_cast<RecordingControl*>(g.AddControl(new RecordingControl(&plug, Rect(0, 0, 200, 200))));
    a = static_cast<RecordingControl*>(g.AddControl(new RecordingControl(&plug, Rect(10, 10, 50, 50), 0)));
    b = static_cast<RecordingControl*>(g.AddControl(new RecordingControl(&plug, Rect(40, 40, 80, 80))));
    c = static_cast<RecordingControl*>(g.AddControl(new RecordingControl(&plug, Rect(100, 10, 140, 50), 2)));
  }
  void Click(int x, int y) {
    g.OnMouseDown(x, y, MouseMods());
    g.OnMouseUp(x, y, MouseMods());
  }
};

TEST_F(CoreFixture, ClicksReachTheTopmostControlAndPairBeginAndEndOnParameters) {
  Click(45, 45);  // a and b overlap here: b was added later
  EXPECT_EQ(b->events, (std::vector<std::string>{"down", "up"}));
  EXPECT_TRUE(a->events.empty());
  EXPECT_TRUE(plug.log.empty());  // b has no parameter

  Click(150, 150);  // the background alone
  EXPECT_EQ(bg->events, (std::vector<std::string>{"down", "up"}));
  EXPECT_TRUE(plug.log.empty());

  Click(20, 20);
  EXPECT_EQ(a->events, (std::vector<std::string>{"down", "up"}));
  EXPECT_EQ(plug.log, (std::vector<std::string>{"begin 0", "end 0"}));

  plug.log.clear();
  g.OnMouseDoubleClick(110, 20, MouseMods());  // no begin/end on this path
  EXPECT_EQ(c->events, (std::vector<std::string>{"dbl"}));
  EXPECT_TRUE(plug.log.empty());

  Click(500, 500);  // outside everything
  EXPECT_EQ(bg->events.size(), 2u);
}

TEST_F(CoreFixture, DragsGoToTheCapturedControlOnlyWhenThePointerMoved) {
  g.OnMouseDown(20, 20, MouseMods());
  g.OnMouseDrag(20, 20, MouseMods());  // no movement: nothing
  g.OnMouseDrag(25, 12, MouseMods());
  g.OnMouseDrag(300, 300, MouseMods());  // outside: still the captured one
  g.OnMouseWheel(300, 300, MouseMods(), -1);
  g.OnMouseUp(300, 300, MouseMods());
  EXPECT_EQ(a->events, (std::vector<std::string>{"down", "drag 25,12 5,-8", "drag 300,300 275,288",
                                                 "wheel -1", "up"}));
  EXPECT_EQ(plug.log, (std::vector<std::string>{"begin 0", "end 0"}));
  g.OnMouseDrag(310, 310, MouseMods());  // capture released
  EXPECT_EQ(a->events.size(), 5u);
}

TEST_F(CoreFixture, HiddenAndGrayedControlsAreNotHit) {
  b->Hide(true);
  EXPECT_EQ(g.HitTest(45, 45), 1);
  a->SetGrayed(true);
  EXPECT_EQ(g.HitTest(45, 45), 0);
  EXPECT_FLOAT_EQ(a->Blend().weight, 0.25f);
  a->SetGrayed(false);
  EXPECT_FLOAT_EQ(a->Blend().weight, 1.0f);
  EXPECT_EQ(g.HitTest(45, 45), 1);
}

TEST_F(CoreFixture, TheTwentyFirstQuietTickCallsTheIdleHook) {
  Rect r;
  ASSERT_TRUE(g.CollectDirty(&r));  // everything starts dirty
  EXPECT_EQ(r, Rect(0, 0, 200, 200));
  g.DrawDirty(r);
  for (int tick = 1; tick <= 20; ++tick) ASSERT_FALSE(g.CollectDirty(&r)) << tick;
  EXPECT_TRUE(plug.log.empty());
  EXPECT_FALSE(g.CollectDirty(&r));
  EXPECT_EQ(plug.log, (std::vector<std::string>{"idle"}));

  // A dirty control on any tick starts the count again.
  for (int tick = 1; tick <= 10; ++tick) g.CollectDirty(&r);
  c->SetDirty(false);
  ASSERT_TRUE(g.CollectDirty(&r));
  EXPECT_EQ(r, c->GetRect());
  g.DrawDirty(r);
  for (int tick = 1; tick <= 20; ++tick) g.CollectDirty(&r);
  EXPECT_EQ(plug.log.size(), 1u);
  g.CollectDirty(&r);
  EXPECT_EQ(plug.log.size(), 2u);
}

TEST_F(CoreFixture, StrictDrawingDrawsWhatOverlapsAndKeepsUndrawnChangesForTheNextTick) {
  b->Hide(true);
  g.DrawDirty(Rect(15, 15, 30, 30));
  EXPECT_EQ(bg->draws, 1);
  EXPECT_EQ(a->draws, 1);
  EXPECT_EQ(b->draws, 0);  // hidden
  EXPECT_EQ(c->draws, 0);  // elsewhere
  // Cleaned, except that hiding asked for one more redraw (of what was under
  // it), and c, dirty but outside the paint, keeps its turn.
  for (int i = 0; i < g.NControls(); ++i) EXPECT_EQ(g.GetControl(i)->IsDirty(), i == 2 || i == 3) << i;
  EXPECT_EQ(g.LastPresented(), Rect(15, 15, 30, 30));
  Rect next;
  ASSERT_TRUE(g.CollectDirty(&next));
  EXPECT_EQ(next, b->GetRect().Union(c->GetRect()));

  // A rect that ends exactly at a control's left edge still draws it.
  g.DrawDirty(Rect(60, 20, 100, 30));
  EXPECT_EQ(c->draws, 1);
}

TEST_F(CoreFixture, AControlMarkedWhileBeingDrawnIsDrawnAgainOnTheNextTick) {
  Rect r;
  g.CollectDirty(&r);
  g.DrawDirty(r);
  a->onDraw = [](RecordingControl* self) {
    if (self->draws == 2) self->RequestRedraw();  // a value arrived mid-draw
  };
  a->SetDirty(false);
  ASSERT_TRUE(g.Tick());
  EXPECT_EQ(a->draws, 2);
  ASSERT_TRUE(g.Tick());
  EXPECT_EQ(a->draws, 3);
  EXPECT_FALSE(g.Tick());
  EXPECT_EQ(a->draws, 3);
}

TEST(IControlValues, PushedValuesDefaultsAndClamping) {
  RecordingPlug plug;
  RecordingControl k(&plug, Rect(0, 0, 10, 10), 0);
  k.SetClean();
  k.IControl::OnMouseDoubleClick(5, 5, MouseMods());  // default unknown: nothing
  EXPECT_FALSE(k.IsDirty());

  k.SetValueFromPlugin(0.7);  // the first value is also the default
  EXPECT_DOUBLE_EQ(k.GetValue(), 0.7);
  EXPECT_DOUBLE_EQ(k.GetDefaultValue(), 0.7);
  EXPECT_FALSE(k.IsDirty());
  k.SetValueFromPlugin(0.7);
  EXPECT_FALSE(k.IsDirty());
  k.SetValueFromPlugin(0.2);
  EXPECT_TRUE(k.IsDirty());
  EXPECT_TRUE(k.RedrawRequested());
  EXPECT_TRUE(plug.log.empty());  // values from the plug-in go nowhere

  struct Case { double in, stored; };
  for (const Case& c : {Case{1.3, 1.0}, Case{-0.2, 0.0}, Case{0.25, 0.25}}) {
    k.SetValue(c.in);
    k.SetDirty(false);
    EXPECT_DOUBLE_EQ(k.GetValue(), c.stored) << c.in;
  }
  k.SetValue(0.9);
  k.SetDirty(true);
  EXPECT_EQ(plug.log, (std::vector<std::string>{"set 0 0.9"}));
  EXPECT_DOUBLE_EQ(plug.GetParam(0)->value, 0.9);

  k.IControl::OnMouseDoubleClick(5, 5, MouseMods());  // back to 0.7, pushed
  EXPECT_DOUBLE_EQ(plug.GetParam(0)->value, 0.7);
}

TEST(IGraphicsValues, PlainValuesAreNormalizedAndAuxBindingsTakeTheFirstMatch) {
  RecordingPlug plug;  // parameter 1: "Semis", int -24..24
  IGraphicsHeadless g(&plug);
  auto* k = static_cast<RecordingControl*>(g.AddControl(new RecordingControl(&plug, Rect(0, 0, 5, 5), 1)));
  auto* x = static_cast<RecordingControl*>(g.AddControl(new RecordingControl(&plug, Rect(0, 0, 5, 5))));
  x->AddAuxParam(1);
  x->AddAuxParam(1);
  g.SetControlsFromParam(1, 12.0, false);
  EXPECT_DOUBLE_EQ(k->GetValue(), 0.75);
  EXPECT_DOUBLE_EQ(x->GetAuxParam(0)->value, 0.75);
  EXPECT_DOUBLE_EQ(x->GetAuxParam(1)->value, 0.0);
  g.SetControlsFromParam(1, 99.0, false);  // clamped to the range first
  EXPECT_DOUBLE_EQ(k->GetValue(), 1.0);
}

TEST(IGraphicsDrawing, FramesComeFromTheirOffsetInTheStrip) {
  RecordingPlug plug;
  IGraphicsHeadless g(&plug, 20, 20);
  // An 11-frame strip 176 pixels high (the digits): one colour per row.
  LICE_MemBitmap strip(12, 176);
  for (int y = 0; y < 176; ++y) {
    for (int x = 0; x < 12; ++x) strip.GetBits()[y * strip.GetRowSpan() + x] = LICE_RGBA(y, 0, 0, 255);
  }
  BitmapStrip s;
  s.bitmap = &strip;
  s.W = 12;
  s.H = 176;
  s.N = 11;
  g.AddControl(new RecordingControl(&plug, Rect(0, 0, 20, 20)));
  g.DrawDirty(Rect(0, 0, 20, 20));  // makes the back buffer, sets the draw rect
  struct Case { int frame, firstRow; };
  for (const Case& c : {Case{1, 0}, Case{2, 16}, Case{11, 160}, Case{0, 0}}) {
    ASSERT_TRUE(g.DrawBitmapFrame(s, Rect(0, 0, 12, 16), c.frame));
    EXPECT_EQ(LICE_GETR(g.BackBuffer()->GetBits()[0]), c.firstRow) << c.frame;
  }
  // Clipped to the draw rect: nothing outside it changes.
  g.DrawDirty(Rect(0, 0, 4, 4));
  ASSERT_TRUE(g.DrawBitmapFrame(s, Rect(0, 0, 12, 16), 2));
  const LICE_pixel* px = g.BackBuffer()->GetBits();
  EXPECT_EQ(LICE_GETR(px[0]), 16);
  EXPECT_EQ(LICE_GETR(px[5 * g.BackBuffer()->GetRowSpan()]), 5);  // row 5 as frame 0 left it
  EXPECT_FALSE(g.DrawBitmapFrame(s, Rect(10, 10, 12, 12), 2));  // outside the draw rect
}

// A font that measures every character 10 pixels wide and 12 high.
class TenPixelFont : public LICE_CachedFont {
 public:
  int DrawTextUtf8(LICE_IBitmap*, const char* text, int, LICE_TextRect* r, unsigned flags) override {
    if (flags & LICE_DT_CALCRECT) {
      r->right = r->left + 10 * static_cast<int>(std::strlen(text));
      r->bottom = r->top + 12;
    }
    return 12;
  }
};

TEST(IGraphicsText, MeasuredTextIsPlacedByTheStylesAlignment) {
  EditorCaches::AddFont(10, 0, 0, "TenPixelTestFace", new TenPixelFont());
  RecordingPlug plug;
  IGraphicsHeadless g(&plug);
  struct Case { int align; Rect in, out; };
  const Case cases[] = {
      {TextStyle::kAlignCenter, Rect(100, 0, 200, 10), Rect(130, 0, 170, 12)},
      {TextStyle::kAlignCenter, Rect(-9, 0, 0, 10), Rect(-25, 0, 15, 12)},  // floor of -4.5
      {TextStyle::kAlignFar, Rect(100, 0, 200, 10), Rect(160, 0, 200, 12)},
      {TextStyle::kAlignNear, Rect(100, 5, 200, 10), Rect(100, 5, 140, 17)},
  };
  for (const Case& c : cases) {
    TextStyle style("TenPixelTestFace", 10, Color(255, 255, 255, 255), TextStyle::kNormal, c.align);
    Rect r = c.in;
    ASSERT_TRUE(g.MeasureText(&style, "ABCD", &r));
    EXPECT_EQ(r, c.out) << c.align << " " << c.in.L;
  }
  TextStyle style("TenPixelTestFace", 10, Color());
  Rect r(1, 2, 3, 4);
  EXPECT_TRUE(g.MeasureText(&style, "", &r));  // nothing to measure: untouched
  EXPECT_EQ(r, Rect(1, 2, 3, 4));
}

}  // namespace
