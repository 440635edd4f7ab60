// A picture of the editor as it opens on the first factory program: the
// background with every control drawn over it at the parameters' defaults
// (plus a few changes that show more frames), and the texts the controls draw
// themselves, in their fonts, colours and places. For judging the artwork;
// the editor itself does this drawing at run time.

#include <algorithm>
#include <cmath>

#include "Art.h"
#include "EditorLayout.h"
#include "FactoryNames.h"
#include "ParamTable.h"

namespace {

// Values that differ from the defaults in the preview, so that switches,
// buttons and the formant displays show more of their states.
struct Change {
  int param;
  double value;
};
constexpr Change kChanges[] = {
    {0, 7},       // Voices: 8, shown as "08"
    {5, 1},       // SoftClip on
    {8, 0.62},    // FM1Amt 1
    {33, 0},      // Type F2 Fixed: its Freq knob shows
    {34, 0.35},   // Bw F2
    {38, 1},      // Osc1 F2 on
    {48, 2},      // Type F3 Ring
    {49, 0.6},    // Bw F3
    {51, 4.4},    // Part F3
    {21, 3.5},    // Part F1
    {19, 0.25},   // Bw F1
    {63, 0.8},    // Level 1
    {69, -0.4},   // PanAmt 1
    {80, 1},      // LFOSyn 1
    {85, 3},      // LFOWav 2 "Saw Down"
    {91, 6},      // LFOWav 3 "3-Step"
    {98, 0.3},    // Env 1 D
    {100, 0.45},  // Env 1 R
    {103, 0.5},   // Env 2 D
    {104, 0.7},   // Env 2 S
    {113, 1},     // Env2 Trg Single
    {24, 0.2},    // Send1 F1
};

double Plain(int param) {
  double v = kParamTable[param].defaultValue;
  for (const Change& c : kChanges)
    if (c.param == param) v = c.value;
  return v;
}

double Normalized(int param) {
  const ParamSpec& p = kParamTable[param];
  const double v = (Plain(param) - p.min) / (p.max - p.min);
  return std::pow(std::fmax(0.0, std::fmin(1.0, v)), 1.0 / p.shape);
}

void Blit(cairo_t* cr, cairo_surface_t* strip, int frameHeight, int frame, double x, double y, double w) {
  cairo_save(cr);
  cairo_rectangle(cr, x, y, w, frameHeight);
  cairo_clip(cr);
  cairo_set_source_surface(cr, strip, x, y - frame * frameHeight);
  cairo_paint(cr);
  cairo_restore(cr);
}

// Text the way the editor draws it: a cell of `cell` pixels from the rect's
// top, centred (or right-aligned) in the rect.
void ControlText(cairo_t* cr, Face face, double cell, const char* text, const LayoutRect& r, Align align,
                 int alpha) {
  const double em = EmForCell(face, cell);
  const double x = align == Align::Centre ? std::floor((r.L + r.R) / 2.0) : align == Align::Right ? r.R : r.L;
  DrawText(cr, face, em, text, x, r.T + std::round(Ascent(face, em)), align, C8(255, 255, 255), alpha / 255.0);
}

// The formant display's picture (label and curve) for formant k = 0..2.
void WaveDisplay(cairo_t* cr, const LayoutRect& r, int k) {
  const int base = 18 + 15 * k;  // Type Fk; Bw, Freq, Part, Vol, Osc1, Send1, Osc2 follow
  const int type = int(Plain(base));
  const bool bright = Plain(base + 5) >= 0.5 || Plain(base + 7) >= 0.5;
  const Rgb c = Palette::kAqua;
  const char* label = type == 0 ? "SPECTRUM" : type == 1 ? "WAVEFORM" : "WAVESHAPE";
  ControlText(cr, Face::Sans, 12, label, {r.L, r.T + 4, r.R, r.T + 12}, Align::Centre, bright ? 192 : 32);

  double ys[97];
  const double bw = Plain(base + 1);
  if (type == 0) {
    const double u = Normalized(base + 2);
    const double w = 100 - 90 * bw;
    double a = 0;
    for (int i = 0; i < 97; ++i, a += 1.0 / 97) ys[i] = (r.T + 60) - 42 * std::exp(-w * (a - u) * (a - u));
  } else {
    const double p = Plain(base + 3);
    const double q = type == 1 ? p : std::floor(p);
    const double d = type == 1 ? p - std::floor(p) : 0, f = 1 - d;
    const int s1 = int((q + 1) * 4096 / 97), s2 = int((q + 2) * 4096 / 97);
    int p1 = 2048, p2 = 2048, p3 = 2048;
    for (int i = 0; i < 97; ++i) {
      auto S = [](int i) { return std::sin(2 * M_PI * (i & 4095) / 4096); };
      const double P = 4095 * std::pow(std::sin(M_PI * (p3 & 4095) / 4096), 2);
      const double X = std::exp(-10.0 * (int(bw * P) % 4096) / 4096);
      ys[i] = (r.T + 38) + 21 * (f * S(p1) + d * S(p2)) * X;
      p1 += s1;
      p2 += s2;
      p3 += 42;
    }
  }
  cairo_save(cr);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  cairo_set_line_width(cr, 1.0);
  SetColor(cr, c, bright ? 0.5 : 0.1);
  for (int i = 1; i < 97; ++i) {
    cairo_move_to(cr, r.L + 2 + i - 1 + 0.5, int(ys[i - 1]) + 0.5);
    cairo_line_to(cr, r.L + 2 + i + 0.5, int(ys[i]) + 0.5);
    if (type == 0 && i % 2 == 0) {
      cairo_move_to(cr, r.L + 2 + i + 0.5, r.T + 60 + 0.5);
      cairo_line_to(cr, r.L + 2 + i + 0.5, int(ys[i]) + 0.5);
    }
  }
  cairo_stroke(cr);
  cairo_restore(cr);
}

}  // namespace

Pixels PaintPreview(const std::vector<Pixels>& images) {
  std::vector<cairo_surface_t*> strips(kEditorImageCount + 1, nullptr);
  for (int id = 1; id <= kEditorImageCount; ++id) strips[id] = ToSurface(images[id]);

  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kEditorWidth, kEditorHeight);
  cairo_t* cr = cairo_create(s);
  cairo_set_source_surface(cr, strips[LayoutImageId::kBack], 0, 0);
  cairo_paint(cr);

  for (int row = 1; row < kEditorControlCount; ++row) {
    const LayoutControl& c = kEditorControls[row];
    const LayoutRect& r = c.rect;
    const LayoutImage* img = FindEditorImage(c.image);
    switch (c.kind) {
      case LayoutKind::Knob: {
        // The formant type decides which of Freq and Part shows.
        bool shown = true;
        for (int k = 0; k < 3; ++k) {
          const bool fixed = int(Plain(18 + 15 * k)) == 0;
          if (row == LayoutIndex::kFreqKnob[k]) shown = fixed;
          if (row == LayoutIndex::kPartKnob[k]) shown = !fixed;
        }
        if (!shown) break;
        double v = Normalized(c.param);
        if (c.reverse) v = 1 - v;
        const int frame = std::max(0, std::min(img->frames - 1, int((img->frames - 1) * v + 0.5)));
        Blit(cr, strips[c.image], img->FrameHeight(), frame, r.L, r.T, r.W());
        break;
      }
      case LayoutKind::ButtonKick: {
        const int id = Plain(c.param) >= 0.5 ? c.image2 : c.image;
        Blit(cr, strips[id], 40, 0, r.L, r.T, r.W());
        break;
      }
      case LayoutKind::Switch:
        Blit(cr, strips[c.image], img->FrameHeight(), int(Plain(c.param)), r.L, r.T, r.W());
        break;
      case LayoutKind::UtilityKick:
      case LayoutKind::MidiLearn:
      case LayoutKind::ClipLed:
        Blit(cr, strips[c.image], img->FrameHeight(), 0, r.L, r.T, r.W());
        break;
      case LayoutKind::Voices: {
        // Voices without unison: tens digit at L + 10, units at L + half.
        const int voices = 8;
        Blit(cr, strips[c.image], 16, voices / 10, r.L + 10, r.T, 12);
        Blit(cr, strips[c.image], 16, voices % 10, r.L + r.W() / 2, r.T, 12);
        break;
      }
      case LayoutKind::Source: {
        const int i = int(Plain(c.param));
        ControlText(cr, Face::Verdana, 12, kParamTable[c.param].texts[i], r, Align::Centre, i == 0 ? 96 : 192);
        break;
      }
      case LayoutKind::Popup:
        ControlText(cr, Face::Verdana, 12, kParamTable[c.param].texts[int(Plain(c.param))], r, Align::Centre, 192);
        break;
      case LayoutKind::PresetMenu:
        ControlText(cr, Face::Sans, 15, "00", kProgramNumberRect, Align::Centre, 160);
        ControlText(cr, Face::Sans, 15, kFactoryProgramNames[0], kProgramNameRect, Align::Centre, 160);
        break;
      case LayoutKind::VersionText:
        ControlText(cr, Face::Sans, 14, kVersionText, r, Align::Right, 64);
        break;
      case LayoutKind::WaveDisplay:
        for (int k = 0; k < 3; ++k)
          if (row == LayoutIndex::kWaveDisplay[k]) WaveDisplay(cr, r, k);
        break;
      default:
        break;
    }
  }
  cairo_destroy(cr);
  Pixels p = FromSurface(s);
  cairo_surface_destroy(s);
  for (cairo_surface_t* strip : strips)
    if (strip) cairo_surface_destroy(strip);
  return p;
}
