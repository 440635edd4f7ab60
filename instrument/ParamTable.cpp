#include "ParamTable.h"

#include <cmath>
#include <cstring>

// ---- value-text lists -------------------------------------------------------

const char* const kSourceNames[kSourceCount] = {"Off",   "On",   "LFO1+", "LFO2+", "LFO3+",
                                                "Env1",  "Env2", "Env3",  "Velo",  "Note+",
                                                "Rnd+",  "PBnd+", "Wheel", "LFO1", "LFO2",
                                                "LFO3",  "Note", "Rnd",   "PBend"};

namespace {

constexpr const char* const* kSourceTexts = kSourceNames;
const char* const kFormantTypeTexts[] = {"Fixed", "Partial", "Ring"};
const char* const kLfoWaveTexts[] = {"Sine", "Triangle", "Square", "Saw Down", "Saw Up", "S/H", "3-Step"};
const char* const kSwitchTexts[] = {"Off", "On"};
const char* const kTriggerTexts[] = {"Multi", "Single"};

struct TextList {
  const char* const* texts;
  int count;
};

constexpr TextList kSources{kSourceTexts, kSourceCount};
// AM and LFO-depth inputs only take the unipolar sources, the first thirteen.
constexpr TextList kUnipolarSources{kSourceTexts, kUnipolarSourceCount};
constexpr TextList kFormantTypes{kFormantTypeTexts, 3};
constexpr TextList kLfoWaves{kLfoWaveTexts, 7};
constexpr TextList kSwitch{kSwitchTexts, 2};
constexpr TextList kTrigger{kTriggerTexts, 2};

// ---- row builders -------------------------------------------------------------

using D = ParamDisplay;

constexpr ParamSpec Dbl(const char* name, double min, double max, double def, double step,
                        double shape, ParamDisplay display = D::Default) {
  return {name, ParamKind::Double, min, max, def, step, shape, nullptr, 0, display};
}

constexpr ParamSpec Int(const char* name, int min, int max, int def, ParamDisplay display = D::Default) {
  return {name, ParamKind::Int, double(min), double(max), double(def), 1.0, 1.0, nullptr, 0, display};
}

constexpr ParamSpec Bool(const char* name, bool def) {
  return {name, ParamKind::Bool, 0.0, 1.0, def ? 1.0 : 0.0, 1.0, 1.0, nullptr, 0, D::Default};
}

constexpr ParamSpec Enum(const char* name, TextList list, int def) {
  return {name, ParamKind::Enum, 0.0, double(list.count - 1), double(def), 1.0, 1.0,
          list.texts, list.count, D::Default};
}

}  // namespace

// Columns: name, range, default, step, shape, display. Enum defaults are
// indices into their list (the comment names the text).
const ParamSpec kParamTable[kParamTableSize] = {
    // ---- global settings
    /*   0 */ Int("Voices", 0, 31, 0, D::Voices),
    /*   1 */ Bool("Free Run", true),
    /*   2 */ Dbl("Portamnt", 0, 5, 0, 0.01, 4),
    /*   3 */ Int("PB Range", -24, 24, 2),
    /*   4 */ Dbl("Volume", 0, 1, 0.5, 0.01, 1, D::Decibel),
    /*   5 */ Bool("SoftClip", false),
    // ---- oscillator 1
    /*   6 */ Int("Pitch 1", -24, 24, 0),
    /*   7 */ Int("Tune 1", -64, 64, 0),
    /*   8 */ Dbl("FM1Amt 1", -1, 1, 0, 0.01, 1, D::FmDepth),
    /*   9 */ Enum("FM1Src 1", kSources, 13),  // LFO1
    /*  10 */ Dbl("FM2Amt 1", -1, 1, 0, 0.01, 1, D::FmDepth),
    /*  11 */ Enum("FM2Src 1", kSources, 6),   // Env2
    // ---- oscillator 2
    /*  12 */ Int("Pitch 2", -24, 24, 0),
    /*  13 */ Int("Tune 2", -64, 64, 0),
    /*  14 */ Dbl("FM1Amt 2", -1, 1, 0, 0.01, 1, D::FmDepth),
    /*  15 */ Enum("FM1Src 2", kSources, 13),  // LFO1
    /*  16 */ Dbl("FM2Amt 2", -1, 1, 0, 0.01, 1, D::FmDepth),
    /*  17 */ Enum("FM2Src 2", kSources, 6),   // Env2
    // ---- formant 1
    /*  18 */ Enum("Type F1", kFormantTypes, 1),  // Partial
    /*  19 */ Dbl("Bw F1", 0, 1, 0, 0.01, 1, D::Percent),
    /*  20 */ Dbl("Freq F1", 0, 1, 0.4, 0.001, 0.5, D::FormantFrequency),
    /*  21 */ Dbl("Part F1", 1, 50, 1, 0.01, 1),
    /*  22 */ Dbl("Vol F1", 0, 1, 0.75, 0.01, 1, D::Decibel),
    /*  23 */ Bool("Osc1 F1", true),
    /*  24 */ Dbl("Send1 F1", 0, 1, 0.5, 0.001, 1, D::Send),
    /*  25 */ Bool("Osc2 F1", false),
    /*  26 */ Dbl("Send2 F1", 0, 1, 0.5, 0.001, 1, D::Send),
    /*  27 */ Dbl("FM1Am F1", -1, 1, 0, 0.01, 1, D::FmDepth),
    /*  28 */ Enum("FM1Sc F1", kSources, 6),    // Env2
    /*  29 */ Dbl("FM2Am F1", -1, 1, 0, 0.01, 1, D::FmDepth),
    /*  30 */ Enum("FM2Sc F1", kSources, 16),   // Note
    /*  31 */ Dbl("AMAmt F1", -1, 1, 0, 0.01, 1, D::Percent),
    /*  32 */ Enum("AMSrc F1", kUnipolarSources, 7),  // Env3
    // ---- formant 2
    /*  33 */ Enum("Type F2", kFormantTypes, 1),  // Partial
    /*  34 */ Dbl("Bw F2", 0, 1, 0, 0.01, 1, D::Percent),
    /*  35 */ Dbl("Freq F2", 0, 1, 0.6, 0.001, 0.5, D::FormantFrequency),
    /*  36 */ Dbl("Part F2", 1, 50, 2, 0.01, 1),
    /*  37 */ Dbl("Vol F2", 0, 1, 0.75, 0.01, 1, D::Decibel),
    /*  38 */ Bool("Osc1 F2", false),
    /*  39 */ Dbl("Send1 F2", 0, 1, 0.5, 0.001, 1, D::Send),
    /*  40 */ Bool("Osc2 F2", false),
    /*  41 */ Dbl("Send2 F2", 0, 1, 0.5, 0.001, 1, D::Send),
    /*  42 */ Dbl("FM1Am F2", -1, 1, 0, 0.01, 1, D::FmDepth),
    /*  43 */ Enum("FM1Sc F2", kSources, 6),    // Env2
    /*  44 */ Dbl("FM2Am F2", -1, 1, 0, 0.01, 1, D::FmDepth),
    /*  45 */ Enum("FM2Sc F2", kSources, 16),   // Note
    /*  46 */ Dbl("AMAmt F2", -1, 1, 0, 0.01, 1, D::Percent),
    /*  47 */ Enum("AMSrc F2", kUnipolarSources, 7),  // Env3
    // ---- formant 3
    /*  48 */ Enum("Type F3", kFormantTypes, 1),  // Partial
    /*  49 */ Dbl("Bw F3", 0, 1, 0, 0.01, 1, D::Percent),
    /*  50 */ Dbl("Freq F3", 0, 1, 0.7, 0.001, 0.5, D::FormantFrequency),
    /*  51 */ Dbl("Part F3", 1, 50, 3, 0.01, 1),
    /*  52 */ Dbl("Vol F3", 0, 1, 0.75, 0.01, 1, D::Decibel),
    /*  53 */ Bool("Osc1 F3", false),
    /*  54 */ Dbl("Send1 F3", 0, 1, 0.5, 0.001, 1, D::Send),
    /*  55 */ Bool("Osc2 F3", false),
    /*  56 */ Dbl("Send2 F3", 0, 1, 0.5, 0.001, 1, D::Send),
    /*  57 */ Dbl("FM1Am F3", -1, 1, 0, 0.01, 1, D::FmDepth),
    /*  58 */ Enum("FM1Sc F3", kSources, 6),    // Env2
    /*  59 */ Dbl("FM2Am F3", -1, 1, 0, 0.01, 1, D::FmDepth),
    /*  60 */ Enum("FM2Sc F3", kSources, 16),   // Note
    /*  61 */ Dbl("AMAmt F3", -1, 1, 0, 0.01, 1, D::Percent),
    /*  62 */ Enum("AMSrc F3", kUnipolarSources, 7),  // Env3
    // ---- output bus 1
    /*  63 */ Dbl("Level 1", 0, 1, 0.5, 0.01, 1, D::Decibel),
    /*  64 */ Dbl("AM1Amt 1", -1, 1, 0, 0.01, 1, D::Percent),
    /*  65 */ Enum("AM1Src 1", kUnipolarSources, 4),  // LFO3+
    /*  66 */ Dbl("AM2Amt 1", -1, 1, 0, 0.01, 1, D::Percent),
    /*  67 */ Enum("AM2Src 1", kUnipolarSources, 8),  // Velo
    /*  68 */ Dbl("Pan 1", 0, 1, 0.5, 0.01, 1, D::Pan),
    /*  69 */ Dbl("PanAmt 1", -1, 1, 0, 0.01, 1, D::Percent),
    /*  70 */ Enum("PanSrc 1", kSources, 14),  // LFO2
    // ---- output bus 2
    /*  71 */ Dbl("Level 2", 0, 1, 0.5, 0.01, 1, D::Decibel),
    /*  72 */ Dbl("AM1Amt 2", -1, 1, 0, 0.01, 1, D::Percent),
    /*  73 */ Enum("AM1Src 2", kUnipolarSources, 4),  // LFO3+
    /*  74 */ Dbl("AM2Amt 2", -1, 1, 0, 0.01, 1, D::Percent),
    /*  75 */ Enum("AM2Src 2", kUnipolarSources, 8),  // Velo
    /*  76 */ Dbl("Pan 2", 0, 1, 0.5, 0.01, 1, D::Pan),
    /*  77 */ Dbl("PanAmt 2", -1, 1, 0, 0.01, 1, D::Percent),
    /*  78 */ Enum("PanSrc 2", kSources, 14),  // LFO2
    // ---- LFO 1 (the rate shows sync names while "LFOSyn 1" is On)
    /*  79 */ Enum("LFOWav 1", kLfoWaves, 0),  // Sine
    /*  80 */ Enum("LFOSyn 1", kSwitch, 0),    // Off
    /*  81 */ Enum("LFORtg 1", kSwitch, 0),    // Off
    /*  82 */ Dbl("LFOFrq 1", 0, 100, 5.5, 0.01, 4),
    /*  83 */ Dbl("LFOMod 1", -1, 1, 0, 0.01, 1, D::Percent),
    /*  84 */ Enum("LFOSrc 1", kUnipolarSources, 12),  // Wheel
    // ---- LFO 2
    /*  85 */ Enum("LFOWav 2", kLfoWaves, 0),  // Sine
    /*  86 */ Enum("LFOSyn 2", kSwitch, 0),    // Off
    /*  87 */ Enum("LFORtg 2", kSwitch, 0),    // Off
    /*  88 */ Dbl("LFOFrq 2", 0, 100, 1, 0.01, 4),
    /*  89 */ Dbl("LFOMod 2", -1, 1, 0, 0.01, 1, D::Percent),
    /*  90 */ Enum("LFOSrc 2", kUnipolarSources, 0),  // Off
    // ---- LFO 3
    /*  91 */ Enum("LFOWav 3", kLfoWaves, 0),  // Sine
    /*  92 */ Enum("LFOSyn 3", kSwitch, 0),    // Off
    /*  93 */ Enum("LFORtg 3", kSwitch, 0),    // Off
    /*  94 */ Dbl("LFOFrq 3", 0, 100, 0.1, 0.01, 4),
    /*  95 */ Dbl("LFOMod 3", -1, 1, 0, 0.01, 1, D::Percent),
    /*  96 */ Enum("LFOSrc 3", kUnipolarSources, 0),  // Off
    // ---- envelopes (envelope 1 has no delay)
    /*  97 */ Dbl("Env 1 A", 0, 1, 0, 0.01, 1, D::Percent),
    /*  98 */ Dbl("Env 1 D", 0, 1, 0, 0.01, 1, D::Percent),
    /*  99 */ Dbl("Env 1 S", 0, 1, 1, 0.01, 1, D::Percent),
    /* 100 */ Dbl("Env 1 R", 0, 1, 0, 0.01, 1, D::Percent),
    /* 101 */ Dbl("Env 2 Dly", 0, 1, 0, 0.01, 1, D::Percent),
    /* 102 */ Dbl("Env 2 A", 0, 1, 0, 0.01, 1, D::Percent),
    /* 103 */ Dbl("Env 2 D", 0, 1, 0, 0.01, 1, D::Percent),
    /* 104 */ Dbl("Env 2 S", 0, 1, 0, 0.01, 1, D::Percent),
    /* 105 */ Dbl("Env 2 R", 0, 1, 0, 0.01, 1, D::Percent),
    /* 106 */ Dbl("Env 3 Dly", 0, 1, 0, 0.01, 1, D::Percent),
    /* 107 */ Dbl("Env 3 A", 0, 1, 0, 0.01, 1, D::Percent),
    /* 108 */ Dbl("Env 3 D", 0, 1, 0, 0.01, 1, D::Percent),
    /* 109 */ Dbl("Env 3 S", 0, 1, 0, 0.01, 1, D::Percent),
    /* 110 */ Dbl("Env 3 R", 0, 1, 0.1, 0.01, 1, D::Percent),
    // ---- added last: missing from the oldest state images
    /* 111 */ Enum("Unison", kSwitch, 0),     // Off
    /* 112 */ Enum("Env1 Trg", kTrigger, 0),  // Multi
    /* 113 */ Enum("Env2 Trg", kTrigger, 0),  // Multi
    /* 114 */ Enum("Env3 Trg", kTrigger, 0),  // Multi
    /* 115 */ Dbl("Unison LFO Phase", 0, 360, 0, 1, 1),
};

int FindParamIndex(const char* name) {
  if (!name) return -1;
  for (int i = 0; i < kParamTableSize; ++i) {
    if (std::strcmp(kParamTable[i].name, name) == 0) return i;
  }
  return -1;
}

double ClampToRange(const ParamSpec& spec, double v) {
  if (std::isnan(v) || v < spec.min) return spec.min;
  return v > spec.max ? spec.max : v;
}

double NearestZero(const ParamSpec& spec) {
  if (spec.min > 0.0) return spec.min;
  if (spec.max < 0.0) return spec.max;
  return 0.0;
}

int TruncClamped(double v, int lo, int hi) {
  if (std::isnan(v)) v = 0.0;
  if (v <= lo) return lo;
  if (v >= hi) return hi;
  return static_cast<int>(v);
}
