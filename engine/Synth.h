#pragma once
#include "Config.h"
#include "EngineShared.h"
#include "IPlugVST.h"
#include "MidiQueue.h"
#include "MidiTypes.h"

struct TuningClient;

// Sample rates the engine accepts; others render silence. The host interface
// refuses rates outside this range, so the engine keeps its last good one.
constexpr double kMinEngineRate = IPlugVST::kMinSampleRate;
constexpr double kMaxEngineRate = IPlugVST::kMaxSampleRate;

// The engine layer between the host binding and the instrument: owns the MIDI
// queue, the host transport record, the user settings, the tuning client and
// the values every voice shares, and adds three hooks of its own.
class Synth : public IPlugVST {
 public:
  Synth(audioMasterCallback host, int nParams, const char* channelIOText, int nPresets,
        const char* effectName, const char* productName, const char* mfrName, int version,
        int uniqueID, int latency, bool doesMidi, bool doesChunks, bool isInstrument);
  ~Synth() override;

  // Resizes the MIDI queue to the host block size, clears the held notes,
  // ends a MIDI learn gesture (telling the learn switch), and sets the
  // control-block length from the sample rate.
  void ResetProcessing() override;

  virtual void AllNotesOff() {}         // releases every voice
  virtual void SetupParameters() {}     // defines the parameter table
  virtual void LoadStartupBank();       // configured startup bank, else the factory bank

  const HostTimeInfo& Transport() const { return mTransport; }
  Config& Settings() { return mConfig; }
  const TuningClient* Tuning() const { return mTuning; }
  MidiQueue& Queue() { return mMidiQueue; }
  int ControlBlockLength() const { return mShared.controlBlockLength; }

 protected:
  // Hook for the instrument: held notes live with the voices.
  virtual void ClearHeldNotes() {}

  MidiQueue mMidiQueue;
  HostTimeInfo mTransport;
  Config mConfig;
  TuningClient* mTuning = nullptr;
  EngineShared mShared;
  int mSamplesLeftInBlock = 0;
};
