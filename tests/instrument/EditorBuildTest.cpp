// The editor the instrument builds from its layout table, and what the
// instrument does to it on its own: the clip light, the formant knob swap,
// the voice display, the learn switch.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../editor/ControlTestSupport.h"
#include "EditorLayout.h"
#include "IKSControls.h"
#include "IKSWaveDisplay.h"

using control_test::HostLog;
using control_test::RecordingHost;

namespace {

// A real instance whose layout is built into an open headless editor.
struct LayoutEditor {
  std::unique_ptr<Quarvi> q{new Quarvi(&RecordingHost)};
  IGraphicsHeadless* g = new IGraphicsHeadless(q.get());

  LayoutEditor() {
    q->InstallEditor(g);
    g->OpenWindow(nullptr);
    HostLog().clear();
  }
  IControl* Row(int row) const { return g->GetControl(row); }
  // As the host sets a parameter (the controls get the value too).
  void Set(const char* name, double plain) {
    const int i = FindParamIndex(name);
    AEffect* e = q->GetAEffect();
    e->setParameter(e, i, static_cast<float>(q->GetParam(i)->ToNormalized(plain)));
  }
  void Idle() { q->EditorIdle(); }
  bool Visible(int row) const { return !Row(row)->IsHidden(); }
  // An overload through the output: full volume, soft clip off, a loud chord.
  bool Overload() {
    q->SetSampleRate(48000);
    q->ResetProcessing();
    q->SetActive(true);
    Set("Volume", 1.0);
    Set("SoftClip", 0);
    for (int key : {36, 43, 48, 55, 60, 64, 67, 72}) q->HandleMidiMessage(Midi(0x90, key, 127));
    std::vector<double> l(512), r(512);
    double* out[2] = {l.data(), r.data()};
    for (int block = 0; block < 94; ++block) {
      q->ProcessBlock(nullptr, out, 512);
      for (int i = 0; i < 512; ++i)
        if (l[i] > 1.0 || l[i] < -1.0 || r[i] > 1.0 || r[i] < -1.0) return true;
    }
    return false;
  }
};

Rect ToRect(const LayoutRect& r) { return Rect(r.L, r.T, r.R, r.B); }

const BitmapStrip* StripOf(IControl* c) {
  if (auto* b = dynamic_cast<IBitmapControl*>(c)) return &b->Strip();
  if (auto* k = dynamic_cast<IKnobMultiControl*>(c)) return &k->Strip();
  return nullptr;
}

}  // namespace

TEST(EditorBuild, EveryRowOfTheTableBecomesItsControl) {
  LayoutEditor e;
  ASSERT_EQ(e.g->NControls(), kEditorControlCount);
  const Rect window(0, 0, kEditorWidth, kEditorHeight);
  for (int row = 0; row < kEditorControlCount; ++row) {
    SCOPED_TRACE(row);
    const LayoutControl& t = kEditorControls[row];
    IControl* c = e.Row(row);
    EXPECT_EQ(c->GetRect(), ToRect(t.rect));
    EXPECT_EQ(c->GetRect().Intersect(window), c->GetRect());
    EXPECT_EQ(c->ParamIdx(), t.param);
    EXPECT_EQ(c->IsHidden(), t.startsHidden);
    // Every image is loaded and shows frames of exactly the control's size.
    if (const BitmapStrip* s = StripOf(c)) {
      ASSERT_NE(s->bitmap, nullptr);
      EXPECT_EQ(s->N, FindEditorImage(t.image)->frames);
      if (t.kind != LayoutKind::Voices) {
        EXPECT_EQ(s->FrameWidth(), c->GetRect().W());
        EXPECT_EQ(s->FrameHeight(), c->GetRect().H());
      }
    } else if (t.kind != LayoutKind::Voices) {  // the digits are its own
      EXPECT_EQ(t.image, 0);
    }
    if (t.kind == LayoutKind::Knob) EXPECT_EQ(static_cast<IKSKnobControl*>(c)->Reversed(), t.reverse);
    if (t.kind == LayoutKind::Source)
      EXPECT_EQ(static_cast<IKSSourceControl*>(c)->Menu().NItems(), t.fullSources ? 19 : 13);
  }
  EXPECT_EQ(e.Row(0)->Blend().method, ChannelBlend::kClobber);
  EXPECT_TRUE(static_cast<IKSSwitchMidiLearn*>(e.Row(LayoutIndex::kLearnSwitch))->LearnMode());
  EXPECT_FALSE(e.q->Settings().learnActive);

  // The version text carries the version the host is told, then the build.
  const int v = e.q->GetAEffect()->version;  // 20004
  const std::string version = "v " + std::to_string(v / 10000) + "." + std::to_string(v / 100 % 100) + "." +
                              std::to_string(v % 100) + "." + std::to_string(kBuildNumber);
  auto* text = static_cast<ITextControl*>(e.Row(LayoutIndex::kVersionText));
  EXPECT_EQ(text->Text(), version);
  EXPECT_EQ(version, kVersionText);
  // Right-aligned: it ends at x = 1020 whatever its width.
  TextStyle style = text->Style();
  Rect measured = text->GetRect();
  ASSERT_TRUE(e.g->MeasureText(&style, text->Text().c_str(), &measured));
  EXPECT_EQ(measured.R, 1020);
  EXPECT_GT(measured.L, 944);
}

// The images are decoded once per process; an instance whose editor never
// opens has no back buffer.
TEST(EditorBuild, ASecondInstanceDecodesNoImage) {
  std::unique_ptr<Quarvi> first(new Quarvi(nullptr));
  const int loads = EditorCaches::BitmapLoads();
  std::unique_ptr<Quarvi> second(new Quarvi(nullptr));
  EXPECT_EQ(EditorCaches::BitmapLoads(), loads);
  EXPECT_EQ(second->GetGUI()->NControls(), kEditorControlCount);
  EXPECT_EQ(second->GetGUI()->BackBuffer(), nullptr);
}

// With the formants "Fixed" (Freq knobs shown) and then "Partial" (Part
// knobs shown), a click at the centre of every control reaches that control,
// and a parameter control's click reaches its parameter first.
TEST(EditorBuild, AClickAtTheCentreOfEveryControlReachesIt) {
  LayoutEditor e;
  std::vector<int> reached(kEditorControlCount, 0);
  for (int type : {0, 1}) {
    for (const char* name : {"Type F1", "Type F2", "Type F3"}) e.Set(name, type);
    e.Idle();
    for (int row = 1; row < kEditorControlCount; ++row) {
      if (!e.Visible(row)) continue;
      SCOPED_TRACE(row);
      const Rect& r = e.Row(row)->GetRect();
      const int x = (r.L + r.R) / 2, y = (r.T + r.B) / 2;
      EXPECT_EQ(e.g->HitTest(x, y), row);
      const int param = kEditorControls[row].param;
      if (param < 0) continue;
      HostLog().clear();
      MouseMods m;
      m.L = true;
      e.g->OnMouseDown(x, y, m);
      e.g->OnMouseUp(x, y, m);
      ASSERT_FALSE(HostLog().empty());
      EXPECT_EQ(HostLog().front(), "begin " + std::to_string(param));
      EXPECT_EQ(HostLog().back(), "end " + std::to_string(param));
      ++reached[row];
    }
  }
  int parameterControls = 0, missed = 0;
  for (int row = 0; row < kEditorControlCount; ++row) {
    if (kEditorControls[row].param < 0) continue;
    ++parameterControls;
    missed += reached[row] == 0;
  }
  EXPECT_EQ(parameterControls, 119);
  EXPECT_EQ(missed, 0);
}

TEST(EditorBuild, FormantTypeSwapsFreqAndPartKnobsOnTheNextIdle) {
  LayoutEditor e;
  const int freq2 = LayoutIndex::kFreqKnob[1], part2 = LayoutIndex::kPartKnob[1];
  e.Set("Type F2", 0);  // "Fixed"
  e.Idle();
  EXPECT_TRUE(e.Visible(freq2));
  EXPECT_FALSE(e.Visible(part2));
  EXPECT_EQ(e.Row(freq2)->GetRect(), Rect(310, 304, 350, 344));
  EXPECT_EQ(e.g->HitTest(330, 324), freq2);

  e.g->Tick();
  e.Set("Type F2", 2);  // "Ring": nothing moves before the idle call
  EXPECT_TRUE(e.Visible(freq2));
  EXPECT_FALSE(e.Row(LayoutIndex::kWaveDisplay[1])->IsDirty());
  e.Idle();
  EXPECT_FALSE(e.Visible(freq2));
  EXPECT_TRUE(e.Visible(part2));
  for (int k = 0; k < 3; ++k) EXPECT_TRUE(e.Row(LayoutIndex::kWaveDisplay[k])->IsDirty());

  // (120, 320) reaches whichever of "Freq F1" and "Part F1" shows.
  for (int type : {0, 1, 2, 0}) {
    e.Set("Type F1", type);
    e.Idle();
    HostLog().clear();
    e.g->OnMouseDown(120, 320, MouseMods());
    e.g->OnMouseUp(120, 320, MouseMods());
    ASSERT_FALSE(HostLog().empty());
    EXPECT_EQ(HostLog().front(), type == 0 ? "begin 20" : "begin 21") << type;
  }
}

TEST(EditorBuild, TheClipLightShowsForOneIdlePeriodAfterAnOverload) {
  LayoutEditor e;
  const int led = LayoutIndex::kClipLed;
  e.Idle();
  EXPECT_FALSE(e.Visible(led));
  e.g->CloseWindow();
  ASSERT_TRUE(e.Overload());
  e.Idle();  // closed: the flag is left for the open window
  EXPECT_FALSE(e.Visible(led));
  e.g->OpenWindow(nullptr);
  e.Idle();
  EXPECT_TRUE(e.Visible(led));
  e.g->Tick();
  EXPECT_EQ(e.g->HitTest(896, 236), led);
  e.q->TakeClipIndicator();  // the chord still sounds: no further overload
  e.Idle();
  EXPECT_FALSE(e.Visible(led));
  EXPECT_TRUE(e.Row(led)->IsDirty());  // its place is redrawn without it
}

TEST(EditorBuild, UnisonRedrawsTheVoiceDisplay) {
  LayoutEditor e;
  while (e.g->Tick()) {
  }
  IControl* voices = e.Row(LayoutIndex::kVoiceDisplay);
  for (double unison : {0.0, 1.0, 0.0}) {
    e.Set("Unison", unison);
    EXPECT_TRUE(voices->IsDirty()) << unison;
    e.g->Tick();
  }
}

TEST(EditorBuild, TheUtilityMenuAreaShowsTheBackgroundAndOpensTheMenu) {
  LayoutEditor e;
  e.g->DrawAll();
  const Rect area = ToRect(kEditorControls[LayoutIndex::kUtilityMenu].rect);
  EXPECT_EQ(area, Rect(950, 133, 998, 157));
  LICE_IBitmap* back = static_cast<IBitmapControl*>(e.Row(0))->Strip().bitmap;
  LICE_IBitmap* shown = e.g->BackBuffer();
  int differing = 0;
  for (int y = area.T; y < area.B; ++y)
    for (int x = area.L; x < area.R; ++x)
      differing += (shown->GetBits()[y * shown->GetRowSpan() + x] & 0xffffff) !=
                   (back->GetBits()[y * back->GetRowSpan() + x] & 0xffffff);
  EXPECT_EQ(differing, 0);
  e.g->OnMouseDown(974, 145, MouseMods());
  ASSERT_EQ(e.g->menus.size(), 1u);
  EXPECT_EQ(e.g->menus[0].items.front().text, "Copy Program");
}

TEST(EditorBuild, ACompletedLearnTurnsTheSwitchOff) {
  LayoutEditor e;
  auto* sw = static_cast<IKSSwitchMidiLearn*>(e.Row(LayoutIndex::kLearnSwitch));
  const Rect& r = sw->GetRect();
  MouseMods m;
  m.L = true;
  e.g->OnMouseDown(r.L + 5, r.T + 5, m);
  e.g->OnMouseUp(r.L + 5, r.T + 5, m);
  EXPECT_TRUE(e.q->Settings().learnActive);
  EXPECT_EQ(sw->GetValue(), 1.0);
  e.Set("Pan 1", 0.3);
  e.q->HandleMidiMessage(Midi(0xB0, 21, 64));
  EXPECT_EQ(e.q->Settings().controllerMap[21], FindParamIndex("Pan 1"));
  EXPECT_EQ(sw->GetValue(), 0.0);
  EXPECT_TRUE(sw->IsDirty());

  // Another editor attached in its place: the instrument lets go of the
  // old controls (a gesture or an idle call must not reach them).
  e.q->DestroyEditor();
  auto* other = new IGraphicsHeadless(e.q.get());
  e.q->AttachEditor(other);
  other->OpenWindow(nullptr);
  e.q->ArmLearn(true, false);
  e.Set("Pan 1", 0.4);
  e.q->HandleMidiMessage(Midi(0xB0, 22, 64));
  EXPECT_FALSE(e.q->Settings().learnActive);
  e.q->EditorIdle();
  e.Set("Unison", 1);
}
