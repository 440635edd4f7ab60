// The instrument's side of the editor: what the host is offered, and every
// path that changes a parameter reaching the controls.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "../instrument/InstrumentFixture.h"
#include "EditorTestSupport.h"
#include "EditorLayout.h"
#include "ParamTable.h"

using editor_test::RecordingControl;

namespace {

VstIntPtr Dispatch(AEffect* e, VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                   float opt = 0.0f) {
  return e->dispatcher(e, op, index, value, ptr, opt);
}

TEST(EditorPlug, TheHostIsOfferedAnEditorOnlyWhereAWindowCanOpen) {
  Instrument ins;
  IGraphics* g = ins.q->GetGUI();
  ASSERT_NE(g, nullptr);  // every instance has its editor object
  AEffect* e = ins.q->GetAEffect();
  const bool windows = g->CanOpenWindows();
  EXPECT_EQ((e->flags & effFlagsHasEditor) != 0, windows);
  ERect* rect = nullptr;
  EXPECT_EQ(Dispatch(e, effEditGetRect, 0, 0, &rect), windows ? 1 : 0);
  if (windows) {
    EXPECT_EQ(rect->right, 1072);
    EXPECT_EQ(rect->bottom, 680);
  } else {
    EXPECT_EQ(Dispatch(e, effEditOpen, 0, 0, nullptr), 0);
    EXPECT_EQ(Dispatch(e, effEditClose), 0);
    EXPECT_FALSE(g->IsWindowOpen());
  }
  Dispatch(e, effEditIdle);  // harmless without a window
  // No drawing yet, so no back buffer: an editor that is never opened costs
  // no 2.8 MB.
  EXPECT_EQ(g->BackBuffer(), nullptr);
}

TEST(EditorPlug, EveryPathThatChangesAParameterReachesItsControls) {
  Instrument ins;
  Quarvi& q = *ins.q;
  AEffect* e = q.GetAEffect();
  const int volume = FindParamIndex("Volume");
  const int voices = FindParamIndex("Voices");
  auto* kv = static_cast<RecordingControl*>(q.GetGUI()->AddControl(new RecordingControl(&q, Rect(0, 0, 9, 9), volume)));
  auto* kn = static_cast<RecordingControl*>(q.GetGUI()->AddControl(new RecordingControl(&q, Rect(0, 0, 9, 9), voices)));
  auto shows = [&](RecordingControl* k, int index) {
    return k->GetValue() == q.GetParam(index)->ToNormalized();
  };

  e->setParameter(e, volume, 0.25f);  // host automation
  EXPECT_DOUBLE_EQ(kv->GetValue(), 0.25);

  char text[] = "0.5";
  ASSERT_EQ(Dispatch(e, effString2Parameter, volume, 0, text), 1);  // host text entry
  EXPECT_TRUE(shows(kv, volume));

  Dispatch(e, effSetProgram, 0, 5);  // a program change
  EXPECT_TRUE(shows(kv, volume));
  EXPECT_TRUE(shows(kn, voices));

  q.GetParam(volume)->value = 0.125;  // a bank the host restores
  q.ModifyCurrentPreset();
  void* data = nullptr;
  const VstIntPtr size = Dispatch(e, effGetChunk, 0, 0, &data);
  ASSERT_GT(size, 0);
  std::vector<uint8_t> copy(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
  e->setParameter(e, volume, 0.9f);
  ASSERT_EQ(Dispatch(e, effSetChunk, 0, size, copy.data()), 1);
  EXPECT_DOUBLE_EQ(q.GetParam(volume)->value, 0.125);
  EXPECT_TRUE(shows(kv, volume));

  // A mapped controller: the control shows the value the parameter took
  // (64/127 of 0..31 voices is rounded to 16).
  q.Settings().controllerMap[7] = voices;
  Dispatch(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  Dispatch(e, effSetBlockSize, 0, 64);
  Dispatch(e, effMainsChanged, 0, 1);
  q.HandleMidiMessage(Midi(0xB0, 7, 64));
  float l[64], r[64];
  float* outs[2] = {l, r};
  e->processReplacing(e, nullptr, outs, 64);
  EXPECT_DOUBLE_EQ(q.GetParam(voices)->value, 16.0);
  EXPECT_TRUE(shows(kn, voices));
}

// Host automation, program changes and rendering on the audio thread while
// the user-interface thread collects and draws: what the controls hold is
// written and read without the instance lock, so it has to be race-free.
TEST(VSTEditorConcurrency, AutomationAndProgramChangesWhileTheEditorDraws) {
  Instrument ins;
  Quarvi& q = *ins.q;
  AEffect* e = q.GetAEffect();
  IGraphicsHeadless editor(&q);  // drawn by this test, attached to nothing
  for (int i = 0; i < q.NParams(); ++i) editor.AddControl(new RecordingControl(&q, Rect(i, 0, i + 8, 8), i));
  Dispatch(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
  Dispatch(e, effSetBlockSize, 0, 128);
  Dispatch(e, effMainsChanged, 0, 1);

  std::atomic<bool> stop{false};
  std::thread audio([&] {
    float l[128], r[128];
    float* outs[2] = {l, r};
    for (int n = 0; n < 400; ++n) {
      for (int i = 0; i < 8; ++i) {
        const int index = (n * 8 + i) % q.NParams();
        e->setParameter(e, index, static_cast<float>((n % 10) / 10.0));
        editor.SetControlsFromParam(index, q.GetParam(index)->ToNormalized(), true);
      }
      if (n % 50 == 0) Dispatch(e, effSetProgram, 0, n / 50);
      e->processReplacing(e, nullptr, outs, 128);
    }
    stop = true;
  });
  editor.OpenWindow(nullptr);
  do {
    editor.Tick();
  } while (!stop);
  audio.join();
  editor.Tick();
  for (int i = 0; i < q.NParams(); ++i) {
    EXPECT_EQ(editor.GetControl(i)->GetValue(), q.GetParam(i)->ToNormalized()) << i;
  }
}

}  // namespace

namespace {

// Instances made, drawn and destroyed on several threads at once share one
// decode of every image and one font per style: the process-wide caches are
// locked, and so is drawing text with a shared font.
TEST(VSTEditorCaches, InstancesOnSeveralThreadsShareImagesAndFonts) {
  const int loadsBefore = EditorCaches::BitmapLoads();
  constexpr int kThreads = 3;
  std::vector<std::vector<LICE_IBitmap*>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &seen] {
      for (int round = 0; round < 4; ++round) {
        Instrument ins;
        IGraphics* g = ins.q->GetGUI();
        for (const LayoutImage& image : kEditorImages) {
          const BitmapStrip s = g->LoadBitmapStrip(image.id, image.name, image.frames);
          if (round == 0) seen[t].push_back(s.bitmap);
        }
        g->PrepareDraw();
        TextStyle style("Arial", 15, Color(160, 255, 255, 255));
        for (int i = 0; i < 20; ++i) {
          Rect r(0, 0, 200, 20);
          g->DrawTextInRect(&style, i % 2 ? "Pad: Outer Sphere" : "\xCE\xA9 Bass 07", &r);
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 1; t < kThreads; ++t) EXPECT_EQ(seen[t], seen[0]);
  for (LICE_IBitmap* b : seen[0]) EXPECT_NE(b, nullptr);
  EXPECT_LE(EditorCaches::BitmapLoads() - loadsBefore, 17);
}

}  // namespace
