#pragma once
#include "IPlugParam.h"

// The instrument's 116 parameters as plain data: one row per index. The
// plug-in's parameter set-up, the state reader and the factory-bank generator
// all read this one table, so nothing about a parameter is written twice.
// This file and ParamTable.cpp depend on nothing but the ParamKind enum, so
// native tools can link the table without the rest of the plug-in.

constexpr int kParamTableSize = 116;

// How a parameter's value is shown. Default leaves the framework's own
// display (value texts, or a number with the step's precision).
enum class ParamDisplay : unsigned char {
  Default,
  Decibel,
  Percent,
  FmDepth,
  Send,
  Pan,
  FormantFrequency,
  Voices,  // "Voices" starts with the plain count; "Unison" switches it
};

struct ParamSpec {
  const char* name;
  ParamKind kind;
  double min;
  double max;
  double defaultValue;
  double step;
  double shape;
  const char* const* texts;  // Enum: the value texts, index = value
  int textCount;
  ParamDisplay display;
};

extern const ParamSpec kParamTable[kParamTableSize];

// The modulation sources, index = source number. Inputs that take only
// unipolar sources offer the first kUnipolarSourceCount.
constexpr int kSourceCount = 19;
constexpr int kUnipolarSourceCount = 13;
extern const char* const kSourceNames[kSourceCount];

// Indices that other code refers to by role.
namespace ParamIndex {
constexpr int kVoices = 0;
constexpr int kVolume = 4;
constexpr int kUnison = 111;
constexpr int kUnisonLfoPhase = 115;
constexpr int kLfoSync1 = 80;   // "LFOSyn n" = kLfoSync1 + 6 * (n - 1)
constexpr int kLfoRate1 = 82;   // "LFOFrq n" = kLfoRate1 + 6 * (n - 1)
constexpr int kLfoStride = 6;
constexpr int kEnvDelay2 = 101;  // "Env 2 Dly"
constexpr int kEnvDelay3 = 106;  // "Env 3 Dly"
// Formant n (1..3) occupies kFormant1 + kFormantStride * (n - 1) onwards,
// in the order of the offsets below.
constexpr int kFormant1 = 18;
constexpr int kFormantStride = 15;
constexpr int kFormantType = 0;  // "Type Fn"
constexpr int kFormantBw = 1;    // "Bw Fn"
constexpr int kFormantFreq = 2;  // "Freq Fn"
constexpr int kFormantPart = 3;  // "Part Fn"
constexpr int kFormantOsc1 = 5;  // "Osc1 Fn"
constexpr int kFormantOsc2 = 7;  // "Osc2 Fn"
}  // namespace ParamIndex

// The index of the parameter with exactly this name, or -1.
int FindParamIndex(const char* name);

// A stored or typed value brought into the parameter's range. NaN counts as
// the minimum (the same rule as IPlugParam::SetPlain), infinities clamp like
// any other out-of-range number.
double ClampToRange(const ParamSpec& spec, double v);

// The value of the range that lies nearest to zero: what a parameter takes
// when a state image ends before its value.
double NearestZero(const ParamSpec& spec);

// (int)v, truncating toward zero, for any double: NaN gives 0 and the result
// is clamped to lo..hi before the conversion (a plain cast of NaN or of a
// value beyond the int range is undefined).
int TruncClamped(double v, int lo, int hi);
