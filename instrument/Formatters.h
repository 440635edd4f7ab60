#pragma once
#include "IPlugParam.h"
#include "ParamTable.h"

// Display routines of the parameter table. Each writes at most 31 characters
// and a terminator into out. The numbers follow the C printf formats named in
// the comments exactly (digits and rounding included) but never consult the
// process locale: the decimal separator is always '.'.

void FormatDecibel(double v, char* out);           // "-oo" at or below 0, else "%.1f" of 20 log10 v
void FormatPercent(double v, char* out);           // "%.0f" of 100 v
void FormatFmDepth(double v, char* out);           // "%.0f" of 500 v
void FormatSend(double v, char* out);              // "1<>2", "%.0f>2", "%.0f>1"
void FormatPan(double v, char* out);               // "Center", "%.2f L", "%.2f R"
void FormatFormantFrequency(double v, char* out);  // Hz of the engine's pitch 15873 v
void FormatVoices(double v, char* out);            // voices without unison
void FormatUnison(double v, char* out);            // "Unison: %i --- Voices: %i"
void FormatLfoSync(double v, char* out);           // tempo note value of the rate knob

// The routine a table row asks for; nullptr for the framework's own display.
ParamFormatter FormatterFor(ParamDisplay display);

// Locale-independent equivalents of snprintf(out, 32, "%.*f%s", decimals, v,
// suffix) and of "%d%s".
void WriteFixed(char* out, double v, int decimals, const char* suffix = "");
void WriteInt(char* out, int v, const char* suffix = "");
