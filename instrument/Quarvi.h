#pragma once
#include <atomic>

#include "ParamDispatch.h"
#include "Synth.h"
#include "VoicePool.h"

constexpr int kNumParams = 116;
constexpr int kNumPrograms = 64;

// The instrument: 64 voices, the tempo clock, the output stage, the
// parameter table and the state image.
class Quarvi : public Synth {
 public:
  explicit Quarvi(audioMasterCallback host);
  ~Quarvi() override;

  // Render frame (engine/QuarviEngine.cpp)
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override;
  void ResetProcessing() override;
  void SetActive(bool active) override;
  void HandleMidiMessage(const MidiMessage& msg) override;
  void AllNotesOff() override;

  // Parameters (instrument/ParamTable.cpp, engine/ParamDispatch.cpp)
  void SetupParameters() override;
  void ParamChanged(int index) override;
  // A bank load: value changes reach the voices once, at its end.
  int UnserializePresets(const ChunkBuffer& chunk, int pos) override;

  // State image (instrument/State.cpp)
  bool SerializeState(ChunkBuffer* chunk) override;
  int UnserializeState(const ChunkBuffer& chunk, int pos) override;

  // MIDI learn and the global switches (instrument/MidiLearn.cpp)
  void ArmLearn(bool armed, bool unlearn);
  void CaptureController(int controller);
  void CaptureParameter(int index);
  void CommitLearn();
  void ToggleMidiThru();
  void ToggleIgnoreProgramChange();
  // Writes the settings file's MIDI sections (Config::WriteMidiSettings) from
  // a copy taken under the lock; "Save Configuration" writes All.
  bool WriteMidiSettings(MidiSettings which);

  void EditorIdle() override;

  // Read by tests and the editor.
  VoicePool& Pool() { return mPool; }
  EngineShared& Shared() { return mShared; }
  double OutputGain() const { return mOutputGain; }
  double Volume() const { return mVolume; }
  bool SoftClip() const { return mSoftClip; }
  bool TakeClipIndicator() { return mClipIndicator.exchange(false, std::memory_order_relaxed); }
  bool TakeDisplayDirty() { return mDisplayDirty.exchange(false, std::memory_order_relaxed); }
  int DisplayFormantType(int j) const { return mDisplayFormantType[j].load(std::memory_order_relaxed); }
  double EngineSampleRate() const { return mEngineSampleRate; }

 protected:
  void ClearHeldNotes() override;

 private:
  friend struct ParamDispatch;
  friend class ReferenceEngine;  // the straightforward render the tests hold the engine to

  // Applies one queued MIDI message at a control-block boundary.
  void ApplyEvent(const MidiMessage& msg);
  // Applies every queued message due in the control block starting now.
  void RunEventStep(int B);
  void ApplyMappedController(int controller, int value);
  void UpdateOutputGain() { mOutputGain = mVolume * mPool.unisonCompensation; }

  VoicePool mPool;
  DispatchMemory mDispatch;
  double mEngineSampleRate = 0.0;
  double mVolume = 1.0;
  double mOutputGain = 1.0;
  bool mSoftClip = false;
  bool mLfoSync[3] = {false, false, false};
  // Read and cleared by the editor's idle hook without the lock.
  std::atomic<bool> mClipIndicator{false};
  std::atomic<bool> mDisplayDirty{true};
  std::atomic<int> mDisplayFormantType[3];
};

IPlugVST* CreateInstrument(audioMasterCallback host);
