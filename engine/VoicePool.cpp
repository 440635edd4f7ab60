#include "VoicePool.h"

#include <algorithm>
#include <cmath>

#include "EngineShared.h"
#include "Tables.h"
#include "TuningClient.h"
#include "VoiceModes.h"

VoicePool::VoicePool() {
  ClearHeldNotes();
}

void VoicePool::Attach(EngineShared* shared) {
  mShared = shared;
  for (Voice& v : voices) v.Attach(shared);
}

bool VoicePool::ApplyMessage(const MidiMessage& msg) {
  switch (msg.status >> 4) {
    case 0x8:
      NoteOff(msg.data1);
      return true;
    case 0x9:
      KeyDown(msg.data1, msg.data2);
      return true;
    case 0xB: {
      const int controller = msg.data1;
      const int value = msg.data2 & 0x7F;
      if (controller == 1) {
        if (mShared) mShared->modWheel = value / 127.0;
        return true;
      }
      if (controller == 64) {
        Pedal(value / 127.0 > 0);
        return true;
      }
      // Controllers from 120 up are channel-mode messages, never mapped.
      return controller >= 120;
    }
    case 0xE:
      if (mShared) {
        // 14-bit value from the two 7-bit data bytes, centred on 0x2000.
        const int lsb = msg.data1 & 0x7F;
        const int msb = msg.data2 & 0x7F;
        mShared->pitchBend = ((msb - 64) * 128 + lsb) / 8192.0;
        mShared->pitchBendUnipolar = (mShared->pitchBend + 1.0) * 0.5;
      }
      return true;
    default:
      return true;
  }
}

bool VoicePool::KeyDown(int key, int velocity) {
  if (velocity <= 0) {
    NoteOff(key);
    return true;
  }
  if (ShouldFilterNote(key)) return false;
  if (InKeyRange(key)) {
    if (!mHeld[key]) ++mHeldCount;
    mHeld[key] = true;
    mHeldVelocity[key] = velocity;
  }
  NoteOn(key, velocity);
  return true;
}

void VoicePool::NoteOn(int key, int velocity) {
  const int P = polyCount;
  const int U = unisonCount;

  int lead = -1;
  for (int s = 0; s < P; ++s) {
    if (voices[s].key == key) {
      lead = s;
      break;
    }
  }
  if (lead < 0) {
    for (int s = 0; s < P; ++s) {
      if (!voices[s].active) {
        lead = s;
        break;
      }
    }
  }
  if (lead < 0) {
    lead = 0;
    for (int s = 1; s < P; ++s) {
      if (voices[s].serial < voices[lead].serial) lead = s;
    }
  }

  const int pitch = TuningPitch(key);
  const int* detune = VoiceModes::UnisonDetune(U);
  ++noteSerialCounter;
  for (int i = 0; i < U; ++i) {
    Voice& v = voices[lead + i * P];
    v.detune = detune[i];
    ++noteSerialCounter;
    v.NoteOn(key, velocity, noteSerialCounter, pitch);
  }
}

void VoicePool::NoteOff(int key) {
  if (InKeyRange(key) && mHeld[key]) {
    mHeld[key] = false;
    mHeldVelocity[key] = 0;
    --mHeldCount;
  }

  if (polyCount == 1 && voices[0].active && mHeldCount > 0) {
    // One lead voice: go back to the highest key still held, keeping the
    // envelopes running (they retrigger as their trigger mode says).
    const int h = HighestHeldKey();
    if (h != voices[0].key) NoteOn(h, mHeldVelocity[h]);
    return;
  }

  for (Voice& v : voices) {
    if (v.key != key) continue;
    v.keyDown = false;
    if (!v.sustained) v.Release();
  }
}

void VoicePool::Pedal(bool down) {
  for (Voice& v : voices) v.Pedal(down);
}

void VoicePool::AllNotesOff() {
  ClearHeldNotes();
  for (Voice& v : voices) v.Pedal(false);
  for (Voice& v : voices) {
    v.keyDown = false;
    v.Release();
  }
}

void VoicePool::ApplyVoiceMode() {
  polyCount = VoiceModes::PolyCount(voiceMode, unisonOn);
  unisonCount = VoiceModes::UnisonCount(voiceMode, unisonOn);
  unisonCompensation = unisonOn ? 1.0 / std::sqrt(static_cast<double>(unisonCount)) : 1.0;
  activeVoiceCount = polyCount * unisonCount;
  SetPhaseOffsets();
  for (Voice& v : voices) v.ZeroLfos();
}

bool VoicePool::SetVoiceMode(int k) {
  if (k < 0 || k >= VoiceModes::kModeCount || k == voiceMode) return false;
  AllNotesOff();
  voiceMode = k;
  ApplyVoiceMode();
  return true;
}

void VoicePool::SetUnison(bool on) {
  unisonOn = on;
  ApplyVoiceMode();
}

void VoicePool::SetUnisonPhaseSpread(double spread) {
  unisonPhaseSpread = spread;
  SetPhaseOffsets();
}

void VoicePool::SetPhaseOffsets() {
  // Copy i of every key runs its LFOs i/U of the spread angle ahead, so the
  // copies of one key are spread evenly (2 = one whole cycle).
  for (int s = 0; s < kSlots; ++s) {
    double offset = 0.0;
    if (unisonOn && s < activeVoiceCount) {
      const int copy = s / polyCount;
      offset = std::min(2.0, copy * unisonPhaseSpread / unisonCount);
    }
    for (Lfo& l : voices[s].lfo) l.phaseOffset = offset;
  }
}

void VoicePool::ResetSerials() {
  // Renumber the sounding voices oldest first (stable on equal serials), so
  // that stealing still takes the oldest note once the counter restarts.
  noteSerialCounter = 0;
  bool done[kSlots] = {};
  for (;;) {
    int next = -1;
    for (int s = 0; s < kSlots; ++s) {
      if (done[s] || !voices[s].active) continue;
      if (next < 0 || voices[s].serial < voices[next].serial) next = s;
    }
    if (next < 0) break;
    done[next] = true;
    voices[next].serial = ++noteSerialCounter;
  }
}

void VoicePool::ClearHeldNotes() {
  std::fill(mHeld, mHeld + kKeys, false);
  std::fill(mHeldVelocity, mHeldVelocity + kKeys, 0);
  mHeldCount = 0;
}

int VoicePool::HighestHeldKey() const {
  if (mHeldCount == 0) return -1;
  for (int k = kKeys - 1; k >= 0; --k) {
    if (mHeld[k]) return k;
  }
  return -1;
}

int VoicePool::TuningPitch(int key) const {
  if (!HasTuningMaster(tuning)) return 128 * key;
  return PitchForFrequency(NoteToFrequency(tuning, key));
}

bool VoicePool::ShouldFilterNote(int key) const {
  return HasTuningMaster(tuning) && ::ShouldFilterNote(tuning, key);
}
