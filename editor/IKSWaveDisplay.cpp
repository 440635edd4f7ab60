#include "IKSWaveDisplay.h"

#include <climits>
#include <cmath>
#include <mutex>

#include "IPlugBase.h"
#include "ParamTable.h"
#include "Tables.h"

namespace {
const Color kBright(192, 64, 255, 212);
const Color kDim(32, 64, 255, 212);
constexpr float kBrightWeight = 0.5f;
constexpr float kDimWeight = 0.1f;

// Vertical placement inside the control: the spectrum rises from its base
// line by up to 42 pixels, the waveforms swing 21 pixels about their middle.
constexpr int kSpectrumBase = 60;
constexpr double kSpectrumHeight = 42.0;
constexpr int kWaveMiddle = 38;
constexpr double kWaveAmplitude = 21.0;
constexpr int kEnvelopeStep = 42;  // pulse-table steps per point
constexpr unsigned kTableMask = kTableSize - 1;

int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }
}  // namespace

IKSWaveDisplay::IKSWaveDisplay(IPlugBase* plug, int x, int paramIdx)
    : IControl(plug, Rect(x, kTop, x + kWidth, kTop + kHeight), paramIdx,
               ChannelBlend(ChannelBlend::kNone, kBrightWeight)),
      mDimBlend(ChannelBlend::kNone, kDimWeight),
      mDimText("Arial", 12, kDim),
      mBrightColor(kBright),
      mDimColor(kDim) {
  mText = TextStyle("Arial", 12, kBright);
  mLabelRect = Rect(mRect.L, mRect.T + 4, mRect.R, mRect.T + 12);
  // paramIdx is the formant's "Part Fk"; the block of formant k holds the rest.
  const int first = paramIdx - ParamIndex::kFormantPart;
  const int k = (first - ParamIndex::kFormant1) / ParamIndex::kFormantStride;
  if (!plug || first < ParamIndex::kFormant1 || k > 2 ||
      (first - ParamIndex::kFormant1) % ParamIndex::kFormantStride != 0) {
    return;  // not a formant: the display stays empty
  }
  mParams[kType] = plug->GetParam(first + ParamIndex::kFormantType);
  mParams[kOsc1] = plug->GetParam(first + ParamIndex::kFormantOsc1);
  mParams[kOsc2] = plug->GetParam(first + ParamIndex::kFormantOsc2);
  mParams[kPart] = plug->GetParam(first + ParamIndex::kFormantPart);
  mParams[kFreq] = plug->GetParam(first + ParamIndex::kFormantFreq);
  mParams[kBw] = plug->GetParam(first + ParamIndex::kFormantBw);
  for (const IPlugParam* p : mParams) {
    if (!p) {
      for (const IPlugParam*& q : mParams) q = nullptr;
      return;
    }
  }
}

IKSWaveDisplay::~IKSWaveDisplay() = default;

const char* IKSWaveDisplay::LookName(int look) {
  switch (look) {
    case kSpectrum: return "SPECTRUM";
    case kWaveform: return "WAVEFORM";
    default: return "WAVESHAPE";
  }
}

bool IKSWaveDisplay::ComputeCurve(Curve* out) const {
  if (!mPlug || !mParams[kType]) return false;
  double type, osc1, osc2, part, freq, bw;
  {
    std::lock_guard<std::recursive_mutex> lock(mPlug->Mutex());
    type = mParams[kType]->value;
    osc1 = mParams[kOsc1]->value;
    osc2 = mParams[kOsc2]->value;
    part = mParams[kPart]->value;
    freq = mParams[kFreq]->ToNormalized();
    bw = mParams[kBw]->value;
  }
  const int t = TruncClamped(type, -1, 2);
  out->look = t == 0 ? kSpectrum : (t == 1 ? kWaveform : kWaveshape);
  out->bright = osc1 >= 0.5 || osc2 >= 0.5;
  out->nLines = 0;
  const int L = mRect.L, T = mRect.T;
  auto addLine = [out](int x1, int y1, int x2, int y2) {
    if (out->nLines < kMaxLines) out->lines[out->nLines++] = Line{x1, y1, x2, y2};
  };

  if (out->look == kSpectrum) {
    // A bell at the normalized frequency, narrow at Bw 0 (w = 100) and wide
    // at Bw 1 (w = 10), filled with bars on every second column.
    const double w = 100.0 - 90.0 * bw;
    const double base = T + kSpectrumBase;
    double a = 0.0;
    for (int i = 0; i < kPoints; ++i) {
      const int x = L + 2 + i;
      // Parameter values are kept in range; the clamp only guards the
      // control's edges against values written past it.
      const int y = Clamp(TruncClamped(base - kSpectrumHeight * std::exp(-w * (a - freq) * (a - freq)),
                                       INT_MIN, INT_MAX),
                          T + kSpectrumBase - 42, T + kSpectrumBase);
      out->x[i] = x;
      out->y[i] = y;
      if (i >= 1) addLine(out->x[i - 1], out->y[i - 1], x, y);
      if (i >= 2 && i % 2 == 0) addLine(x, T + kSpectrumBase, x, y);
      a += 1.0 / kPoints;
    }
    return true;
  }

  // q + 1 cycles of a sine across the display (cross-faded towards q + 2 by
  // the fractional partial number of a WAVEFORM), under the window that the
  // bandwidth narrows towards the middle.
  double q, d, f;
  if (out->look == kWaveform) {
    q = part;
    d = part - std::floor(part);
    f = 1.0 - d;
  } else {
    q = std::floor(part);
    d = 0.0;
    f = 1.0;
  }
  const unsigned s1 = static_cast<unsigned>(TruncClamped((q + 1.0) * kTableSize / kPoints, 0, 1 << 20));
  const unsigned s2 = static_cast<unsigned>(TruncClamped((q + 2.0) * kTableSize / kPoints, 0, 1 << 20));
  const WaveTables& tables = GetWaveTables();
  unsigned phi1 = kTableSize / 2, phi2 = kTableSize / 2, phi3 = kTableSize / 2;
  for (int i = 0; i < kPoints; ++i) {
    const unsigned e = static_cast<unsigned>(TruncClamped(bw * tables.pulse[phi3 & kTableMask], INT_MIN, INT_MAX));
    const double v = (f * tables.sine[phi1 & kTableMask] + d * tables.sine[phi2 & kTableMask]) *
                     tables.decay[e & kTableMask];
    const int x = L + 2 + i;
    const int y = Clamp(TruncClamped(T + kWaveMiddle + kWaveAmplitude * v, INT_MIN, INT_MAX),
                        T + kWaveMiddle - 21, T + kWaveMiddle + 21);
    out->x[i] = x;
    out->y[i] = y;
    if (i >= 1) addLine(out->x[i - 1], out->y[i - 1], x, y);
    phi1 += s1;
    phi2 += s2;
    phi3 += kEnvelopeStep;
  }
  return true;
}

bool IKSWaveDisplay::Draw(IGraphics* graphics) {
  Curve curve;  // on the stack: a draw allocates nothing
  if (!ComputeCurve(&curve)) return true;
  TextStyle* style = curve.bright ? &mText : &mDimText;
  const Color& color = curve.bright ? mBrightColor : mDimColor;
  const ChannelBlend* blend = curve.bright ? &mBlend : &mDimBlend;
  graphics->DrawTextInRect(style, LookName(curve.look), &mLabelRect);
  for (int k = 0; k < curve.nLines; ++k) {
    const Line& l = curve.lines[k];
    graphics->DrawLine(color, l.x1, l.y1, l.x2, l.y2, blend);
  }
  return true;
}
