#pragma once
#include <cstdint>
#include <memory>

// Pitch steps: 1/128 semitone, MIDI key k = 128 * k.
constexpr int kMaxPitch = 17280;             // 19912.127 Hz, the top of the note table
constexpr int kTableSize = 4096;             // sine, decay and pulse tables
constexpr uint32_t kPhaseMask = 0x0FFFFFFF;  // phases are 28-bit fixed point
constexpr int kPhaseToIndexShift = 16;       // top 12 of 28 bits index the tables

// Note frequencies: t[n] for key n above 8.176 Hz, l[n] below it (n semitones
// down from 8.176 Hz).
struct NoteTables {
  double t[136];
  double l[136];
};
const NoteTables& GetNoteTables();

// Frequency in Hz of a pitch in pitch steps, linear between semitones.
double NoteFrequency(int p);

// Pitch steps of a frequency, by bisection over NoteFrequency (1..17279).
int PitchForFrequency(double hz);

// Sine, decay and pulse (window) tables shared by all formant generators.
struct WaveTables {
  double sine[kTableSize];   // sin(2 pi k / 4096)
  double decay[kTableSize];  // exp(-10 k / 4096)
  double pulse[kTableSize];  // 4095 sin^2(pi i / 4096), symmetric: indices into decay
};
const WaveTables& GetWaveTables();

// Phase increment per sample for every pitch step 0..17280 at one sample rate.
struct PhaseIncrementTable {
  double sampleRate;
  int32_t inc[kMaxPitch + 1];
  int32_t maxIncrement;  // inc[17280]
};

// The table for a sample rate, shared by every oscillator at that rate (of
// any instance) and freed when the last one lets go of it; a couple of tables
// nobody holds are kept for the next request. Takes a lock and may allocate
// and free: call it when the sample rate is set, never while rendering.
std::shared_ptr<const PhaseIncrementTable> PhaseIncrementTableFor(double sampleRate);

// Tables the cache holds now, in use or spare (for tests).
int CachedPhaseIncrementTables();
