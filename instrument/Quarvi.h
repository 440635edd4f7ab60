#pragma once
#include <atomic>

#include "ChunkBuffer.h"
#include "ParamDispatch.h"
#include "Synth.h"
#include "VoicePool.h"

constexpr int kNumParams = 116;
constexpr int kNumPrograms = 64;

// The instrument: 64 voices, the tempo clock, the output stage, the
// parameter table and the state image.
class IControl;
class IGraphics;
class IKSSwitchMidiLearn;

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

  // The editor (instrument/EditorBuild.cpp). Only while its window is open:
  // the clip light follows the clip flag, and after a formant change the
  // Freq and Part knobs follow the formant types and the formant displays
  // redraw.
  void EditorIdle() override;
  // Builds the editor's layout into a new, empty editor, attaches it (in
  // place of the current one, which is destroyed) and keeps the controls the
  // instrument drives. The constructor installs the platform's editor;
  // pictures and tests install a headless one. An editor installed after
  // construction starts from the current values (a double-click on a
  // control returns to them).
  void InstallEditor(IGraphics* editor);
  // Attaching an editor of any other kind forgets the controls of the
  // installed one: a replaced editor's controls are gone.
  void AttachEditor(IGraphics* editor) override;
  // Pushes every value to the editor's controls and redraws the program
  // display, whose number and name no parameter carries.
  void RefreshParamControls() override;
  // The control that shows the current program's number and name (kept by
  // the editor layout; not owned).
  void SetProgramDisplay(IControl* display) { mProgramDisplay.store(display, std::memory_order_relaxed); }
  // Redraws the voice display, whose digits follow "Unison" as well as
  // "Voices". Any thread (it only marks the control).
  void RedrawVoiceDisplay();

  // The utility menu's commands 0..21 (program, bank, configuration and
  // online commands; instrument/ProgramCommands.cpp), run on the editor's
  // thread with the editor that asked.
  virtual void DoUtilityCommand(int command, IGraphics* editor);
  // The program clipboard behind "Copy Program" and "Paste Program".
  void CopyCurrentProgram();
  bool PasteProgram();  // false with nothing copied
  // Whether "Copy Program" has filled the copy buffer (enables "Paste").
  // The buffer changes only by commands on the editor's thread, where this
  // is asked too.
  bool HasCopiedProgram() const { return mCopyBuffer.Size() > 0; }

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

  // "Copy Program": the parameter values of the copied program, and the
  // index of the program that was current then (-1 before any copy).
  ChunkBuffer mCopyBuffer;
  int mCopySource = -1;

 private:
  friend struct ParamDispatch;
  friend class ReferenceEngine;  // the straightforward render the tests hold the engine to

  // Applies one queued MIDI message at a control-block boundary.
  void ApplyEvent(const MidiMessage& msg);
  // Applies every queued message due in the control block starting now.
  void RunEventStep(int B);
  void ApplyMappedController(int controller, int value);
  void UpdateOutputGain() { mOutputGain = mVolume * mPool.unisonCompensation; }

  // The controls the instrument drives itself, out of the editor's control
  // list (not owned). Set once the layout is attached; cleared when another
  // editor is attached.
  struct EditorHandles {
    IControl* programDisplay = nullptr;
    IKSSwitchMidiLearn* learnSwitch = nullptr;
    IControl* clipLed = nullptr;
    IControl* voiceDisplay = nullptr;
    IControl* waveDisplay[3] = {nullptr, nullptr, nullptr};
    IControl* freqKnob[3] = {nullptr, nullptr, nullptr};
    IControl* partKnob[3] = {nullptr, nullptr, nullptr};
  };
  // Builds the layout into a new, empty editor (EditorLayout.h).
  EditorHandles BuildEditor(IGraphics* editor);
  // Config::onLearnFinished: the learn switch goes back to idle.
  void ResetLearnSwitch();

  VoicePool mPool;
  DispatchMemory mDispatch;
  // The controls the editor's thread drives (idle hook, learn switch reset
  // under the lock).
  EditorHandles mEditorHandles;
  // The two that any thread may redraw.
  std::atomic<IControl*> mProgramDisplay{nullptr};
  std::atomic<IControl*> mVoiceDisplay{nullptr};
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
