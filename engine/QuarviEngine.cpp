// The render frame of the instrument: control-block cutting of host buffers,
// the tempo clock, the MIDI event step and the output stage.
#include <algorithm>
#include <cmath>

#include "FloatMode.h"
#include "OutputStage.h"
#include "Quarvi.h"

namespace {

constexpr int kNoteOff = 0x8;
constexpr int kNoteOn = 0x9;
constexpr int kControlChange = 0xB;
constexpr int kProgramChange = 0xC;
constexpr int kPitchBend = 0xE;

constexpr int kSustain = 64;
constexpr int kAllSoundOff = 120;
constexpr int kAllNotesOff = 123;
constexpr int kFirstChannelMode = 120;

// Controllers and pitch bend beyond the first control block of a buffer move
// half a block later, so that they land on the nearest boundary rather than
// the preceding one. Saturates instead of overflowing on absurd host offsets.
inline int32_t ShiftHalfBlock(int32_t offset, int B) {
  if (offset <= B) return offset;
  const int64_t shifted = static_cast<int64_t>(offset) + B / 2;
  return shifted > INT32_MAX ? INT32_MAX : static_cast<int32_t>(shifted);
}

}  // namespace

void Quarvi::ProcessBlock(double** /*inputs*/, double** outputs, int nFrames) {
  ScopedFlushDenormals flushDenormals;
  double* left = outputs[0];
  double* right = outputs[1];
  if (nFrames <= 0) return;
  std::fill(left, left + nFrames, 0.0);
  std::fill(right, right + nFrames, 0.0);

  const int B = mShared.controlBlockLength;
  // Without a reset at a usable sample rate there is no control block to cut
  // the buffer into: the instrument stays silent.
  if (B <= 0) return;

  TempoClock& clock = mShared.tempoClock;
  if (mLfoSync[0] || mLfoSync[1] || mLfoSync[2]) {
    GetTime(&mTransport);
    clock.Update(mTransport, GetSampleRate());
    if (mTransport.transportIsRunning != clock.wasPlaying) {
      clock.wasPlaying = mTransport.transportIsRunning;
      if (clock.wasPlaying) clock.Restart();
    }
  }

  bool clipped = false;
  const double g = mOutputGain;
  int pos = 0;
  int remaining = nFrames;
  while (remaining > 0) {
    int n;
    if (mSamplesLeftInBlock <= 0) {
      RunEventStep(B);
      const int active = mPool.activeVoiceCount;
      for (int v = 0; v < active; ++v) mPool.voices[v].ControlUpdate();
      n = B;
      if (remaining < B) {
        mSamplesLeftInBlock = B - remaining;
        n = remaining;
      }
    } else if (mSamplesLeftInBlock < remaining) {
      n = mSamplesLeftInBlock;
      mSamplesLeftInBlock = 0;
    } else {
      n = remaining;
      mSamplesLeftInBlock -= remaining;
    }

    clock.Step(n);

    double* l = left + pos;
    double* r = right + pos;
    RenderVoices(mPool.voices, mPool.activeVoiceCount, l, r, n);

    if (ApplyOutputStage(l, r, n, g, mSoftClip)) clipped = true;

    pos += n;
    remaining -= n;
  }
  if (clipped) mClipIndicator.store(true, std::memory_order_relaxed);
}

void Quarvi::RunEventStep(int B) {
  mMidiQueue.ApplyDue(B, [this](const MidiMessage& m) { ApplyEvent(m); });
}

void Quarvi::ApplyEvent(const MidiMessage& msg) {
  // Notes, pedal, mod wheel and pitch bend belong to the voices; any other
  // controller goes through the learned controller map.
  if (!mPool.ApplyMessage(msg)) ApplyMappedController(msg.data1, msg.data2);
}

void Quarvi::HandleMidiMessage(const MidiMessage& msg) {
  std::lock_guard<std::recursive_mutex> lock(mLock);
  if (mConfig.midiThru) SendMidiMessage(msg);

  const int B = mShared.controlBlockLength;
  // Without a control block nothing would ever drain the queue: what would be
  // queued is dropped instead of piling up.
  const bool canQueue = B > 0;
  // Data bytes are 7-bit; a host that sends more must not index past the
  // 128-key tables of the engine.
  MidiMessage m = msg;
  m.data1 &= 0x7F;
  m.data2 &= 0x7F;
  switch (m.Kind()) {
    case kNoteOff:
      if (canQueue) mMidiQueue.Add(m);
      break;
    case kNoteOn:
      if (m.data2 == 0) m.status = 0x80;
      if (canQueue) mMidiQueue.Add(m);
      break;
    case kControlChange:
      if (m.data1 >= kFirstChannelMode) {
        if (m.data1 == kAllSoundOff || m.data1 == kAllNotesOff) AllNotesOff();
        break;
      }
      if (mConfig.learnActive) {
        CaptureController(m.data1);
        break;
      }
      // Notes and the sustain pedal keep their exact block.
      if (m.data1 != kSustain) m.offset = ShiftHalfBlock(m.offset, B);
      if (canQueue) mMidiQueue.Add(m);
      break;
    case kProgramChange:
      if (!mConfig.ignoreProgramChange) {
        // Same as a host program change: the edits of the current program are
        // kept in its slot before the new one loads.
        if (m.data1 < NPresets()) {
          ModifyCurrentPreset();
          LoadProgramSlot(m.data1);
          NotifyHostProgramChanged();
        }
      }
      break;
    case kPitchBend:
      m.offset = ShiftHalfBlock(m.offset, B);
      if (canQueue) mMidiQueue.Add(m);
      break;
    default:
      break;
  }
}

void Quarvi::AllNotesOff() {
  std::lock_guard<std::recursive_mutex> lock(mLock);
  mPool.AllNotesOff();
}

void Quarvi::ClearHeldNotes() { mPool.ClearHeldNotes(); }

void Quarvi::ResetProcessing() {
  std::lock_guard<std::recursive_mutex> lock(mLock);
  Synth::ResetProcessing();
  const double sr = GetSampleRate();
  if (mShared.controlBlockLength > 0 && sr != mEngineSampleRate) {
    mEngineSampleRate = sr;
    for (Voice& v : mPool.voices) v.SetSampleRate(sr);
  }
  mShared.pitchBend = 0.0;
  mShared.modWheel = 0.0;
  mShared.pitchBendUnipolar = 0.5;
  mPool.ResetSerials();
}

void Quarvi::SetActive(bool active) {
  std::lock_guard<std::recursive_mutex> lock(mLock);
  if (!active) return;
  for (int i = 0; i < NParams(); ++i) ParamChanged(i);
}
