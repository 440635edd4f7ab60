#pragma once
// The small display above each formant generator: the resonance curve of a
// "Fixed" formant (SPECTRUM), the partial's waveform of a "Partial" one
// (WAVEFORM), or the shape a "Ring" formant modulates with (WAVESHAPE),
// computed from the formant's parameters and the engine's own sine, pulse
// and decay tables each time it is drawn. Bright while an oscillator feeds
// the formant, dim otherwise.
#include "IControl.h"

class IKSWaveDisplay : public IControl {
 public:
  static constexpr int kWidth = 100, kHeight = 64, kTop = 216;
  static constexpr int kPoints = 97;
  static constexpr int kMaxLines = 144;  // 96 joining lines and 48 bars

  enum Look { kSpectrum = 0, kWaveform = 1, kWaveshape = 2 };

  struct Line {
    int x1, y1, x2, y2;
  };
  // One picture: the look, whether it is bright, the points and the lines
  // that draw them, in drawing order. Plain data, no allocation.
  struct Curve {
    int look = kSpectrum;
    bool bright = false;
    int x[kPoints] = {0};
    int y[kPoints] = {0};
    Line lines[kMaxLines] = {};
    int nLines = 0;
  };

  // paramIdx: "Part F1", "Part F2" or "Part F3" (21, 36, 51); the display
  // holds the six parameters of that formant.
  IKSWaveDisplay(IPlugBase* plug, int x, int paramIdx);
  ~IKSWaveDisplay() override;
  bool Draw(IGraphics* graphics) override;

  // The picture for the current parameter values (read under the plug-in's
  // lock). False when the display has no formant parameters.
  bool ComputeCurve(Curve* out) const;
  static const char* LookName(int look);
  const Rect& LabelRect() const { return mLabelRect; }
  TextStyle& DimStyle() { return mDimText; }

 private:
  enum { kType, kOsc1, kOsc2, kPart, kFreq, kBw, kHeld };
  const IPlugParam* mParams[kHeld] = {};
  Rect mLabelRect;
  ChannelBlend mDimBlend;
  TextStyle mDimText;
  Color mBrightColor, mDimColor;
};
