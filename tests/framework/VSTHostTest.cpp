// The host binding driven the way a host drives it: only through the effect
// record, its dispatcher and callbacks, with a scripted host callback.

#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <new>
#include <thread>
#include <vector>

#include "IGraphicsHeadless.h"
#include "VSTTestHost.h"

namespace {

class VSTHost : public ::testing::Test {
 protected:
  void SetUp() override {
    host.reset(new TestHost);
    scope.reset(new ScopedTestHost(host.get()));
    effect = CreateFake(host.get());
  }
  void TearDown() override {
    if (effect) Dispatch(effect, effClose);
    scope.reset();
    host.reset();
  }

  FakeInstrument* Plug() { return FakeOf(effect); }

  std::vector<uint8_t> GetChunk(int index) {
    void* data = nullptr;
    const VstIntPtr n = Dispatch(effect, effGetChunk, index, 0, &data);
    if (n <= 0 || !data) return {};
    const uint8_t* p = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(p, p + n);
  }

  VstIntPtr SetChunk(int index, std::vector<uint8_t> bytes) {
    return Dispatch(effect, effSetChunk, index, static_cast<VstIntPtr>(bytes.size()), bytes.data());
  }

  std::string ProgramName(int index) {
    char name[256] = "untouched";
    Dispatch(effect, effGetProgramNameIndexed, index, 0, name);
    return name;
  }

  std::unique_ptr<TestHost> host;
  std::unique_ptr<ScopedTestHost> scope;
  AEffect* effect = nullptr;
};

uint32_t U32At(const std::vector<uint8_t>& b, size_t pos) {
  uint32_t v = 0;
  std::memcpy(&v, b.data() + pos, 4);
  return v;
}

// ---- effect record ---------------------------------------------------------------

TEST_F(VSTHost, EffectRecordHoldsIdentityCallbacksAndZeroElsewhere) {
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(effect->magic, 0x56737450);
  EXPECT_EQ(effect->numParams, kFakeNumParams);
  EXPECT_EQ(effect->numPrograms, 64);
  EXPECT_EQ(effect->numInputs, 0);
  EXPECT_EQ(effect->numOutputs, 2);
  // Replacing, chunks, synth, double replacing; no editor, no mono bit.
  EXPECT_EQ(effect->flags, 0x1130);
  EXPECT_EQ(effect->ioRatio, 1.0f);
  EXPECT_EQ(effect->uniqueID, 0x46616B65);
  EXPECT_EQ(effect->version, 10203);
  EXPECT_EQ(effect->initialDelay, 0);
  EXPECT_EQ(effect->object, static_cast<void*>(static_cast<IPlugVST*>(Plug())));
  EXPECT_NE(effect->dispatcher, nullptr);
  EXPECT_NE(effect->process, nullptr);
  EXPECT_NE(effect->processReplacing, nullptr);
  EXPECT_NE(effect->processDoubleReplacing, nullptr);
  EXPECT_NE(effect->setParameter, nullptr);
  EXPECT_NE(effect->getParameter, nullptr);
  EXPECT_EQ(effect->resvd1, 0);
  EXPECT_EQ(effect->resvd2, 0);
  EXPECT_EQ(effect->realQualities, 0);
  EXPECT_EQ(effect->offQualities, 0);
  EXPECT_EQ(effect->user, nullptr);
  for (char c : effect->future) EXPECT_EQ(c, 0);
}

// ---- simple answers ----------------------------------------------------------------

TEST_F(VSTHost, FixedAnswersAndUnknownOpcodes) {
  EXPECT_EQ(Dispatch(effect, effIdentify), 0x4E764566);
  EXPECT_EQ(Dispatch(effect, effGetVstVersion), 2400);
  EXPECT_EQ(Dispatch(effect, effGetVendorVersion), 10203);
  EXPECT_EQ(Dispatch(effect, effGetPlugCategory), kPlugCategSynth);
  EXPECT_EQ(Dispatch(effect, effCanBeAutomated, 3), 1);
  EXPECT_EQ(Dispatch(effect, effCanBeAutomated, 999), 1);
  EXPECT_EQ(Dispatch(effect, effGetTailSize), 0);
  EXPECT_EQ(Dispatch(effect, effProcessVarIo), 0);
  EXPECT_EQ(Dispatch(effect, 9999), 0);
  EXPECT_EQ(Dispatch(effect, -5), 0);
  EXPECT_EQ(Dispatch(effect, effSetBypass, 0, 1), 0);

  char text[256];
  EXPECT_EQ(Dispatch(effect, effGetEffectName, 0, 0, text), 1);
  EXPECT_STREQ(text, "Fake");
  EXPECT_EQ(Dispatch(effect, effGetVendorString, 0, 0, text), 1);
  EXPECT_STREQ(text, "Test Vendor Inc");
  std::strcpy(text, "x");
  EXPECT_EQ(Dispatch(effect, effGetProductString, 0, 0, text), 1);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(Dispatch(effect, effGetEffectName), 0);
  EXPECT_EQ(Dispatch(effect, effGetVendorString), 0);
  EXPECT_EQ(Dispatch(effect, effGetProductString), 0);
}

TEST_F(VSTHost, MissingObjectOrRecordAnswersNothing) {
  AEffect copy = *effect;
  copy.object = nullptr;
  EXPECT_EQ(copy.dispatcher(&copy, effIdentify, 0, 0, nullptr, 0), 0);
  EXPECT_EQ(copy.getParameter(&copy, 0), 0.0f);
  copy.setParameter(&copy, 0, 1.0f);
  float l[4], r[4];
  float* outs[2] = {l, r};
  copy.processReplacing(&copy, nullptr, outs, 4);
  EXPECT_EQ(effect->dispatcher(nullptr, effIdentify, 0, 0, nullptr, 0), 0);
}

// ---- parameters ------------------------------------------------------------------

TEST_F(VSTHost, ParameterTextsAndDisplay) {
  char text[64];
  Dispatch(effect, effGetParamName, kFakeVolume, 0, text);
  EXPECT_STREQ(text, "Volume");
  std::strcpy(text, "x");
  Dispatch(effect, effGetParamLabel, kFakeVolume, 0, text);
  EXPECT_STREQ(text, "");

  effect->setParameter(effect, kFakeMono, 1.0f);
  Dispatch(effect, effGetParamDisplay, kFakeMono, 0, text);
  EXPECT_STREQ(text, "on");
  effect->setParameter(effect, kFakeMono, 0.0f);
  Dispatch(effect, effGetParamDisplay, kFakeMono, 0, text);
  EXPECT_STREQ(text, "off");
  effect->setParameter(effect, kFakeVolume, 0.25f);
  Dispatch(effect, effGetParamDisplay, kFakeVolume, 0, text);
  EXPECT_STREQ(text, "0.25");

  // Out-of-range indices leave the buffer alone.
  for (int op : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
    std::strcpy(text, "untouched");
    EXPECT_EQ(Dispatch(effect, op, kFakeNumParams, 0, text), 0);
    EXPECT_STREQ(text, "untouched");
    EXPECT_EQ(Dispatch(effect, op, -1, 0, text), 0);
    EXPECT_STREQ(text, "untouched");
    EXPECT_EQ(Dispatch(effect, op, 0, 0, nullptr), 0);
  }
}

TEST_F(VSTHost, HostValuesOutsideTheNormalizedRangeStayInRange) {
  IPlugParam* vol = Plug()->GetParam(kFakeVolume);
  IPlugParam* tr = Plug()->GetParam(kFakeTranspose);
  effect->setParameter(effect, kFakeVolume, 0.3f);
  effect->setParameter(effect, kFakeVolume, std::numeric_limits<float>::quiet_NaN());
  EXPECT_DOUBLE_EQ(vol->value, static_cast<double>(0.3f));  // NaN ignored
  effect->setParameter(effect, kFakeVolume, std::numeric_limits<float>::infinity());
  EXPECT_EQ(vol->value, 1.0);
  effect->setParameter(effect, kFakeVolume, -std::numeric_limits<float>::infinity());
  EXPECT_EQ(vol->value, 0.0);
  effect->setParameter(effect, kFakeTranspose, 2.0f);
  EXPECT_EQ(tr->value, 24.0);
  effect->setParameter(effect, kFakeTranspose, -1.0f);
  EXPECT_EQ(tr->value, -24.0);
  effect->setParameter(effect, kFakeTranspose, 0.51f);
  EXPECT_EQ(tr->value, 0.0);  // snapped to the step grid
  EXPECT_EQ(effect->getParameter(effect, kFakeTranspose), 0.5f);
  EXPECT_EQ(Plug()->lastChanged, kFakeTranspose);

  // Indices outside the table: ignored, read as 0.
  Plug()->lastChanged = -1;
  effect->setParameter(effect, kFakeNumParams, 0.5f);
  effect->setParameter(effect, -1, 0.5f);
  effect->setParameter(effect, 1 << 30, 0.5f);
  EXPECT_EQ(Plug()->lastChanged, -1);
  EXPECT_EQ(effect->getParameter(effect, kFakeNumParams), 0.0f);
  EXPECT_EQ(effect->getParameter(effect, -7), 0.0f);
}

TEST_F(VSTHost, String2ParameterTakesPlainValuesAndValueTexts) {
  IPlugParam* vol = Plug()->GetParam(kFakeVolume);
  IPlugParam* wave = Plug()->GetParam(kFakeWave);
  EXPECT_EQ(Dispatch(effect, effString2Parameter, kFakeVolume, 0, const_cast<char*>("0.7")), 1);
  EXPECT_DOUBLE_EQ(vol->value, 0.7);
  EXPECT_EQ(Dispatch(effect, effString2Parameter, kFakeVolume, 0, const_cast<char*>("5")), 1);
  EXPECT_EQ(vol->value, 1.0);  // clamped
  EXPECT_EQ(Dispatch(effect, effString2Parameter, kFakeVolume, 0, const_cast<char*>("nan")), 0);
  EXPECT_EQ(vol->value, 1.0);
  EXPECT_EQ(Dispatch(effect, effString2Parameter, kFakeWave, 0, const_cast<char*>("Square")), 1);
  EXPECT_EQ(wave->value, 2.0);
  EXPECT_EQ(Dispatch(effect, effString2Parameter, kFakeWave, 0, const_cast<char*>("square")), 0);
  EXPECT_EQ(wave->value, 2.0);
  // No text: only the index is checked.
  EXPECT_EQ(Dispatch(effect, effString2Parameter, kFakeWave, 0, nullptr), 1);
  EXPECT_EQ(Dispatch(effect, effString2Parameter, kFakeNumParams, 0, const_cast<char*>("1")), 0);
  EXPECT_EQ(Dispatch(effect, effString2Parameter, -1, 0, const_cast<char*>("1")), 0);
}

TEST_F(VSTHost, VendorSpecificDisplayAndSteppedQueries) {
  char text[64] = "untouched";
  EXPECT_EQ(Dispatch(effect, effVendorSpecific, 7, kFakeNumParams, text, 0.5f), 0xBEEF);
  EXPECT_STREQ(text, "untouched");
  EXPECT_EQ(Dispatch(effect, effVendorSpecific, 7, -1, text, 0.5f), 0xBEEF);
  EXPECT_STREQ(text, "untouched");
  EXPECT_EQ(Dispatch(effect, effVendorSpecific, 7, kFakeWave, nullptr, 0.5f), 0);
  EXPECT_EQ(Dispatch(effect, effVendorSpecific, 7, kFakeWave, text, 1.0f), 0xBEEF);
  EXPECT_STREQ(text, "Square");
  EXPECT_EQ(Dispatch(effect, effVendorSpecific, 7, kFakeTranspose, text, 0.75f), 0xBEEF);
  EXPECT_STREQ(text, "12");
  // A normalized value that is not one stays inside the range.
  EXPECT_EQ(Dispatch(effect, effVendorSpecific, 7, kFakeTranspose, text, std::nanf("")), 0xBEEF);
  EXPECT_STREQ(text, "-24");
  EXPECT_EQ(Dispatch(effect, effVendorSpecific, 7, kFakeTranspose, text, 9.0f), 0xBEEF);
  EXPECT_STREQ(text, "24");

  EXPECT_EQ(Dispatch(effect, effVendorSpecific, 8, kFakeMono), 0xBEEF);
  EXPECT_EQ(Dispatch(effect, effVendorSpecific, 8, kFakeTranspose), 0xBEEF);
  EXPECT_EQ(Dispatch(effect, effVendorSpecific, 8, kFakeVolume), 0);
  EXPECT_EQ(Dispatch(effect, effVendorSpecific, 8, kFakeNumParams), 0);
  EXPECT_EQ(Dispatch(effect, effVendorSpecific, 8, -1), 0);
  EXPECT_EQ(Dispatch(effect, effVendorSpecific, 9, 0, text), 0);
}

TEST_F(VSTHost, CanDoAnswers) {
  auto canDo = [&](const char* s) { return Dispatch(effect, effCanDo, 0, 0, const_cast<char*>(s)); };
  EXPECT_EQ(canDo("receiveVstMidiEvent"), 1);
  EXPECT_EQ(canDo("receiveVstEvents"), 1);
  EXPECT_EQ(canDo("sendVstEvents"), 1);
  EXPECT_EQ(canDo("sendVstMidiEvent"), 1);
  EXPECT_EQ(canDo("receiveVstTimeInfo"), 1);
  const VstIntPtr cockos = canDo("hasCockosExtensions");
  EXPECT_EQ(static_cast<uintptr_t>(cockos), static_cast<uintptr_t>(0xBEEF0000u));  // zero-extended
  EXPECT_EQ(canDo("hasCockosViewAsConfig"), cockos);
  EXPECT_EQ(canDo("bypass"), 0);
  EXPECT_EQ(canDo(""), 0);
  EXPECT_EQ(canDo("receivevstmidievent"), 0);
  EXPECT_EQ(Dispatch(effect, effCanDo, 0, 0, nullptr), 0);
}

// ---- programs and chunks -------------------------------------------------------------

TEST_F(VSTHost, ProgramNamesAndSelection) {
  EXPECT_EQ(ProgramName(0), "Empty");
  EXPECT_EQ(Dispatch(effect, effGetProgramNameIndexed, 0, 0, nullptr), 0);
  char name[256] = "untouched";
  EXPECT_EQ(Dispatch(effect, effGetProgramNameIndexed, 64, 0, name), 0);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(Dispatch(effect, effGetProgramNameIndexed, -1, 0, name), 0);
  EXPECT_STREQ(name, "");

  Dispatch(effect, effSetProgramName, 0, 0, const_cast<char*>("Lead"));
  Dispatch(effect, effGetProgramName, 0, 0, name);
  EXPECT_STREQ(name, "Lead");
  EXPECT_EQ(Dispatch(effect, effGetProgramNameIndexed, 0, 0, name), 1);
  EXPECT_STREQ(name, "Lead");

  effect->setParameter(effect, kFakeVolume, 0.9f);
  Dispatch(effect, effSetProgram, 0, 5);
  EXPECT_EQ(Dispatch(effect, effGetProgram), 5);
  // The edits went into program 0 before the switch.
  Dispatch(effect, effSetProgram, 0, 0);
  EXPECT_NEAR(effect->getParameter(effect, kFakeVolume), 0.9f, 1e-7);

  // Indices that do not exist (or do not fit an int) leave the selection.
  Dispatch(effect, effSetProgram, 0, 64);
  EXPECT_EQ(Dispatch(effect, effGetProgram), 0);
  Dispatch(effect, effSetProgram, 0, -1);
  EXPECT_EQ(Dispatch(effect, effGetProgram), 0);
  if (sizeof(VstIntPtr) == 8) {
    Dispatch(effect, effSetProgram, 0, static_cast<VstIntPtr>((int64_t(1) << 32) + 3));
    EXPECT_EQ(Dispatch(effect, effGetProgram), 0);
  }
}

TEST_F(VSTHost, ProgramChunkLayoutAndRename) {
  Dispatch(effect, effSetProgramName, 0, 0, const_cast<char*>("Bright Pad"));
  effect->setParameter(effect, kFakeVolume, 0.25f);
  const std::vector<uint8_t> chunk = GetChunk(1);
  const size_t stateSize = 8 * kFakeNumParams;
  ASSERT_EQ(chunk.size(), 8 + stateSize + 4 + 10);
  const uint8_t header[8] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
  EXPECT_EQ(0, std::memcmp(chunk.data(), header, 8));
  double vol = 0;
  std::memcpy(&vol, chunk.data() + 8, 8);
  EXPECT_DOUBLE_EQ(vol, static_cast<double>(0.25f));
  EXPECT_EQ(U32At(chunk, 8 + stateSize), 10u);
  EXPECT_EQ(0, std::memcmp(chunk.data() + 8 + stateSize + 4, "Bright Pad", 10));

  // Setting it back on another program renames that program and restores
  // the values.
  Dispatch(effect, effSetProgram, 0, 3);
  effect->setParameter(effect, kFakeVolume, 0.75f);
  EXPECT_EQ(SetChunk(1, chunk), 1);
  EXPECT_EQ(ProgramName(3), "Bright Pad");
  EXPECT_FLOAT_EQ(effect->getParameter(effect, kFakeVolume), 0.25f);
  EXPECT_EQ(Dispatch(effect, effGetProgram), 3);
}

TEST_F(VSTHost, BankChunkRoundTrip) {
  for (int i = 0; i < 4; ++i) {
    Dispatch(effect, effSetProgram, 0, i);
    const std::string name = "Prog " + std::to_string(i);
    Dispatch(effect, effSetProgramName, 0, 0, const_cast<char*>(name.c_str()));
    effect->setParameter(effect, kFakeVolume, 0.1f * (i + 1));
    effect->setParameter(effect, kFakeWave, i % 3 / 2.0f);
  }
  const std::vector<uint8_t> bank = GetChunk(0);
  ASSERT_GT(bank.size(), 8u);
  EXPECT_EQ(U32At(bank, 0), 0x70666674u);
  EXPECT_EQ(U32At(bank, 4), 0x00010000u);

  // Scramble everything, then restore.
  for (int i = 0; i < 4; ++i) {
    Dispatch(effect, effSetProgram, 0, i);
    Dispatch(effect, effSetProgramName, 0, 0, const_cast<char*>("scrambled"));
    effect->setParameter(effect, kFakeVolume, 1.0f);
  }
  EXPECT_EQ(SetChunk(0, bank), 1);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(ProgramName(i), "Prog " + std::to_string(i));
  EXPECT_EQ(ProgramName(4), "Empty");
  Dispatch(effect, effSetProgram, 0, 2);
  EXPECT_NEAR(effect->getParameter(effect, kFakeVolume), 0.3f, 1e-6);
  // The bank read back equals the bank given.
  EXPECT_EQ(GetChunk(0), bank);
}

TEST_F(VSTHost, BadChunksAreRefused) {
  EXPECT_EQ(Dispatch(effect, effGetChunk, 0, 0, nullptr), 0);
  EXPECT_EQ(Dispatch(effect, effSetChunk, 0, 16, nullptr), 0);
  // A truncated program state fails.
  std::vector<uint8_t> program = GetChunk(1);
  program.resize(20);
  EXPECT_EQ(SetChunk(1, program), 0);
  // A bank that ends in the middle of a program fails.
  std::vector<uint8_t> bank = GetChunk(0);
  bank.resize(bank.size() / 2);
  EXPECT_EQ(SetChunk(0, bank), 0);
  // Empty and negative lengths carry no state.
  uint8_t byte = 0;
  EXPECT_EQ(Dispatch(effect, effSetChunk, 1, 0, &byte), 0);
  EXPECT_EQ(Dispatch(effect, effSetChunk, 1, -8, &byte), 0);
}

TEST_F(VSTHost, BankChunkWithoutHeaderReadsAsOneProgramState) {
  std::vector<uint8_t> state(8 * kFakeNumParams, 0);
  const double vol = 0.125;
  std::memcpy(state.data(), &vol, 8);
  EXPECT_EQ(SetChunk(0, state), 1);
  EXPECT_DOUBLE_EQ(Plug()->GetParam(kFakeVolume)->value, 0.125);
  EXPECT_EQ(ProgramName(0), "Empty");
}

TEST_F(VSTHost, HostsThatNeedTheBankRetryGetProgramChunks) {
  // A normal host's bank first.
  Dispatch(effect, effSetProgram, 0, 1);
  Dispatch(effect, effSetProgramName, 0, 0, const_cast<char*>("Second"));
  const std::vector<uint8_t> bank = GetChunk(0);
  Dispatch(effect, effClose);
  effect = nullptr;

  host->vendor = "Native Instruments";
  host->Clear();
  effect = CreateFake(host.get());
  Dispatch(effect, effOpen);
  Dispatch(effect, effSetProgramName, 0, 0, const_cast<char*>("Only"));
  // Index 0 is answered with a program chunk: header, state, name.
  const std::vector<uint8_t> chunk = GetChunk(0);
  ASSERT_EQ(chunk.size(), 8 + 8 * kFakeNumParams + 4 + 4);
  EXPECT_EQ(0, std::memcmp(chunk.data() + chunk.size() - 4, "Only", 4));
  // A whole bank handed in is read as a program first, then again as a bank.
  EXPECT_EQ(SetChunk(0, bank), 1);
  EXPECT_EQ(ProgramName(1), "Second");
  EXPECT_EQ(host->Count(audioMasterGetVendorString), 1);  // asked once, cached
}

TEST_F(VSTHost, JuceHostVendorIsMatchedExactly) {
  Dispatch(effect, effClose);
  host->vendor = "JUCE VST Host";
  effect = CreateFake(host.get());
  Dispatch(effect, effSetProgramName, 0, 0, const_cast<char*>("P"));
  EXPECT_EQ(GetChunk(0).size(), 8 + 8 * kFakeNumParams + 4 + 1);
  Dispatch(effect, effClose);
  host->vendor = "JUCE VST Host 2";
  effect = CreateFake(host.get());
  EXPECT_GT(GetChunk(0).size(), 64 * 5u);  // a bank
}

// ---- host identification -----------------------------------------------------------

TEST(VSTHostId, ProductStringsInTableOrder) {
  EXPECT_EQ(IPlugVST::HostIdFromProductString("REAPER"), 1);
  EXPECT_EQ(IPlugVST::HostIdFromProductString("Ableton Live"), 9);
  EXPECT_EQ(IPlugVST::HostIdFromProductString("logic live"), 9);
  EXPECT_EQ(IPlugVST::HostIdFromProductString("Live inside Logic"), 9);
  EXPECT_EQ(IPlugVST::HostIdFromProductString("Logic Pro"), 21);
  EXPECT_EQ(IPlugVST::HostIdFromProductString("reaper live cubase"), 3);
  EXPECT_EQ(IPlugVST::HostIdFromProductString("Cubase VST"), 3);
  EXPECT_EQ(IPlugVST::HostIdFromProductString("Ardour"), 28);
  EXPECT_EQ(IPlugVST::HostIdFromProductString("FL Studio (Fruity Wrapper)"), 7);
  EXPECT_EQ(IPlugVST::HostIdFromProductString("Some Sequencer"), 0);
  EXPECT_EQ(IPlugVST::HostIdFromProductString(""), 0);
  EXPECT_EQ(IPlugVST::HostIdFromProductString(nullptr), 0);
}

TEST_F(VSTHost, OpenIdentifiesTheHostOnceWithItsVersion) {
  host->product = "REAPER";
  host->vendorVersion = 61234;  // 6.12.34
  Dispatch(effect, effOpen);
  EXPECT_EQ(Plug()->GetHost(), 1);
  Dispatch(effect, effOpen);
  EXPECT_EQ(host->Count(audioMasterGetProductString), 1);
  EXPECT_EQ(host->Count(audioMasterGetVendorVersion), 1);
}

TEST_F(VSTHost, EmptyProductStringIsUnknownHost) {
  host->product = "";
  Dispatch(effect, effOpen);
  EXPECT_EQ(Plug()->GetHost(), 0);
  EXPECT_EQ(host->Count(audioMasterGetVendorVersion), 0);
}

// ---- pins and speakers ---------------------------------------------------------------

TEST_F(VSTHost, PinProperties) {
  VstPinProperties pin;
  std::memset(&pin, 0, sizeof(pin));
  EXPECT_EQ(Dispatch(effect, effGetOutputProperties, 0, 0, &pin), 1);
  EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
  EXPECT_STREQ(pin.label, "Output 1");
  EXPECT_EQ(Dispatch(effect, effGetOutputProperties, 1, 0, &pin), 1);
  EXPECT_EQ(pin.flags, kVstPinIsActive);
  EXPECT_STREQ(pin.label, "Output 2");
  std::strcpy(pin.label, "untouched");
  EXPECT_EQ(Dispatch(effect, effGetOutputProperties, 2, 0, &pin), 0);
  EXPECT_EQ(Dispatch(effect, effGetOutputProperties, -1, 0, &pin), 0);
  EXPECT_EQ(Dispatch(effect, effGetInputProperties, 0, 0, &pin), 0);
  EXPECT_STREQ(pin.label, "untouched");
  EXPECT_EQ(Dispatch(effect, effGetOutputProperties, 0, 0, nullptr), 0);
}

TEST_F(VSTHost, SpeakerArrangements) {
  VstSpeakerArrangement* in = nullptr;
  VstSpeakerArrangement* out = nullptr;
  EXPECT_EQ(Dispatch(effect, effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 1);
  ASSERT_NE(in, nullptr);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(in->type, kSpeakerArrEmpty);
  EXPECT_EQ(in->numChannels, 0);
  EXPECT_EQ(out->type, kSpeakerArrStereo);
  EXPECT_EQ(out->numChannels, 2);
  EXPECT_EQ(Dispatch(effect, effGetSpeakerArrangement), 1);

  // A mono output arrangement: only the first output is written.
  VstSpeakerArrangement mono;
  std::memset(&mono, 0, sizeof(mono));
  mono.type = kSpeakerArrMono;
  mono.numChannels = 1;
  EXPECT_EQ(Dispatch(effect, effSetSpeakerArrangement, 0, 0, &mono), 1);
  MidiMessage on;
  VstMidiEvent ev;
  std::memset(&ev, 0, sizeof(ev));
  ev.type = kVstMidiType;
  ev.byteSize = sizeof(ev);
  ev.midiData[0] = static_cast<char>(0x90);
  ev.midiData[1] = 60;
  ev.midiData[2] = 100;
  VstEvents list;
  std::memset(&list, 0, sizeof(list));
  list.numEvents = 1;
  list.events[0] = reinterpret_cast<VstEvent*>(&ev);
  Dispatch(effect, effProcessEvents, 0, 0, &list);
  float l[8], r[8];
  for (int i = 0; i < 8; ++i) l[i] = r[i] = 7.0f;
  float* outs[2] = {l, r};
  effect->processReplacing(effect, nullptr, outs, 8);
  EXPECT_FLOAT_EQ(l[0], 0.5f);
  EXPECT_EQ(r[0], 7.0f);
  // Stereo again (more channels than the plug-in has count as all).
  VstSpeakerArrangement wide = mono;
  wide.numChannels = 6;
  Dispatch(effect, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&wide), &wide);
  effect->processReplacing(effect, nullptr, outs, 8);
  EXPECT_FLOAT_EQ(r[0], 0.25f);
}

// ---- events and audio ----------------------------------------------------------------

TEST_F(VSTHost, ProcessEventsForwardsMidiAndSysexInOrder) {
  VstMidiEvent a, b;
  std::memset(&a, 0, sizeof(a));
  std::memset(&b, 0, sizeof(b));
  a.type = b.type = kVstMidiType;
  a.byteSize = b.byteSize = sizeof(VstMidiEvent);
  a.deltaFrames = 17;
  a.midiData[0] = static_cast<char>(0x91);
  a.midiData[1] = 64;
  a.midiData[2] = static_cast<char>(127);
  b.deltaFrames = 3;
  b.midiData[0] = static_cast<char>(0xB0);
  b.midiData[1] = 7;
  b.midiData[2] = 1;
  uint8_t dump[] = {0xF0, 0x7E, 0x01, 0xF7};
  VstMidiSysexEvent s;
  std::memset(&s, 0, sizeof(s));
  s.type = kVstSysExType;
  s.byteSize = sizeof(s);
  s.deltaFrames = 9;
  s.dumpBytes = 4;
  s.sysexDump = reinterpret_cast<char*>(dump);
  VstEvent other;
  std::memset(&other, 0, sizeof(other));
  other.type = 3;  // not a MIDI or sysex event

  std::vector<uint8_t> storage(sizeof(VstEvents) + 4 * sizeof(VstEvent*));
  VstEvents* list = reinterpret_cast<VstEvents*>(storage.data());
  list->numEvents = 5;
  list->events[0] = reinterpret_cast<VstEvent*>(&a);
  list->events[1] = &other;
  list->events[2] = reinterpret_cast<VstEvent*>(&s);
  list->events[3] = nullptr;
  list->events[4] = reinterpret_cast<VstEvent*>(&b);
  EXPECT_EQ(Dispatch(effect, effProcessEvents, 0, 0, list), 1);

  const auto& got = Plug()->received;
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].offset, 17);
  EXPECT_EQ(got[0].status, 0x91);
  EXPECT_EQ(got[0].data1, 64);
  EXPECT_EQ(got[0].data2, 127);
  EXPECT_EQ(got[1].offset, 3);
  EXPECT_EQ(got[1].status, 0xB0);
  ASSERT_EQ(Plug()->sysex.size(), 1u);
  EXPECT_EQ(Plug()->sysex[0], std::vector<uint8_t>(dump, dump + 4));
  EXPECT_EQ(Plug()->sysexOffsets[0], 9);

  EXPECT_EQ(Dispatch(effect, effProcessEvents, 0, 0, nullptr), 0);
  list->numEvents = -3;
  EXPECT_EQ(Dispatch(effect, effProcessEvents, 0, 0, list), 1);
  EXPECT_EQ(got.size(), 2u);
}

TEST_F(VSTHost, ProcessCallbacksReplaceAccumulateAndRenderDouble) {
  Plug()->mHeld = 2;
  effect->setParameter(effect, kFakeVolume, 0.25f);
  float l[16], r[16];
  float* outs[2] = {l, r};
  for (int i = 0; i < 16; ++i) l[i] = r[i] = 1.0f;
  host->wantMidiCount = 0;
  effect->processReplacing(effect, nullptr, outs, 16);
  EXPECT_FLOAT_EQ(l[15], 0.5f);
  EXPECT_FLOAT_EQ(r[15], 0.25f);
  effect->process(effect, nullptr, outs, 16);
  EXPECT_FLOAT_EQ(l[0], 1.0f);
  EXPECT_FLOAT_EQ(r[0], 0.5f);
  double dl[16], dr[16];
  double* douts[2] = {dl, dr};
  effect->processDoubleReplacing(effect, nullptr, douts, 16);
  EXPECT_DOUBLE_EQ(dl[7], 0.5);
  EXPECT_DOUBLE_EQ(dr[7], 0.25);
  EXPECT_EQ(host->wantMidiCount.load(), 3);
  // Zero and negative frame counts do nothing.
  l[0] = 9.0f;
  effect->processReplacing(effect, nullptr, outs, 0);
  effect->processReplacing(effect, nullptr, outs, -4);
  EXPECT_EQ(l[0], 9.0f);
}

TEST_F(VSTHost, BlockLargerThanAnnouncedStillRendersEveryFrame) {
  Dispatch(effect, effSetBlockSize, 0, 32);
  Plug()->mHeld = 1;
  effect->setParameter(effect, kFakeVolume, 1.0f);
  std::vector<float> l(100, 0.0f), r(100, 0.0f);
  float* outs[2] = {l.data(), r.data()};
  effect->processReplacing(effect, nullptr, outs, 100);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(l[i], 1.0f) << i;
}

TEST_F(VSTHost, SampleRateAndBlockSizeRejectUnusableValues) {
  Dispatch(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  EXPECT_EQ(Plug()->GetSampleRate(), 48000.0);
  Dispatch(effect, effSetSampleRate, 0, 0, nullptr, 0.0f);
  Dispatch(effect, effSetSampleRate, 0, 0, nullptr, -44100.0f);
  Dispatch(effect, effSetSampleRate, 0, 0, nullptr, std::nanf(""));
  Dispatch(effect, effSetSampleRate, 0, 0, nullptr, std::numeric_limits<float>::infinity());
  EXPECT_EQ(Plug()->GetSampleRate(), 48000.0);
  Dispatch(effect, effSetBlockSize, 0, 256);
  EXPECT_EQ(Plug()->GetBlockSize(), 256);
  Dispatch(effect, effSetBlockSize, 0, 0);
  Dispatch(effect, effSetBlockSize, 0, -1);
  EXPECT_EQ(Plug()->GetBlockSize(), 256);
}

TEST_F(VSTHost, MidiKeyNames) {
  MidiKeyName key;
  std::memset(&key, 0, sizeof(key));
  key.thisKeyNumber = 60;
  EXPECT_EQ(Dispatch(effect, effGetMidiKeyName, 0, 0, &key), 1);
  EXPECT_STREQ(key.keyName, "Middle C");
  key.thisKeyNumber = 61;
  std::strcpy(key.keyName, "stale");
  EXPECT_EQ(Dispatch(effect, effGetMidiKeyName, 0, 0, &key), 0);
  EXPECT_STREQ(key.keyName, "");
  EXPECT_EQ(Dispatch(effect, effGetMidiKeyName, 0, 0, nullptr), 0);
}

TEST_F(VSTHost, NoEditorMeansNoEditorAnswers) {
  ERect* rect = nullptr;
  EXPECT_EQ(Dispatch(effect, effEditGetRect, 0, 0, &rect), 0);
  EXPECT_EQ(rect, nullptr);
  EXPECT_EQ(Dispatch(effect, effEditOpen), 0);
  EXPECT_EQ(Dispatch(effect, effEditClose), 0);
  EXPECT_EQ(Dispatch(effect, effEditIdle), 0);
  EXPECT_EQ(Dispatch(effect, effIdle), 0);
}

// ---- time information -----------------------------------------------------------------

TEST_F(VSTHost, TimeInfoFollowsTheValidityFlags) {
  VstTimeInfo& t = host->time;
  t.samplePos = 1000.5;
  t.tempo = 133.0;
  t.ppqPos = 12.5;
  t.barStartPos = 12.0;
  t.cycleStartPos = 4.0;
  t.cycleEndPos = 8.0;
  t.timeSigNumerator = 7;
  t.timeSigDenominator = 8;
  t.flags = kVstTransportPlaying;

  EXPECT_EQ(Plug()->GetSamplePos(), 1001);
  t.samplePos = 1000.49;
  EXPECT_EQ(Plug()->GetSamplePos(), 1000);
  t.samplePos = -3.0;
  EXPECT_EQ(Plug()->GetSamplePos(), 0);
  t.samplePos = 1e12;
  EXPECT_EQ(Plug()->GetSamplePos(), 2147483647);
  t.samplePos = 1000.0;

  EXPECT_EQ(Plug()->GetTempo(), 0.0);  // tempo not marked valid
  int num = -1, den = -1;
  Plug()->GetTimeSig(&num, &den);
  EXPECT_EQ(num, 0);
  EXPECT_EQ(den, 0);

  // None of the five position flags: GetTime changes nothing.
  HostTimeInfo info;
  info.tempo = 99.0;
  info.samplePos = -1.0;
  Plug()->GetTime(&info);
  EXPECT_EQ(info.tempo, 99.0);
  EXPECT_EQ(info.samplePos, -1.0);
  EXPECT_FALSE(info.transportIsRunning);

  t.flags = kVstTransportPlaying | kVstTransportCycleActive | kVstTempoValid | kVstPpqPosValid |
            kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid;
  EXPECT_EQ(Plug()->GetTempo(), 133.0);
  Plug()->GetTimeSig(&num, &den);
  EXPECT_EQ(num, 7);
  EXPECT_EQ(den, 8);
  Plug()->GetTime(&info);
  EXPECT_EQ(info.samplePos, 1000.0);
  EXPECT_EQ(info.tempo, 133.0);
  EXPECT_EQ(info.ppqPos, 12.5);
  EXPECT_EQ(info.lastBar, 12.0);
  EXPECT_EQ(info.cycleStart, 4.0);
  EXPECT_EQ(info.cycleEnd, 8.0);
  EXPECT_EQ(info.timeSigNum, 7);
  EXPECT_EQ(info.timeSigDen, 8);
  EXPECT_TRUE(info.transportIsRunning);
  EXPECT_TRUE(info.transportLoopEnabled);

  // Values out of their ranges keep what the caller had.
  HostTimeInfo kept;
  kept.tempo = 50.0;
  kept.ppqPos = 2.0;
  kept.timeSigNum = 3;
  kept.timeSigDen = 4;
  kept.cycleStart = 1.0;
  t.tempo = 0.0;
  t.ppqPos = -1.0;
  t.timeSigDenominator = 0;
  t.cycleEndPos = -2.0;
  t.flags = kVstTempoValid | kVstPpqPosValid | kVstTimeSigValid | kVstCyclePosValid;
  Plug()->GetTime(&kept);
  EXPECT_EQ(kept.tempo, 50.0);
  EXPECT_EQ(kept.ppqPos, 2.0);
  EXPECT_EQ(kept.timeSigNum, 3);
  EXPECT_EQ(kept.cycleStart, 1.0);
  EXPECT_FALSE(kept.transportIsRunning);
  // A zero tempo still counts for GetTempo (only negative is refused).
  EXPECT_EQ(Plug()->GetTempo(), 0.0);

  // The requested flags travel in value.
  host->Clear();
  Plug()->GetTime(&kept);
  Plug()->GetTempo();
  Plug()->GetTimeSig(&num, &den);
  Plug()->GetSamplePos();
  ASSERT_EQ(host->calls.size(), 4u);
  EXPECT_EQ(host->calls[0].value, 0x3E00);
  EXPECT_EQ(host->calls[1].value, 0x400);
  EXPECT_EQ(host->calls[2].value, 0x2000);
  EXPECT_EQ(host->calls[3].value, 0);

  // A host without time information.
  host->answerTime = false;
  EXPECT_EQ(Plug()->GetTempo(), 0.0);
  EXPECT_EQ(Plug()->GetSamplePos(), 0);
  HostTimeInfo untouched;
  untouched.tempo = 77.0;
  Plug()->GetTime(&untouched);
  EXPECT_EQ(untouched.tempo, 77.0);
}

// ---- requests to the host ----------------------------------------------------------------

TEST_F(VSTHost, AutomationGesturesAndProgramNotice) {
  host->Clear();
  Plug()->BeginParamEdit(2);
  Plug()->NotifyHostParamChanged(2, 0.75);
  Plug()->EndParamEdit(2);
  Plug()->NotifyHostProgramChanged();
  ASSERT_EQ(host->calls.size(), 4u);
  EXPECT_EQ(host->calls[0].opcode, audioMasterBeginEdit);
  EXPECT_EQ(host->calls[0].index, 2);
  EXPECT_EQ(host->calls[1].opcode, audioMasterAutomate);
  EXPECT_EQ(host->calls[1].index, 2);
  EXPECT_EQ(host->calls[1].opt, 0.75f);
  EXPECT_EQ(host->calls[2].opcode, audioMasterEndEdit);
  EXPECT_EQ(host->calls[3].opcode, audioMasterUpdateDisplay);

  EXPECT_FALSE(Plug()->IsOfflineRender());
  host->processLevel = kVstProcessLevelOffline;
  EXPECT_TRUE(Plug()->IsOfflineRender());
}

TEST_F(VSTHost, MidiAndSysexOutput) {
  MidiMessage m;
  m.offset = 12;
  m.status = 0x92;
  m.data1 = 61;
  m.data2 = 99;
  EXPECT_TRUE(Plug()->SendMidiMessage(m));
  ASSERT_EQ(host->midiOut.size(), 1u);
  const VstMidiEvent& e = host->midiOut[0];
  EXPECT_EQ(e.type, kVstMidiType);
  EXPECT_EQ(e.byteSize, 32);
  EXPECT_EQ(e.deltaFrames, 12);
  EXPECT_EQ(static_cast<uint8_t>(e.midiData[0]), 0x92);
  EXPECT_EQ(e.midiData[1], 61);
  EXPECT_EQ(e.midiData[2], 99);
  EXPECT_EQ(e.midiData[3], 0);
  EXPECT_EQ(e.flags, 0);
  EXPECT_EQ(e.noteLength, 0);

  const uint8_t dump[] = {0xF0, 0x43, 0x10, 0xF7};
  SysExBlock s;
  s.offset = 5;
  s.size = 4;
  s.data = dump;
  EXPECT_TRUE(Plug()->SendSysEx(s));
  ASSERT_EQ(host->sysexOut.size(), 1u);
  EXPECT_EQ(host->sysexOut[0], std::vector<uint8_t>(dump, dump + 4));
  EXPECT_EQ(host->sysexByteSizes[0], static_cast<VstInt32>(sizeof(VstMidiSysexEvent)));

  host->processEventsResult = 0;
  EXPECT_FALSE(Plug()->SendMidiMessage(m));
}

// ---- closing ---------------------------------------------------------------------------

TEST_F(VSTHost, CloseDestroysTheInstanceOnce) {
  const int before = FakeInstrument::Destroyed();
  EXPECT_EQ(Dispatch(effect, effClose), 0);
  effect = nullptr;
  EXPECT_EQ(FakeInstrument::Destroyed(), before + 1);
}

// A host that closes the plug-in from inside a request the plug-in made:
// the outer call finishes and the object goes when it has left.
TEST_F(VSTHost, CloseFromInsideACallbackWaitsForTheOuterCall) {
  const int before = FakeInstrument::Destroyed();
  host->onCall = [](TestHost*, AEffect* e, VstInt32 opcode) {
    if (opcode == audioMasterGetProductString) e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
  };
  Dispatch(effect, effOpen);
  EXPECT_EQ(FakeInstrument::Destroyed(), before + 1);
  effect = nullptr;
}

// The window work of the editor opcodes runs outside the instance lock (a
// menu or a dialog may wait there for minutes while audio goes on), and a
// close from inside it leaves the object alive until that work is done.
class WindowEditor : public IGraphicsHeadless {
 public:
  explicit WindowEditor(IPlugVST* plug) : IGraphicsHeadless(plug), mPlug(plug) {}
  bool CanOpenWindows() const override { return true; }
  void IdleHook() override {
    // Another thread can take the lock now: the audio thread would not wait.
    bool free = false;
    std::thread other([&] {
      if (mPlug->Mutex().try_lock()) {
        free = true;
        mPlug->Mutex().unlock();
      }
    });
    other.join();
    lockFreeDuringIdle.push_back(free);
    if (closeInside) {
      AEffect* e = mPlug->GetAEffect();
      e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
      // Still whole (the sanitizers would see otherwise): the object goes
      // once this call has left.
      nestedCloseSawParams = mPlug->NParams();
    }
  }
  std::vector<bool> lockFreeDuringIdle;
  bool closeInside = false;
  int nestedCloseSawParams = 0;

 private:
  IPlugVST* mPlug;
};

TEST_F(VSTHost, EditorWindowWorkRunsOutsideTheLock) {
  auto* editor = new WindowEditor(Plug());
  Plug()->AttachEditor(editor);
  ASSERT_EQ(effect->flags & effFlagsHasEditor, effFlagsHasEditor);
  Dispatch(effect, effEditIdle);
  Dispatch(effect, effIdle);
  EXPECT_EQ(editor->lockFreeDuringIdle, (std::vector<bool>{true, true}));
  EXPECT_EQ(Dispatch(effect, effEditOpen, 0, 0, reinterpret_cast<void*>(1)), 1);
  EXPECT_TRUE(editor->IsWindowOpen());
  EXPECT_EQ(Dispatch(effect, effEditClose), 1);
  EXPECT_FALSE(editor->IsWindowOpen());

  const int before = FakeInstrument::Destroyed();
  editor->closeInside = true;
  Dispatch(effect, effEditIdle);
  EXPECT_EQ(FakeInstrument::Destroyed(), before + 1);
  effect = nullptr;  // gone; the editor with it
}

// A process call that is waiting for the lock while the host closes the
// instance must neither crash nor hang.
TEST_F(VSTHost, ProcessWaitingOnTheLockWhileClosing) {
  struct Gate {
    std::mutex m;
    std::condition_variable cv;
    bool inside = false, release = false;
  } gate;
  host->user = &gate;
  host->onCall = [](TestHost* h, AEffect*, VstInt32 opcode) {
    if (opcode != audioMasterGetProductString) return;
    Gate* g = static_cast<Gate*>(h->user);
    std::unique_lock<std::mutex> lk(g->m);
    g->inside = true;
    g->cv.notify_all();
    g->cv.wait(lk, [&] { return g->release; });
  };
  const int before = FakeInstrument::Destroyed();
  AEffect* e = effect;
  std::thread opener([e] { e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f); });
  {
    std::unique_lock<std::mutex> lk(gate.m);
    gate.cv.wait(lk, [&] { return gate.inside; });
  }
  // effOpen holds the lock now; these two queue up behind it.
  std::thread processor([e] {
    float l[64], r[64];
    float* outs[2] = {l, r};
    e->processReplacing(e, nullptr, outs, 64);
  });
  std::thread closer([e] { e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  {
    std::lock_guard<std::mutex> lk(gate.m);
    gate.release = true;
  }
  gate.cv.notify_all();
  opener.join();
  processor.join();
  closer.join();
  EXPECT_EQ(FakeInstrument::Destroyed(), before + 1);
  effect = nullptr;
}

// ---- no exception reaches the host ---------------------------------------------------

// An instrument whose every hook runs out of memory, as a huge chunk does in
// a 32-bit process: each call through the record fails quietly (0, silence,
// no change) instead of unwinding into the host, and the instance stays
// usable.
class ThrowingInstrument : public FakeInstrument {
 public:
  explicit ThrowingInstrument(audioMasterCallback host) : FakeInstrument(host) {}
  bool fail = false;
  void ParamChanged(int index) override {
    if (fail) throw std::bad_alloc();
    FakeInstrument::ParamChanged(index);
  }
  void ProcessBlock(double** in, double** out, int n) override {
    if (fail) throw std::bad_alloc();
    FakeInstrument::ProcessBlock(in, out, n);
  }
  void HandleMidiMessage(const MidiMessage& m) override {
    if (fail) throw std::bad_alloc();
    FakeInstrument::HandleMidiMessage(m);
  }
  bool SerializeState(ChunkBuffer* chunk) override {
    if (fail) throw std::bad_alloc();
    return FakeInstrument::SerializeState(chunk);
  }
};

TEST(VSTBarrier, FailuresInsideCallsNeverReachTheHost) {
  TestHost host;
  ScopedTestHost scope(&host);
  ThrowingInstrument* plug = new ThrowingInstrument(&TestHost::Callback);
  plug->FillEmptyPrograms(64);
  AEffect* e = plug->GetAEffect();
  Dispatch(e, effMainsChanged, 0, 1);
  void* data = nullptr;
  const VstIntPtr n = Dispatch(e, effGetChunk, 1, 0, &data);
  ASSERT_GT(n, 0);
  std::vector<uint8_t> chunk(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + n);

  plug->fail = true;
  VstMidiEvent ev;
  std::memset(&ev, 0, sizeof(ev));
  ev.type = kVstMidiType;
  ev.midiData[0] = static_cast<char>(0x90);
  VstEvents list;
  std::memset(&list, 0, sizeof(list));
  list.numEvents = 1;
  list.events[0] = reinterpret_cast<VstEvent*>(&ev);
  std::vector<float> l(64, 1.0f), r(64, 1.0f);
  std::vector<double> dl(64, 1.0), dr(64, 1.0);
  float* outs[2] = {l.data(), r.data()};
  double* douts[2] = {dl.data(), dr.data()};
  EXPECT_NO_THROW({
    EXPECT_EQ(Dispatch(e, effGetChunk, 1, 0, &data), 0);
    EXPECT_EQ(Dispatch(e, effSetChunk, 1, static_cast<VstIntPtr>(chunk.size()), chunk.data()), 0);
    EXPECT_EQ(Dispatch(e, effProcessEvents, 0, 0, &list), 0);
    e->setParameter(e, kFakeVolume, 0.25f);
    e->processReplacing(e, nullptr, outs, 64);
    e->processDoubleReplacing(e, nullptr, douts, 64);
    e->process(e, nullptr, outs, 64);
  });
  for (int i = 0; i < 64; ++i) ASSERT_TRUE(l[i] == 0.0f && r[i] == 0.0f && dl[i] == 0.0 && dr[i] == 0.0) << i;

  plug->fail = false;
  EXPECT_EQ(Dispatch(e, effSetChunk, 1, static_cast<VstIntPtr>(chunk.size()), chunk.data()), 1);
  Dispatch(e, effClose);
}

}  // namespace
