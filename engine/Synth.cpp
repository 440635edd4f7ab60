#include "Synth.h"

#include <vector>

#include "TuningClient.h"
#include "platform/Resources.h"

namespace {
// The engine renders only at rates it can hold buffers for; anything else (a
// garbage value) leaves the control-block length at 0, which makes the render
// output silence and the MIDI handler drop what it would queue.
int ControlBlockLengthFor(double sampleRate) {
  if (!(sampleRate >= kMinEngineRate && sampleRate <= kMaxEngineRate)) return 0;
  return static_cast<int>(sampleRate) / 1000;
}
}  // namespace

Synth::Synth(audioMasterCallback host, int nParams, const char* channelIOText, int nPresets,
             const char* effectName, const char* productName, const char* mfrName, int version,
             int uniqueID, int latency, bool doesMidi, bool doesChunks, bool isInstrument)
    : IPlugVST(host, nParams, channelIOText, nPresets, effectName, productName, mfrName, version,
               uniqueID, latency, doesMidi, doesChunks, isInstrument) {
  ReadSettingsAtStartup(&mConfig);
  mTuning = CreateTuningClient();
}

Synth::~Synth() {
  DestroyTuningClient(mTuning);
  mTuning = nullptr;
}

void Synth::ResetProcessing() {
  std::lock_guard<std::recursive_mutex> lock(mLock);
  mMidiQueue.Resize(GetBlockSize());
  ClearHeldNotes();
  mConfig.EndLearn();  // tells the learn switch too
  mSamplesLeftInBlock = 0;
  mShared.controlBlockLength = ControlBlockLengthFor(GetSampleRate());
}

void Synth::LoadStartupBank() {
  if (!mConfig.startupBankPath.empty() && LoadBankFromFXB(mConfig.startupBankPath)) return;
  mConfig.startupBankPath.clear();
  std::vector<uint8_t> bank;
  if (!LoadModuleResource("PROGDATA", "PROGINIT", &bank) || bank.empty()) return;
  LoadBankFromMemory(bank.data(), static_cast<int>(bank.size()));
}
