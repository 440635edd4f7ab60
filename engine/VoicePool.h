#pragma once
#include <cstdint>

#include "MidiTypes.h"
#include "Voice.h"

struct EngineShared;
struct TuningClient;

// The 64 voice slots and everything that decides which of them a key plays:
// the keys held down, the voice mode ("Voices" and "Unison"), unison detune
// and LFO phase spread, voice choice and stealing, the single-voice return to
// held keys, the sustain pedal and all-notes-off.
//
// Slot layout: lead voices occupy slots 0..P-1; unison copy i of the lead in
// slot e is slot e + i*P. Only slots 0..activeVoiceCount-1 are rendered.
//
// Every operation here may run inside the render (the control-block event
// step) and allocates nothing.
class VoicePool {
 public:
  static constexpr int kSlots = 64;
  // Held keys are tracked for every value a MIDI data byte can carry.
  static constexpr int kKeys = 256;

  Voice voices[kSlots];
  int voiceMode = 0;       // "Voices", 0..31
  bool unisonOn = false;   // "Unison"
  int polyCount = 1;       // P: keys that can sound at once
  int unisonCount = 1;     // U: voices per key
  int activeVoiceCount = 1;         // P * U
  double unisonCompensation = 1.0;  // 1/sqrt(U) with unison, else 1
  double unisonPhaseSpread = 0.0;   // 0..2 for 0..360 degrees
  int noteSerialCounter = 0;        // orders voices by the age of their note
  const TuningClient* tuning = nullptr;  // null: equal temperament

  VoicePool();
  VoicePool(const VoicePool&) = delete;
  VoicePool& operator=(const VoicePool&) = delete;

  // Points every voice (and the pitch-bend and mod-wheel handling of
  // ApplyMessage) at the instrument's shared values.
  void Attach(EngineShared* shared);

  // Applies one due MIDI message at a control-block boundary: note on and
  // off, sustain (controller 64), mod wheel (controller 1) and pitch bend.
  // Returns false for a controller 0..119 other than 1 and 64, which the
  // caller applies through its controller map; true for everything handled
  // or ignored here. The channel is ignored.
  bool ApplyMessage(const MidiMessage& msg);

  // A note-on as received: dropped (returns false) when a tuning master
  // filters the key; otherwise the key is marked held with its velocity and
  // NoteOn runs. Velocity 0 is a note-off and never filtered.
  bool KeyDown(int key, int velocity);

  // Starts key on a lead slot and its unison copies. Choice of the lead slot
  // among 0..P-1: the slot already playing (or last played) this key; else
  // the first inactive one; else the one with the oldest note (lowest slot on
  // ties). Does not touch the held keys.
  void NoteOn(int key, int velocity);
  // The key went up. With one lead voice the voice returns to the highest
  // key still held (without a release); otherwise every slot playing key is
  // released unless the sustain pedal holds it.
  void NoteOff(int key);
  // Sustain pedal on every slot. Pedal up releases every voice whose key is up.
  void Pedal(bool down);
  // Forgets all held keys, lifts the pedal and releases every slot. Nothing is
  // cut: voices fade with their release times.
  void AllNotesOff();

  // Derives P, U, activeVoiceCount and unisonCompensation from voiceMode and
  // unisonOn, sets the LFO phase offsets and zeroes the LFOs of all 64 slots.
  // The caller recomputes its output gain from unisonCompensation.
  void ApplyVoiceMode();
  // "Voices" changed to k: releases everything, then applies the mode.
  // Returns false (and does nothing) for k outside 0..31 or equal to the
  // current mode; on true the caller re-dispatches all parameters.
  bool SetVoiceMode(int k);
  // "Unison" changed: applies the mode without releasing anything.
  void SetUnison(bool on);
  // "Unison LFO Phase" changed (spread = 2 * normalized value): sets the phase
  // offsets without disturbing the running LFOs.
  void SetUnisonPhaseSpread(double spread);

  // At reset: the serial counter starts over. Voices still sounding are
  // renumbered 1..n in their age order first, so that the next notes still
  // count as younger than them.
  void ResetSerials();
  void ClearHeldNotes();

  // Pitch steps of key: 128 * key in equal temperament, else the tuning
  // master's frequency converted by bisection over the note table.
  int TuningPitch(int key) const;
  // A tuning master asks not to play key.
  bool ShouldFilterNote(int key) const;

  bool IsHeld(int key) const { return InKeyRange(key) && mHeld[key]; }
  int HeldVelocity(int key) const { return IsHeld(key) ? mHeldVelocity[key] : 0; }
  int HeldCount() const { return mHeldCount; }
  // Highest held key, or -1 when none is held.
  int HighestHeldKey() const;

 private:
  static bool InKeyRange(int key) { return key >= 0 && key < kKeys; }
  void SetPhaseOffsets();

  EngineShared* mShared = nullptr;
  bool mHeld[kKeys];
  int mHeldVelocity[kKeys];
  int mHeldCount = 0;
};
