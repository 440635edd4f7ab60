#include "Formatters.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "Tables.h"
#include "TempoClock.h"
#include "VoiceModes.h"

namespace {

constexpr int kOut = IPlugParam::kTextSize;

// Appends suffix to the number text in buf (ending at end) and copies the
// result, cut at 31 characters, into out.
void Finish(char* out, char* buf, char* end, const char* suffix) {
  *end = '\0';
  int n = static_cast<int>(end - buf);
  for (const char* s = suffix; s && *s && n < kOut - 1; ++s) buf[n++] = *s;
  buf[n] = '\0';
  CopyText(out, buf, kOut);
}

}  // namespace

// std::to_chars with a precision yields exactly the digits of printf's %.*f in
// the C locale (correctly rounded from the binary value, "inf"/"nan" for
// non-finite values), whatever the process locale is. Fixed notation of a
// large double can take over 300 characters, hence the buffer.
void WriteFixed(char* out, double v, int decimals, const char* suffix) {
  char buf[400];
  std::to_chars_result r =
      std::to_chars(buf, buf + sizeof(buf) - kOut, v, std::chars_format::fixed, decimals);
  if (r.ec != std::errc()) {
    CopyText(out, "?", kOut);
    return;
  }
  Finish(out, buf, r.ptr, suffix);
}

void WriteInt(char* out, int v, const char* suffix) {
  char buf[64];
  std::to_chars_result r = std::to_chars(buf, buf + 16, v);
  Finish(out, buf, r.ptr, suffix);
}

void FormatDecibel(double v, char* out) {
  if (v <= 0.0) {
    CopyText(out, "-oo", kOut);
    return;
  }
  WriteFixed(out, 20.0 * std::log10(v), 1);
}

void FormatPercent(double v, char* out) { WriteFixed(out, 100.0 * v, 0); }

void FormatFmDepth(double v, char* out) { WriteFixed(out, 500.0 * v, 0); }

void FormatSend(double v, char* out) {
  if (v == 0.5) {
    CopyText(out, "1<>2", kOut);
  } else if (v < 0.5) {
    WriteFixed(out, 100.0 - 200.0 * v, 0, ">2");
  } else {
    WriteFixed(out, 200.0 * v - 100.0, 0, ">1");
  }
}

void FormatPan(double v, char* out) {
  if (v == 0.5) {
    CopyText(out, "Center", kOut);
  } else if (v < 0.5) {
    WriteFixed(out, 1.0 - 2.0 * v, 2, " L");
  } else {
    WriteFixed(out, 2.0 * v - 1.0, 2, " R");
  }
}

// The position 0..1 is the engine's fixed formant pitch divided by 15873, so
// the text is the frequency the engine will actually play.
void FormatFormantFrequency(double v, char* out) {
  const double k = std::floor(15873.0 * v + 0.5);
  // Beyond +-17280 pitch steps the engine's frequency no longer changes.
  const int pitch = TruncClamped(k, -17280, 17280);
  WriteInt(out, TruncClamped(NoteFrequency(pitch), -2147483647, 2147483647));
}

void FormatVoices(double v, char* out) {
  const int mode = TruncClamped(v, 0, VoiceModes::kModeCount - 1);
  WriteInt(out, VoiceModes::PolyCount(mode, false));
}

void FormatUnison(double v, char* out) {
  const int mode = TruncClamped(v, 0, VoiceModes::kModeCount - 1);
  char voices[kOut];
  WriteInt(voices, VoiceModes::PolyCount(mode, true));
  char text[kOut * 2] = "Unison: ";
  WriteInt(text + std::strlen(text), VoiceModes::UnisonCount(mode, true), " --- Voices: ");
  std::strncat(text, voices, sizeof(text) - std::strlen(text) - 1);
  CopyText(out, text, kOut);
}

// The rate has shape 4 over 0..100, so sqrt(sqrt(v / 100)) is the knob
// position and the note value follows the knob in 20 even steps.
void FormatLfoSync(double v, char* out) {
  const double i = std::round(std::sqrt(std::sqrt(v / 100.0)) * 19.0);
  CopyText(out, kSyncNames[TruncClamped(i, 0, 19)], kOut);
}

ParamFormatter FormatterFor(ParamDisplay display) {
  switch (display) {
    case ParamDisplay::Decibel: return FormatDecibel;
    case ParamDisplay::Percent: return FormatPercent;
    case ParamDisplay::FmDepth: return FormatFmDepth;
    case ParamDisplay::Send: return FormatSend;
    case ParamDisplay::Pan: return FormatPan;
    case ParamDisplay::FormantFrequency: return FormatFormantFrequency;
    case ParamDisplay::Voices: return FormatVoices;
    case ParamDisplay::Default: break;
  }
  return nullptr;
}
