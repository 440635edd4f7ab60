// MIDI learn, the controller map and the global MIDI switches on a whole
// instrument, driven through the MIDI handler and the render's event step.
#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ConfigTestSupport.h"
#include "Quarvi.h"
#include "platform/Folders.h"

namespace {

using namespace cfgtest;

MidiMessage Msg(int status, int d1, int d2, int offset = 0) {
  MidiMessage m;
  m.offset = offset;
  m.status = static_cast<uint8_t>(status);
  m.data1 = static_cast<uint8_t>(d1);
  m.data2 = static_cast<uint8_t>(d2);
  return m;
}

// Records what would go to the host.
class RecordingQuarvi : public Quarvi {
 public:
  RecordingQuarvi() : Quarvi(nullptr) {}
  bool SendMidiMessage(const MidiMessage& m) override {
    sent.push_back(m);
    return true;
  }
  void NotifyHostParamChanged(int index, double normalized) override {
    automation.emplace_back(index, normalized);
  }
  std::vector<MidiMessage> sent;
  std::vector<std::pair<int, double>> automation;
};

class InstrumentLearn : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root.Ok());
    locations.settingsFolder = root.Sub("KestrelSoundMusic");
    locations.documentsFolder = root.Sub("Documents");
    locations.pluginFolder = root.Sub("plugin");
    ASSERT_TRUE(MakeFolder(locations.documentsFolder));
    ASSERT_TRUE(MakeFolder(locations.pluginFolder));
    file = root.Sub("KestrelSoundMusic/quarvi.ini");
  }

  void Build() {
    ScopedConfigLocations scoped(locations);
    q.reset(new RecordingQuarvi);
    q->SetSampleRate(44100);
    q->SetBlockSize(256);
    q->ResetProcessing();
    q->SetActive(true);
  }

  // Renders one host block, which runs the event step.
  void Render(int n = 256) {
    std::vector<double> l(n), r(n);
    double* out[2] = {l.data(), r.data()};
    q->ProcessBlock(nullptr, out, n);
  }

  int Index(const char* name) const {
    for (int i = 0; i < q->NParams(); ++i) {
      if (std::strcmp(q->GetParam(i)->name, name) == 0) return i;
    }
    return -1;
  }

  double Normalized(int index) const { return q->GetParam(index)->ToNormalized(); }

  TempFolder root{"quarvi-learn"};
  ConfigLocations locations;
  std::string file;
  std::unique_ptr<RecordingQuarvi> q;
};

TEST_F(InstrumentLearn, SettingsAreReadAtConstruction) {
  const std::string tmpl = "[MIDI Control]\r\nCC7=4\r\n";
  ASSERT_TRUE(WriteTextFile(root.Sub("plugin/quarvi.ini"), tmpl));
  Build();
  EXPECT_EQ(q->Settings().controllerMap[7], 4);
  EXPECT_EQ(ReadTextFile(file), tmpl);
  EXPECT_EQ(q->Settings().programFolder, locations.documentsFolder);
}

TEST_F(InstrumentLearn, ControllerCapturedByTheHandlerIsNotQueued) {
  Build();
  const int pan1 = 68;
  const double before = Normalized(pan1);
  q->ArmLearn(true, false);
  q->CaptureParameter(pan1);
  q->HandleMidiMessage(Msg(0xB0, 21, 100));
  EXPECT_EQ(q->Queue().Pending(), 0);
  EXPECT_EQ(q->Settings().controllerMap[21], pan1);
  EXPECT_FALSE(q->Settings().learnActive);
  EXPECT_EQ(q->Settings().learnSwitchResets, 1);
  Render();
  EXPECT_EQ(Normalized(pan1), before);

  // The binding now drives the parameter.
  q->HandleMidiMessage(Msg(0xB0, 21, 127));
  Render();
  EXPECT_EQ(Normalized(pan1), 1.0);
}

TEST_F(InstrumentLearn, ControllerFirstThenParameter) {
  Build();
  q->ArmLearn(true, false);
  q->HandleMidiMessage(Msg(0xB3, 21, 5));  // any channel
  EXPECT_TRUE(q->Settings().learnActive);
  q->CaptureParameter(68);
  EXPECT_EQ(q->Settings().controllerMap[21], 68);
}

TEST_F(InstrumentLearn, ParameterChangesAreCapturedWhileLearning) {
  Build();
  ASSERT_EQ(Index("Pan 1"), 68);
  q->ArmLearn(true, false);
  q->SetParameterFromEditor(Index("Volume"), 0.25);
  q->SetParameterFromEditor(68, 0.75);
  q->HandleMidiMessage(Msg(0xB0, 21, 0));
  EXPECT_EQ(q->Settings().controllerMap[21], 68);
  for (int cc = 0; cc < Config::kControllers; ++cc) {
    EXPECT_NE(q->Settings().controllerMap[cc], Index("Volume"));
  }
  // Unlearn by moving the parameter.
  q->ArmLearn(true, true);
  q->SetParameterFromEditor(68, 0.5);
  EXPECT_EQ(q->Settings().controllerMap[21], -1);
  EXPECT_FALSE(q->Settings().learnActive);
}

TEST_F(InstrumentLearn, UnlearnByController) {
  Build();
  q->Settings().controllerMap[21] = 68;
  q->ArmLearn(true, true);
  q->HandleMidiMessage(Msg(0xB0, 21, 64));
  EXPECT_EQ(q->Settings().controllerMap[21], -1);
  EXPECT_FALSE(q->Settings().learnActive);
  EXPECT_EQ(q->Settings().learnSwitchResets, 1);
}

TEST_F(InstrumentLearn, MappedControllerSetsTheNormalizedValueOnce) {
  Build();
  const int p = 4;
  q->Settings().controllerMap[7] = p;
  q->HandleMidiMessage(Msg(0xB0, 7, 127));
  Render();
  EXPECT_EQ(Normalized(p), 1.0);
  ASSERT_EQ(q->automation.size(), 1u);
  EXPECT_EQ(q->automation[0], std::make_pair(p, 1.0));
  // The same value again is no change and is not reported.
  q->HandleMidiMessage(Msg(0xB0, 7, 127));
  Render();
  EXPECT_EQ(q->automation.size(), 1u);
  q->HandleMidiMessage(Msg(0xB0, 7, 0));
  Render();
  EXPECT_EQ(Normalized(p), 0.0);
  EXPECT_EQ(q->automation.size(), 2u);
}

TEST_F(InstrumentLearn, ControllerOnVolumeAndVoices) {
  Build();
  const int volume = Index("Volume");
  const int voices = Index("Voices");
  ASSERT_GE(volume, 0);
  ASSERT_GE(voices, 0);
  q->Settings().controllerMap[7] = volume;
  q->HandleMidiMessage(Msg(0xB0, 7, 127));
  Render();
  EXPECT_EQ(q->GetParam(volume)->value, q->GetParam(volume)->max);
  EXPECT_EQ(Normalized(volume), 1.0);
  q->HandleMidiMessage(Msg(0xB0, 7, 0));
  Render();
  EXPECT_EQ(Normalized(volume), 0.0);

  q->Settings().controllerMap[7] = voices;
  q->HandleMidiMessage(Msg(0xB0, 7, 64));
  Render();
  EXPECT_EQ(q->GetParam(voices)->value, 16.0);  // 64/127*31 = 15.6, on the step
}

TEST_F(InstrumentLearn, ModWheelAndSustainNeverDriveAParameter) {
  Build();
  const int p = 4;
  q->ArmLearn(true, false);
  q->HandleMidiMessage(Msg(0xB0, 1, 0));
  q->CaptureParameter(p);
  EXPECT_EQ(q->Settings().controllerMap[1], p);
  q->Settings().controllerMap[64] = p;
  q->GetParam(p)->SetFromNormalized(0.5);
  const double before = Normalized(p);
  q->HandleMidiMessage(Msg(0xB0, 1, 127));
  q->HandleMidiMessage(Msg(0xB0, 64, 127));
  Render();
  EXPECT_EQ(Normalized(p), before);
  EXPECT_TRUE(q->automation.empty());
}

TEST_F(InstrumentLearn, EntriesOutsideTheParametersNeverAct) {
  Build();
  q->Settings().controllerMap[7] = 116;
  q->Settings().controllerMap[8] = 2000000000;
  q->Settings().controllerMap[9] = -5;
  for (int cc : {7, 8, 9}) q->HandleMidiMessage(Msg(0xB0, cc, 99));
  Render();
  EXPECT_TRUE(q->automation.empty());
}

TEST_F(InstrumentLearn, MidiThruEchoesEverythingEvenACapturedController) {
  Build();
  q->Settings().midiThru = true;
  q->ArmLearn(true, false);
  const MidiMessage cc = Msg(0xB1, 21, 77, 12);
  q->HandleMidiMessage(cc);
  q->HandleMidiMessage(Msg(0xF8, 0, 0));  // a kind the instrument ignores
  ASSERT_EQ(q->sent.size(), 2u);
  EXPECT_EQ(q->sent[0].status, cc.status);
  EXPECT_EQ(q->sent[0].data1, cc.data1);
  EXPECT_EQ(q->sent[0].data2, cc.data2);
  EXPECT_EQ(q->sent[0].offset, cc.offset);
  EXPECT_EQ(q->Settings().learnedController, 21);

  q->Settings().midiThru = false;
  q->HandleMidiMessage(Msg(0x90, 60, 100));
  EXPECT_EQ(q->sent.size(), 2u);
}

TEST_F(InstrumentLearn, IgnoreProgramChange) {
  Build();
  ASSERT_EQ(q->GetCurrentPresetIdx(), 0);
  q->Settings().ignoreProgramChange = true;
  q->HandleMidiMessage(Msg(0xC0, 5, 0));
  EXPECT_EQ(q->GetCurrentPresetIdx(), 0);
  q->Settings().ignoreProgramChange = false;
  q->HandleMidiMessage(Msg(0xC0, 5, 0));
  EXPECT_EQ(q->GetCurrentPresetIdx(), 5);
}

TEST_F(InstrumentLearn, TogglesWriteTheSwitchAndTheStartupBankAtOnce) {
  Build();
  q->Settings().startupBankPath = "/banks/start.fxb";
  q->ToggleMidiThru();
  EXPECT_TRUE(q->Settings().midiThru);
  std::string text = ReadTextFile(file);
  EXPECT_NE(text.find("MIDI Thru=true"), std::string::npos) << text;
  EXPECT_NE(text.find("File=/banks/start.fxb"), std::string::npos) << text;
  EXPECT_EQ(text.find("Ignore Program Change"), std::string::npos) << text;

  q->ToggleIgnoreProgramChange();
  q->ToggleMidiThru();
  text = ReadTextFile(file);
  EXPECT_NE(text.find("MIDI Thru=false"), std::string::npos) << text;
  EXPECT_NE(text.find("Ignore Program Change=true"), std::string::npos) << text;
  EXPECT_FALSE(q->Settings().midiThru);
  EXPECT_TRUE(q->Settings().ignoreProgramChange);

  // A new instance starts with what was written; learned bindings are only
  // saved on request.
  q->Settings().controllerMap[3] = 10;
  q.reset();
  Build();
  EXPECT_FALSE(q->Settings().midiThru);
  EXPECT_TRUE(q->Settings().ignoreProgramChange);
  EXPECT_EQ(q->Settings().controllerMap[3], -1);
}

TEST_F(InstrumentLearn, MissingStartupBankIsForgottenInMemoryOnly) {
  ASSERT_TRUE(MakeFolder(locations.settingsFolder));
  const std::string text = "[Startup Bank]\nFile=" + root.Sub("no such bank.fxb") + "\n";
  ASSERT_TRUE(WriteTextFile(file, text));
  Build();
  EXPECT_EQ(q->Settings().startupBankPath, "");
  EXPECT_EQ(ReadTextFile(file), text);
}

// A processing reset (suspend and resume, a new rate or block size) drops a
// gesture in progress and tells the learn switch, which would otherwise stay
// lit with learning off.
TEST_F(InstrumentLearn, AProcessingResetEndsTheGestureAndTellsTheSwitch) {
  Build();
  int switchOff = 0;
  q->Settings().onLearnFinished = [&] { ++switchOff; };
  q->ArmLearn(true, false);
  q->CaptureParameter(68);
  q->SetActive(false);
  q->ResetProcessing();
  EXPECT_FALSE(q->Settings().learnActive);
  EXPECT_EQ(switchOff, 1);
  // The half-made binding is gone; a controller now is just a controller.
  q->HandleMidiMessage(Msg(0xB0, 21, 100));
  EXPECT_EQ(q->Settings().controllerMap[21], -1);
  // A reset with no gesture in progress leaves the switch alone.
  q->ResetProcessing();
  EXPECT_EQ(switchOff, 1);
}

// Captures from the MIDI thread, a host parameter thread and the editor's
// switch, all at once: every finished learn leaves its parameter on one
// controller, so no parameter is ever bound twice.
TEST_F(InstrumentLearn, ConcurrentCapturesKeepEachParameterOnOneController) {
  Build();
  std::atomic<bool> stop{false};
  std::thread midi([&] {
    for (int i = 0; !stop.load(); ++i) q->HandleMidiMessage(Msg(0xB0, (i * 7) % 120, i & 127));
  });
  std::thread params([&] {
    for (int i = 0; !stop.load(); ++i) q->CaptureParameter((i * 13) % kNumParams);
  });
  for (int i = 0; i < 3000; ++i) q->ArmLearn(true, (i % 5) == 0);
  stop = true;
  midi.join();
  params.join();

  std::lock_guard<std::recursive_mutex> lock(q->Mutex());
  std::vector<int> bound(kNumParams, 0);
  for (int cc = 0; cc < Config::kControllers; ++cc) {
    int p = q->Settings().controllerMap[cc];
    if (p >= 0) {
      ASSERT_LT(p, kNumParams);
      ++bound[p];
    }
  }
  for (int p = 0; p < kNumParams; ++p) EXPECT_LE(bound[p], 1) << "parameter " << p;
}

// Parameter displays must not change with the host's number formatting:
// the plug-in never sets the process locale, so its texts are made without it.
TEST_F(InstrumentLearn, ParameterDisplaysIgnoreTheProcessLocale) {
  Build();
  ASSERT_GE(Index("Volume"), 0);
  std::vector<std::string> plain;
  char text[IPlugParam::kTextSize];
  for (int i = 0; i < q->NParams(); ++i) {
    const IPlugParam* p = q->GetParam(i);
    p->FormatValue(p->min + (p->max - p->min) * 0.37, false, text);
    plain.push_back(text);
  }
  ScopedLocale locale(GermanLocaleNames());
  if (!locale.Active()) GTEST_SKIP() << "no locale with a decimal comma is installed";
  for (int i = 0; i < q->NParams(); ++i) {
    const IPlugParam* p = q->GetParam(i);
    p->FormatValue(p->min + (p->max - p->min) * 0.37, false, text);
    EXPECT_EQ(plain[i], text) << p->name;
  }
}

}  // namespace
