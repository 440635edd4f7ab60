// The instrument's controls on a real instance with a headless editor:
// gesture arithmetic, what the host is told, frames and texts drawn, menus
// and the commands they reach.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "ControlTestSupport.h"
#include "IKSControls.h"
#include "IKSWaveDisplay.h"
#include "Maker.h"

using control_test::EditorInstrument;
using control_test::HostLog;
using control_test::RecordingFont;
using control_test::ShownAt;
using control_test::TestStrip;
using Strings = std::vector<std::string>;

namespace {

const int kPartF1 = 21, kSend1F1 = 24, kSoftClip = 5, kVoices = 0, kUnison = 111, kPan1 = 68;
const Rect kNumberRect(882, 137, 906, 151), kNameRect(856, 110, 1048, 124);

Strings Texts(const std::vector<IGraphicsHeadless::MenuItemRecord>& items) {
  Strings t;
  for (const auto& i : items) t.push_back(i.text);
  return t;
}

TEST(IKSKnob, ReverseKnobsAndThePartialNumberGearing) {
  EditorInstrument e;
  TestStrip s(40, 2600, 65, 1);
  auto* send = e.Add(new IKSKnobControl(e.q.get(), 70, 495, s.strip, kSend1F1, true));
  for (double v : {1.0, 0.0}) {
    send->SetValue(v);
    e.Draw();
    EXPECT_EQ(ShownAt(*e.g, 70, 495), v == 1.0 ? 101 : 165);
  }
  send->SetValue(0.5);
  send->OnMouseDrag(0, 0, 0, -16, MouseMods());  // up lowers a reversed knob
  send->OnMouseWheel(0, 0, MouseMods(), 1);      // and so does the wheel
  EXPECT_DOUBLE_EQ(send->GetValue(), 0.39);

  // "Part F1" (1..50): 4.9 heights sweep the range, 490 with Shift; a notch
  // is half a partial number, a hundredth with Shift.
  auto* part = e.Add(new IKSKnobControl(e.q.get(), 102, 304, s.strip, kPartF1));
  MouseMods fine;
  fine.S = true;
  e.g->OnMouseDown(110, 310, MouseMods());
  e.g->OnMouseDrag(110, 310 - 98, MouseMods());  // 2.45 heights up
  EXPECT_NEAR(part->GetValue(), 0.5, 1e-12);
  e.g->OnMouseDrag(110, 310 + 98, fine);  // 4.9 heights down, fine
  EXPECT_NEAR(part->GetValue(), 0.49, 1e-12);
  e.g->OnMouseUp(110, 310, MouseMods());
  part->SetValue(0.0);
  struct Step { int d; bool fine; double plain; };
  for (const Step& st : {Step{1, false, 1.5}, Step{3, true, 1.51}, Step{0, false, 1.51}, Step{-5, false, 1.01},
                         Step{-1, false, 1.0}}) {
    part->OnMouseWheel(0, 0, st.fine ? fine : MouseMods(), st.d);
    EXPECT_NEAR(e.Value(kPartF1), st.plain, 1e-12) << st.d;
  }
}

TEST(IKSButton, AClickTogglesTheParameterAndTheHostSeesNewOldNew) {
  EditorInstrument e;
  TestStrip off(24, 80, 2, 1), on(24, 80, 2, 2);
  e.Add(new IKSButtonKick(e.q.get(), 860, 217, kSoftClip, off.strip, on.strip));
  e.Draw();
  EXPECT_EQ(ShownAt(*e.g, 860, 217), 101);
  e.g->OnMouseDown(870, 230, MouseMods());
  e.Draw();
  EXPECT_EQ(ShownAt(*e.g, 860, 217), 202);  // on, pressed
  e.g->OnMouseUp(870, 230, MouseMods());
  e.Draw();
  EXPECT_EQ(ShownAt(*e.g, 860, 217), 201);
  EXPECT_EQ(HostLog(), (Strings{"begin 5", "set 5 1", "set 5 0", "set 5 1", "end 5"}));
  HostLog().clear();
  e.Click(870, 230);
  EXPECT_EQ(HostLog(), (Strings{"begin 5", "set 5 0", "set 5 1", "set 5 0", "end 5"}));
  EXPECT_EQ(e.Value(kSoftClip), 0.0);
  e.q->GetParam(kSoftClip)->value = 1.0;  // the image follows the parameter itself
  e.Draw();
  EXPECT_EQ(ShownAt(*e.g, 860, 217), 201);
}

TEST(IKSProgramArrows, WrapAndKeepTheEditOfTheProgramLeft) {
  EditorInstrument e;
  TestStrip arrow(24, 48, 2, 1);
  // The arrows lie over the program display, as in the editor.
  auto* display = e.Add(new IKSPresetMenu(e.q.get(), kNumberRect, kNameRect));
  auto* prev = e.Add(new IKSUtilityKick(e.q.get(), 856, 133, EditorCommand::kPreviousProgram, arrow.strip));
  e.Add(new IKSUtilityKick(e.q.get(), 908, 133, EditorCommand::kNextProgram, arrow.strip));
  e.q->SetProgramDisplay(display);
  e.q->GetParam(4)->value = 0.25;  // an edit of program 0 not yet stored
  e.g->OnMouseDown(860, 140, MouseMods());
  EXPECT_EQ(e.q->GetCurrentPresetIdx(), 63);
  EXPECT_DOUBLE_EQ(prev->GetValue(), 1.0);  // pressed while held
  EXPECT_TRUE(display->IsDirty());
  e.g->OnMouseUp(860, 140, MouseMods());
  EXPECT_DOUBLE_EQ(prev->GetValue(), 0.0);
  EXPECT_EQ(HostLog().size(), 117u);  // the program, then every value
  EXPECT_EQ(HostLog()[0], "program");
  e.Click(910, 140);
  EXPECT_EQ(e.q->GetCurrentPresetIdx(), 0);
  EXPECT_DOUBLE_EQ(e.Value(4), 0.25);
}

TEST(IKSLearnSwitch, GesturesInBothOrdersAndTheModeSwap) {
  EditorInstrument e;
  TestStrip learn(48, 48, 2, 1), knob(40, 2600, 65, 2);
  auto* sw = e.Add(new IKSSwitchMidiLearn(e.q.get(), 1000, 133, learn.strip));
  e.Add(new IKSKnobControl(e.q.get(), 660, 217, knob.strip, kPan1));
  Config& c = e.q->Settings();
  c.onLearnFinished = [sw] { sw->LearnFinished(); };
  auto moveKnob = [&] {
    e.g->OnMouseDown(670, 230, MouseMods());
    e.g->OnMouseDrag(670, 220, MouseMods());
    e.g->OnMouseUp(670, 220, MouseMods());
  };
  e.Click(1010, 140);
  EXPECT_TRUE(c.learnActive && !c.unlearnMode);
  e.Click(1010, 140, true);  // armed: the right button does nothing
  e.Click(1010, 140);        // cancels
  EXPECT_TRUE(!c.learnActive && sw->LearnMode() && sw->GetValue() == 0.0);

  e.Click(1010, 140);
  moveKnob();
  EXPECT_DOUBLE_EQ(sw->GetValue(), 1.0);  // waits for the controller
  e.q->HandleMidiMessage(Midi(0xB0, 21, 100));
  EXPECT_EQ(c.controllerMap[21], kPan1);
  EXPECT_TRUE(sw->GetValue() == 0.0 && sw->IsDirty());
  e.Click(1010, 140);
  e.q->HandleMidiMessage(Midi(0xB0, 22, 100));  // the controller first
  EXPECT_DOUBLE_EQ(sw->GetValue(), 1.0);
  moveKnob();
  EXPECT_TRUE(c.controllerMap[22] == kPan1 && c.controllerMap[21] == -1 && sw->GetValue() == 0.0);

  e.Click(1010, 140, true);  // idle: unlearn, with its image; the instrument is untouched
  EXPECT_EQ(sw->ImageId(), LearnImage::kUnlearnId);
  EXPECT_EQ(sw->Strip().bitmap, e.g->LoadBitmapStrip(16, "resources/img/unlearn.png", 2).bitmap);
  EXPECT_FALSE(c.learnActive);
  e.Click(1010, 140);
  EXPECT_TRUE(c.learnActive && c.unlearnMode);
  e.q->HandleMidiMessage(Midi(0xB0, 22, 0));
  EXPECT_EQ(c.controllerMap[22], -1);
  EXPECT_TRUE(sw->GetValue() == 0.0 && !sw->LearnMode());  // stays in unlearn mode
  e.Click(1010, 140, true);
  EXPECT_EQ(sw->Strip().bitmap, e.g->LoadBitmapStrip(12, "resources/img/learn.png", 2).bitmap);
}

TEST(IKSMenus, SourceAndWaveformMenusSetTheChosenValue) {
  EditorInstrument e;
  auto* full = e.Add(new IKSSourceControl(e.q.get(), 162, 143, 9, true));  // "FM1Src 1", LFO1
  auto* uni = e.Add(new IKSSourceControl(e.q.get(), 42, 448, 32, false));  // "AMSrc F1", Env3
  auto* wave = e.Add(new IKSPopupControl(e.q.get(), 696, 79));              // "LFOWav 1"
  e.g->menuChoices.push_back({0});
  e.Click(170, 150);
  e.Click(50, 450);  // closed without a choice
  e.g->menuChoices.push_back({5});
  e.Click(700, 405);
  const auto& m = e.g->menus.at(0);
  ASSERT_EQ(m.items.size(), 19u);
  EXPECT_EQ(m.items[18].text, "PBend");
  for (int i = 0; i < 19; ++i) EXPECT_EQ(m.items[i].flags, i == 13 ? PopupMenuItem::kChecked : 0) << i;
  EXPECT_EQ(e.g->menus[1].items.size(), 13u);
  EXPECT_EQ(Texts(e.g->menus[2].items), (Strings{"Sine", "Triangle", "Square", "Saw Down", "Saw Up", "S/H", "3-Step"}));
  EXPECT_EQ(e.Value(9), 0.0);
  EXPECT_EQ(e.Value(32), 7.0);
  EXPECT_EQ(e.Value(79), 5.0);

  RecordingFont bright, dim;
  for (IKSSourceControl* s : {full, uni}) {
    s->Style().font = &bright;
    s->DimStyle().font = &dim;
  }
  wave->Style().font = &bright;
  e.Draw();
  ASSERT_EQ(dim.drawn.size(), 1u);
  EXPECT_EQ(dim.drawn[0].text, "Off");
  EXPECT_EQ(LICE_GETA(dim.drawn[0].color), 96);
  ASSERT_EQ(bright.drawn.size(), 2u);
  EXPECT_EQ(bright.drawn[0].text + " " + bright.drawn[1].text, "Env3 S/H");
  EXPECT_EQ(LICE_GETA(bright.drawn[0].color), 192);
}

TEST(IKSVoices, DigitsMenuAndWheel) {
  EditorInstrument e;
  TestStrip digits(12, 176, 11, 1);
  auto* v = e.Add(new IKSVoicesControl(e.q.get(), Rect(686, 111, 726, 127), digits.strip));
  auto set = [&](int index, double plain) {
    e.q->SetParameterFromEditor(index, e.q->GetParam(index)->ToNormalized(plain));
  };
  auto draw = [&] {
    e.g->PrepareDraw();
    std::fill_n(e.g->BackBuffer()->GetBits(), e.g->BackBuffer()->GetRowSpan() * 680, 0u);
    e.Draw();
  };
  set(kUnison, 0);
  set(kVoices, 7);  // 8 voices: "0" at L + 10, "8" at L + 20, cut to the digit's width
  draw();
  EXPECT_EQ(ShownAt(*e.g, 696, 111), 101);
  EXPECT_EQ(ShownAt(*e.g, 706, 111), 109);
  EXPECT_EQ(ShownAt(*e.g, 718, 111), 0);
  set(kUnison, 1);
  set(kVoices, 3);  // unison 2, 8 voices: "2", the separator (row 160), "0", "8"
  draw();
  EXPECT_EQ(ShownAt(*e.g, 688, 111), 103);
  EXPECT_EQ(ShownAt(*e.g, 700, 111), 111);
  EXPECT_EQ(ShownAt(*e.g, 704, 111), 101);
  EXPECT_EQ(ShownAt(*e.g, 712, 111), 109);

  e.g->menuChoices.push_back({31});
  e.Click(700, 115);
  const auto& items = e.g->menus.at(0).items;
  ASSERT_EQ(items.size(), 32u);
  EXPECT_EQ(items[3].text, "Unison: 2 --- Voices: 8");
  EXPECT_EQ(items[3].flags, PopupMenuItem::kChecked);
  EXPECT_EQ(e.Value(kVoices), 31.0);
  for (int d : {1, 0, -3}) v->OnMouseWheel(0, 0, MouseMods(), d);  // one mode a notch, clamped
  EXPECT_EQ(e.Value(kVoices), 30.0);
  EXPECT_DOUBLE_EQ(v->GetValue(), 30.0 / 31.0);
}

TEST(IKSPresetMenu, ProgramMenuAndRename) {
  EditorInstrument e;
  auto* pm = e.Add(new IKSPresetMenu(e.q.get(), kNumberRect, kNameRect));
  e.q->SelectProgram(5);
  e.g->menuChoices.push_back({2, 8});  // "32 - 47", item 8
  e.Click(890, 140);
  const auto& menu = e.g->menus.at(0);
  EXPECT_EQ(menu.rect, kNumberRect);
  EXPECT_EQ(Texts(menu.items), (Strings{"00 - 15", "16 - 31", "32 - 47", "48 - 63"}));
  for (int program = 0; program < 64; ++program) {
    const auto& item = menu.items[program / 16].submenu.at(program % 16);
    char text[300];
    std::snprintf(text, sizeof(text), "%02d: %s", program, e.q->GetPresetName(program));
    EXPECT_EQ(item.text, std::string(text).substr(0, 31));
    EXPECT_EQ(item.flags, program == 5 ? PopupMenuItem::kChecked : 0);
  }
  EXPECT_EQ(e.q->GetCurrentPresetIdx(), 40);

  e.Click(900, 115);  // the name: a text entry over it
  ASSERT_TRUE(e.g->ValueEntryOpen());
  const std::string before = e.g->CurrentValueEntry().initialText;
  EXPECT_EQ(before, e.q->GetPresetName(40));
  HostLog().clear();
  e.g->TypeAndCommit("");
  e.g->Tick();
  EXPECT_EQ(e.q->GetPresetName(40), before);  // an empty text keeps the name
  EXPECT_EQ(HostLog().at(0), "program");
  EXPECT_EQ(pm->TextEntryLength(), 27);
  pm->OnTextEntered("0123456789012345678901234567890123456789");
  EXPECT_STREQ(e.q->GetPresetName(40), "012345678901234567890123456");

  RecordingFont font;
  pm->Style().font = &font;
  e.Draw();
  ASSERT_EQ(font.drawn.size(), 2u);
  EXPECT_EQ(font.drawn[0].text, "40");
  EXPECT_EQ(font.drawn[0].rect, kNumberRect);
  EXPECT_EQ(font.drawn[1].text, "012345678901234567890123456");

  // UTF-8 names are cut between characters: the "\xCE\xA9" that would end at
  // byte 28 goes, in the stored name, the program menu's item and the display.
  pm->OnTextEntered("B\xC3\xA4sse \xCE\xA9 with a long name\xCE\xA9!!");
  EXPECT_STREQ(e.q->GetPresetName(40), "B\xC3\xA4sse \xCE\xA9 with a long name");
  std::string omegas;
  for (int i = 0; i < 14; ++i) omegas += "\xCE\xA9";  // 28 bytes
  e.q->ModifyCurrentPreset(omegas.c_str());
  e.Click(890, 140);
  EXPECT_EQ(e.g->menus.at(1).items[2].submenu.at(8).text, "40: " + omegas.substr(0, 26));
  font.drawn.clear();
  e.Draw();
  EXPECT_EQ(font.drawn.at(1).text, omegas.substr(0, 26));
}

// Records the commands the utility menu hands on.
struct CommandRecorder : Quarvi {
  CommandRecorder() : Quarvi(&control_test::RecordingHost) {}
  void DoUtilityCommand(int command, IGraphics* editor) override {
    commands.push_back(command);
    EXPECT_EQ(editor, GetGUI());
  }
  void FillCopyBuffer() { mCopyBuffer.Put(1.0); }
  std::vector<int> commands;
};

TEST(IKSOptionMenu, EveryPositionReachesItsCommand) {
  auto* rec = new CommandRecorder();
  EditorInstrument e(rec);
  e.Add(new IKSOptionMenu(rec));
  e.Click(960, 140);  // closed: no command
  const auto& items = e.g->menus.at(0).items;
  EXPECT_EQ(Texts(items), (Strings{"Copy Program", "Paste Program", "Init Program", "", "Load Program",
                                   "Save Program", "Load Bank", "Save Bank", "", "Select Startup Bank",
                                   "Load Startup Bank", "Unselect Startup Bank", "",
                                   "Default Path for Program Files", "Global MIDI Settings...",
                                   "Reload Configuration", "Save Configuration", "", "Go Online..."}));
  const int D = PopupMenuItem::kDisabled;
  EXPECT_TRUE(items[1].flags == D && items[10].flags == D && items[11].flags == D && items[3].flags == 8);
  EXPECT_EQ(Texts(items[14].submenu), (Strings{"MIDI Thru", "Ignore Program Change"}));
  EXPECT_EQ(Texts(items[18].submenu), (Strings{"Check Online for Update", "Visit kestrelsoundmusic.com"}));

  // With a copy, a startup bank and both switches on: all enabled, both checked.
  rec->FillCopyBuffer();
  rec->Settings().startupBankPath = "/banks/start.fxb";
  rec->Settings().midiThru = rec->Settings().ignoreProgramChange = true;
  for (int i = 0; i <= 18; ++i) e.g->menuChoices.push_back({i});
  for (auto path : {std::vector<int>{14, 0}, {14, 1}, {18, 0}, {18, 1}}) e.g->menuChoices.push_back(path);
  while (!e.g->menuChoices.empty()) e.Click(960, 140);
  EXPECT_EQ(rec->commands, (std::vector<int>{0, 1, 2, 4, 5, 6, 7, 9, 10, 11, 13, 15, 16, 19, 20, 21}));
  const auto& last = e.g->menus.back().items;
  EXPECT_TRUE(last[1].flags == 0 && last[10].flags == 0 && last[11].flags == 0);
  EXPECT_EQ(last[14].submenu[0].flags & last[14].submenu[1].flags, PopupMenuItem::kChecked);
  ASSERT_EQ(e.g->urls.size(), 1u);  // 22 opens the maker's site, without asking
  EXPECT_EQ(e.g->urls[0].url, kMakerWebAddress);
  EXPECT_EQ(e.g->urls[0].confirmText, "");
}

// The controls that read parameter objects while drawing, drawn while the
// host automates and changes programs on another thread.
TEST(VSTEditorConcurrency, InstrumentControlsDrawWhileTheHostChangesParameters) {
  EditorInstrument e;
  TestStrip button(24, 80, 2, 1), digits(12, 176, 11, 2);
  e.Add(new IKSButtonKick(e.q.get(), 860, 217, kSoftClip, button.strip, button.strip));
  e.Add(new IKSSourceControl(e.q.get(), 162, 143, 9, true));
  e.Add(new IKSPopupControl(e.q.get(), 696, 79));
  e.Add(new IKSVoicesControl(e.q.get(), Rect(686, 111, 726, 127), digits.strip));
  e.Add(new IKSPresetMenu(e.q.get(), kNumberRect, kNameRect));
  e.Add(new IKSWaveDisplay(e.q.get(), 100, kPartF1));
  AEffect* fx = e.q->GetAEffect();
  std::atomic<bool> stop{false};
  std::thread host([&] {
    for (int n = 0; n < 300; ++n) {
      for (int i : {kSoftClip, 9, 79, kVoices, kUnison, 18, 19, 20, kPartF1, 23})
        fx->setParameter(fx, i, static_cast<float>((n % 7) / 6.0));
      if (n % 30 == 0) fx->dispatcher(fx, effSetProgram, 0, n / 30, nullptr, 0.0f);
    }
    stop = true;
  });
  e.g->OpenWindow(nullptr);
  do {
    e.g->SetAllControlsDirty();
    e.g->Tick();
  } while (!stop);
  host.join();
}

}  // namespace
