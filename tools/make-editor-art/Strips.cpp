// The control images: knobs, buttons, switches, digits, arrows, the learn
// switch and the clip light. Opaque (RGB) images start from the flat section
// face, the colour under every opaque control of the panel.

#include <cmath>

#include "Art.h"
#include "EditorLayout.h"

namespace {

constexpr double kDeg = M_PI / 180.0;

cairo_surface_t* NewSurface(const LayoutImage& img) {
  cairo_surface_t* s = cairo_image_surface_create(img.rgba ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24,
                                                  img.width, img.height);
  cairo_t* cr = cairo_create(s);
  if (img.rgba) {
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  } else {
    SetColor(cr, Palette::kSection);
  }
  cairo_paint(cr);
  cairo_destroy(cr);
  return s;
}

Pixels Finish(cairo_surface_t* s) {
  Pixels p = FromSurface(s);
  cairo_surface_destroy(s);
  return p;
}

// A soft round shadow: concentric discs of falling alpha.
void SoftShadow(cairo_t* cr, double cx, double cy, double r, double spread, double alpha) {
  cairo_pattern_t* p = cairo_pattern_create_radial(cx, cy, r - spread, cx, cy, r + spread);
  cairo_pattern_add_color_stop_rgba(p, 0, 0, 0, 0, alpha);
  cairo_pattern_add_color_stop_rgba(p, 1, 0, 0, 0, 0);
  cairo_set_source(cr, p);
  cairo_arc(cr, cx, cy, r + spread, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

void Glow(cairo_t* cr, double cx, double cy, double r, Rgb c, double alpha) {
  cairo_pattern_t* p = cairo_pattern_create_radial(cx, cy, 0, cx, cy, r);
  cairo_pattern_add_color_stop_rgba(p, 0, c.r, c.g, c.b, alpha);
  cairo_pattern_add_color_stop_rgba(p, 1, c.r, c.g, c.b, 0);
  cairo_set_source(cr, p);
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

// ---- knobs -------------------------------------------------------------------
//
// 65 frames over a 300 degree sweep, 7 o'clock (frame 1, the minimum) to
// 5 o'clock (frame 65, the maximum). The body leaves the corners free; a
// track arc around it shows the position in the tone's accent colour.

struct KnobTone {
  Rgb ringTop, ringBottom, faceTop, faceBottom, pointer, accent;
};
const KnobTone kDarkKnob = {C8(92, 99, 110), C8(24, 27, 31), C8(84, 90, 100), C8(44, 48, 55),
                            C8(244, 247, 248), Palette::kAqua};
const KnobTone kWhiteKnob = {C8(250, 250, 248), C8(128, 131, 136), C8(242, 242, 238), C8(190, 192, 196),
                             C8(28, 30, 34), Palette::kOrange};

constexpr double kSweepStart = -150.0;  // degrees from 12 o'clock, clockwise
constexpr double kSweep = 300.0;

double Angle(double degreesFromTop) { return (degreesFromTop - 90.0) * kDeg; }

void DrawKnob(cairo_t* cr, double v, const KnobTone& t) {
  const double cx = 20, cy = 20;
  const double a = kSweepStart + kSweep * v;
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);

  // Track and value arc.
  cairo_set_line_width(cr, 2.6);
  SetColor(cr, C8(10, 11, 13), 0.9);
  cairo_arc(cr, cx, cy, 17.4, Angle(kSweepStart), Angle(kSweepStart + kSweep));
  cairo_stroke(cr);
  if (v > 0) {
    cairo_set_line_width(cr, 2.0);
    SetColor(cr, t.accent);
    cairo_arc(cr, cx, cy, 17.4, Angle(kSweepStart), Angle(a));
    cairo_stroke(cr);
  }

  // Body: shadow, knurled ring, face.
  SoftShadow(cr, cx, cy + 1.6, 13.6, 2.2, 0.7);
  cairo_pattern_t* ring = cairo_pattern_create_linear(cx - 10, cy - 14, cx + 10, cy + 14);
  cairo_pattern_add_color_stop_rgb(ring, 0, t.ringTop.r, t.ringTop.g, t.ringTop.b);
  cairo_pattern_add_color_stop_rgb(ring, 1, t.ringBottom.r, t.ringBottom.g, t.ringBottom.b);
  cairo_set_source(cr, ring);
  cairo_arc(cr, cx, cy, 14.0, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(ring);
  // Grip grooves turn with the knob.
  cairo_set_line_width(cr, 0.8);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  for (int i = 0; i < 24; ++i) {
    const double g = Angle(a + i * 15.0);
    cairo_move_to(cr, cx + 12.2 * std::cos(g), cy + 12.2 * std::sin(g));
    cairo_line_to(cr, cx + 13.8 * std::cos(g), cy + 13.8 * std::sin(g));
  }
  cairo_set_source_rgba(cr, 0, 0, 0, 0.28);
  cairo_stroke(cr);
  cairo_set_line_width(cr, 1.0);
  SetColor(cr, C8(0, 0, 0), 0.55);
  cairo_arc(cr, cx, cy, 14.0, 0, 2 * M_PI);
  cairo_stroke(cr);

  SetVertical(cr, cy - 11, cy + 11, t.faceTop, t.faceBottom);
  cairo_arc(cr, cx, cy, 11.2, 0, 2 * M_PI);
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 0.8);
  SetColor(cr, C8(0, 0, 0), 0.35);
  cairo_stroke(cr);
  // Light from above on the face.
  cairo_pattern_t* hi = cairo_pattern_create_radial(cx - 2, cy - 7, 0, cx - 2, cy - 7, 11);
  cairo_pattern_add_color_stop_rgba(hi, 0, 1, 1, 1, 0.28);
  cairo_pattern_add_color_stop_rgba(hi, 1, 1, 1, 1, 0);
  cairo_set_source(cr, hi);
  cairo_arc(cr, cx, cy, 11.0, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(hi);

  // Pointer.
  const double p = Angle(a);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_width(cr, 2.4);
  SetColor(cr, t.pointer);
  cairo_move_to(cr, cx + 4.0 * std::cos(p), cy + 4.0 * std::sin(p));
  cairo_line_to(cr, cx + 10.6 * std::cos(p), cy + 10.6 * std::sin(p));
  cairo_stroke(cr);
}

Pixels PaintKnob(const LayoutImage& img, const KnobTone& tone) {
  cairo_surface_t* s = NewSurface(img);
  cairo_t* cr = cairo_create(s);
  const int fh = img.FrameHeight();
  for (int f = 0; f < img.frames; ++f) {
    cairo_save(cr);
    cairo_rectangle(cr, 0, f * fh, img.width, fh);
    cairo_clip(cr);
    cairo_translate(cr, 0, f * fh);
    DrawKnob(cr, double(f) / (img.frames - 1), tone);
    cairo_restore(cr);
  }
  cairo_destroy(cr);
  return Finish(s);
}

// ---- buttons -------------------------------------------------------------------
//
// An LED window over a square cap. Off and on are separate images; frame 2
// of each is the cap held down.

struct ButtonTone {
  Rgb capTop, capBottom, led;
};
const ButtonTone kPlainButton = {C8(104, 110, 121), C8(54, 58, 65), Palette::kAqua};
const ButtonTone kWhiteButton = {C8(244, 244, 240), C8(172, 175, 180), C8(236, 246, 255)};
const ButtonTone kOrangeButton = {C8(255, 176, 92), C8(204, 94, 14), Palette::kOrange};

void DrawButton(cairo_t* cr, const ButtonTone& t, bool on, bool pressed) {
  // Bed the cap sits in.
  RoundRect(cr, 2, 10, 20, 29, 3.5);
  SetColor(cr, C8(16, 18, 21));
  cairo_fill(cr);

  // LED window.
  if (on) Glow(cr, 12, 5, 9, t.led, 0.35);
  RoundRect(cr, 6.5, 3, 11, 4, 1.5);
  if (on) {
    SetVertical(cr, 3, 7, Mix(t.led, C8(255, 255, 255), 0.55), t.led);
  } else {
    SetColor(cr, C8(20, 22, 26));
  }
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 1.0);
  SetColor(cr, C8(0, 0, 0), on ? 0.25 : 0.6);
  cairo_stroke(cr);

  // Cap.
  const double y = pressed ? 13.0 : 11.5;
  const double h = pressed ? 24.5 : 25.0;
  if (!pressed) {
    RoundRect(cr, 3, y + 1.5, 18, h, 3);
    SetColor(cr, C8(0, 0, 0), 0.6);
    cairo_fill(cr);
  }
  const Rgb top = pressed ? Mix(t.capTop, t.capBottom, 0.35) : t.capTop;
  const Rgb bottom = pressed ? Mix(t.capBottom, C8(0, 0, 0), 0.15) : t.capBottom;
  RoundRect(cr, 3, y, 18, h, 3);
  SetVertical(cr, y, y + h, top, bottom);
  cairo_fill_preserve(cr);
  SetColor(cr, C8(0, 0, 0), 0.55);
  cairo_stroke(cr);
  // Top bevel.
  cairo_set_line_width(cr, 1.0);
  cairo_move_to(cr, 5.5, y + 1.5);
  cairo_line_to(cr, 18.5, y + 1.5);
  SetColor(cr, C8(255, 255, 255), pressed ? 0.12 : 0.35);
  cairo_stroke(cr);
}

Pixels PaintButton(const LayoutImage& img, const ButtonTone& tone, bool on) {
  cairo_surface_t* s = NewSurface(img);
  cairo_t* cr = cairo_create(s);
  for (int f = 0; f < 2; ++f) {
    cairo_save(cr);
    cairo_translate(cr, 0, f * 40);
    DrawButton(cr, tone, on, f == 1);
    cairo_restore(cr);
  }
  cairo_destroy(cr);
  return Finish(s);
}

// ---- switches ------------------------------------------------------------------
//
// A slot with a lever cap; frame k has the cap at position k, top first.

Pixels PaintSwitch(const LayoutImage& img) {
  cairo_surface_t* s = NewSurface(img);
  cairo_t* cr = cairo_create(s);
  const int fh = img.FrameHeight();
  const int positions = img.frames;
  for (int f = 0; f < img.frames; ++f) {
    cairo_save(cr);
    cairo_translate(cr, 0, f * fh);
    RoundRect(cr, 3.5, 0.5, 7, fh - 1, 3.5);
    SetColor(cr, C8(10, 11, 13));
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1.0);
    SetColor(cr, C8(255, 255, 255), 0.08);
    cairo_stroke(cr);
    // Position marks in the slot.
    for (int k = 0; k < positions; ++k) {
      cairo_rectangle(cr, 6, 4.5 + 10 * k, 2, 1);
      SetColor(cr, C8(80, 86, 96));
      cairo_fill(cr);
    }
    const double y = 1 + 10 * f;
    RoundRect(cr, 1.5, y + 1, 11, 8, 1.5);
    SetColor(cr, C8(0, 0, 0), 0.6);
    cairo_fill(cr);
    RoundRect(cr, 1.5, y, 11, 8, 1.5);
    SetVertical(cr, y, y + 8, C8(226, 228, 232), C8(120, 124, 132));
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1.0);
    SetColor(cr, C8(0, 0, 0), 0.5);
    cairo_stroke(cr);
    cairo_rectangle(cr, 3, y + 3.5, 8, 1);
    SetColor(cr, C8(60, 64, 70));
    cairo_fill(cr);
    cairo_restore(cr);
  }
  cairo_destroy(cr);
  return Finish(s);
}

// ---- digits ---------------------------------------------------------------------
//
// Seven-segment LED digits 0-9 and the unison separator. With unison on,
// the voice display places the tens and units digits 8 pixels apart, so the
// lit segments keep to columns 2..9 and leave a pixel between two digits.

void Segment(cairo_t* cr, double x1, double y1, double x2, double y2, double t) {
  // A bar with pointed ends from (x1, y1) to (x2, y2), horizontal or vertical.
  const double h = t / 2;
  if (y1 == y2) {
    cairo_move_to(cr, x1, y1);
    cairo_line_to(cr, x1 + h, y1 - h);
    cairo_line_to(cr, x2 - h, y1 - h);
    cairo_line_to(cr, x2, y1);
    cairo_line_to(cr, x2 - h, y1 + h);
    cairo_line_to(cr, x1 + h, y1 + h);
  } else {
    cairo_move_to(cr, x1, y1);
    cairo_line_to(cr, x1 + h, y1 + h);
    cairo_line_to(cr, x1 + h, y2 - h);
    cairo_line_to(cr, x1, y2);
    cairo_line_to(cr, x1 - h, y2 - h);
    cairo_line_to(cr, x1 - h, y1 + h);
  }
  cairo_close_path(cr);
}

void DigitPath(cairo_t* cr, int digit) {
  //  aaa
  // f   b
  //  ggg
  // e   c
  //  ddd
  static const char* kSegments[10] = {"abcdef", "bc", "abged", "abgcd", "fgbc", "afgcd", "afgedc", "abc", "abcdefg", "abcdfg"};
  const double l = 3.3, r = 8.7, t = 2.5, m = 8.0, b = 13.5, w = 1.6, gap = 0.4;
  for (const char* s = kSegments[digit]; *s; ++s) {
    switch (*s) {
      case 'a': Segment(cr, l + gap, t, r - gap, t, w); break;
      case 'g': Segment(cr, l + gap, m, r - gap, m, w); break;
      case 'd': Segment(cr, l + gap, b, r - gap, b, w); break;
      case 'f': Segment(cr, l, t + gap, l, m - gap, w); break;
      case 'b': Segment(cr, r, t + gap, r, m - gap, w); break;
      case 'e': Segment(cr, l, m + gap, l, b - gap, w); break;
      case 'c': Segment(cr, r, m + gap, r, b - gap, w); break;
    }
  }
}

Pixels PaintDigits(const LayoutImage& img) {
  cairo_surface_t* s = NewSurface(img);
  cairo_t* cr = cairo_create(s);
  const Rgb lit = Palette::kAqua;
  for (int f = 0; f < img.frames; ++f) {
    cairo_save(cr);
    cairo_translate(cr, 0, f * img.FrameHeight());
    if (f < 10) {
      DigitPath(cr, f);
    } else {
      // The separator between unison count and voice count: a small cross.
      cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
      cairo_move_to(cr, 4.2, 6.2);
      cairo_line_to(cr, 7.8, 9.8);
      cairo_move_to(cr, 7.8, 6.2);
      cairo_line_to(cr, 4.2, 9.8);
    }
    cairo_path_t* path = cairo_copy_path(cr);
    // Halo, then the lit segments.
    cairo_set_line_width(cr, f < 10 ? 1.0 : 3.0);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    SetColor(cr, lit, 0.28);
    if (f < 10) {
      cairo_stroke_preserve(cr);
      SetColor(cr, Mix(lit, C8(255, 255, 255), 0.25));
      cairo_fill(cr);
    } else {
      cairo_stroke(cr);
      cairo_append_path(cr, path);
      cairo_set_line_width(cr, 1.5);
      SetColor(cr, Mix(lit, C8(255, 255, 255), 0.25));
      cairo_stroke(cr);
    }
    cairo_path_destroy(path);
    cairo_restore(cr);
  }
  cairo_destroy(cr);
  return Finish(s);
}

// ---- program arrows -----------------------------------------------------------------

Pixels PaintArrow(const LayoutImage& img, bool next) {
  cairo_surface_t* s = NewSurface(img);
  cairo_t* cr = cairo_create(s);
  for (int f = 0; f < 2; ++f) {
    const bool pressed = f == 1;
    cairo_save(cr);
    cairo_translate(cr, 0, f * 24);
    SoftShadow(cr, 12, 13, 10, 1.5, 0.6);
    cairo_arc(cr, 12, 12, 10, 0, 2 * M_PI);
    SetVertical(cr, 2, 22, pressed ? C8(48, 52, 59) : C8(98, 104, 115), pressed ? C8(30, 33, 38) : C8(46, 50, 57));
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1.0);
    SetColor(cr, C8(0, 0, 0), 0.6);
    cairo_stroke(cr);
    if (!pressed) {
      cairo_arc(cr, 12, 12, 8.8, 200 * kDeg, 340 * kDeg);
      SetColor(cr, C8(255, 255, 255), 0.22);
      cairo_stroke(cr);
    }
    const double d = next ? 1 : -1, y = pressed ? 12.5 : 12;
    cairo_move_to(cr, 12 + 4.0 * d, y);
    cairo_line_to(cr, 12 - 2.6 * d, y - 4.6);
    cairo_line_to(cr, 12 - 2.6 * d, y + 4.6);
    cairo_close_path(cr);
    SetColor(cr, pressed ? Palette::kAqua : C8(226, 230, 234));
    cairo_fill(cr);
    cairo_restore(cr);
  }
  cairo_destroy(cr);
  return Finish(s);
}

// ---- MIDI learn switch --------------------------------------------------------------
//
// Frame 1 idle, frame 2 armed. "LEARN" lights amber, "UNLEARN" red, so the
// mode shows even while idle.

Pixels PaintLearn(const LayoutImage& img, bool unlearn) {
  cairo_surface_t* s = NewSurface(img);
  cairo_t* cr = cairo_create(s);
  const char* text = unlearn ? "UNLEARN" : "LEARN";
  const Rgb lit = unlearn ? Palette::kRed : Palette::kOrange;
  for (int f = 0; f < 2; ++f) {
    const bool armed = f == 1;
    cairo_save(cr);
    cairo_translate(cr, 0, f * 24);
    RoundRect(cr, 1, 2.5, 46, 20, 3);
    SetColor(cr, C8(0, 0, 0), 0.6);
    cairo_fill(cr);
    RoundRect(cr, 1, 1.5, 46, 20, 3);
    if (armed) {
      SetVertical(cr, 1.5, 21.5, Mix(lit, C8(255, 255, 255), 0.25), Mix(lit, C8(0, 0, 0), 0.2));
    } else {
      SetVertical(cr, 1.5, 21.5, C8(92, 98, 108), C8(50, 54, 61));
    }
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1.0);
    SetColor(cr, C8(0, 0, 0), 0.6);
    cairo_stroke(cr);
    cairo_move_to(cr, 4, 3);
    cairo_line_to(cr, 44, 3);
    SetColor(cr, C8(255, 255, 255), armed ? 0.35 : 0.2);
    cairo_stroke(cr);
    const Rgb ink = armed ? C8(30, 18, 10) : unlearn ? C8(255, 150, 136) : C8(222, 226, 232);
    // "UNLEARN" fills the button: 9 pixels, letters a little closer.
    DrawText(cr, Face::Sans, unlearn ? 9 : 9.5, text, 24, 15, Align::Centre, ink, 1.0, unlearn ? -0.3 : 0);
    cairo_restore(cr);
  }
  cairo_destroy(cr);
  return Finish(s);
}

// ---- clip light ------------------------------------------------------------------

Pixels PaintLed(const LayoutImage& img) {
  cairo_surface_t* s = NewSurface(img);
  cairo_t* cr = cairo_create(s);
  cairo_pattern_t* p = cairo_pattern_create_radial(3.6, 3.4, 0, 4, 4, 4);
  cairo_pattern_add_color_stop_rgba(p, 0.0, 1.0, 0.93, 0.85, 1);
  cairo_pattern_add_color_stop_rgba(p, 0.35, 1.0, 0.35, 0.22, 1);
  cairo_pattern_add_color_stop_rgba(p, 0.8, 0.86, 0.10, 0.06, 1);
  cairo_pattern_add_color_stop_rgba(p, 1.0, 0.86, 0.10, 0.06, 0);
  cairo_set_source(cr, p);
  cairo_arc(cr, 4, 4, 4, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
  cairo_destroy(cr);
  return Finish(s);
}

}  // namespace

Pixels PaintImage(int id) {
  namespace I = LayoutImageId;
  const LayoutImage& img = *FindEditorImage(id);
  switch (id) {
    case I::kButtonOff: return PaintButton(img, kPlainButton, false);
    case I::kButtonOn: return PaintButton(img, kPlainButton, true);
    case I::kButtonWhiteOff: return PaintButton(img, kWhiteButton, false);
    case I::kButtonWhiteOn: return PaintButton(img, kWhiteButton, true);
    case I::kButtonOrangeOff: return PaintButton(img, kOrangeButton, false);
    case I::kButtonOrangeOn: return PaintButton(img, kOrangeButton, true);
    case I::kDigits: return PaintDigits(img);
    case I::kNext: return PaintArrow(img, true);
    case I::kPrev: return PaintArrow(img, false);
    case I::kKnob: return PaintKnob(img, kDarkKnob);
    case I::kKnobWhite: return PaintKnob(img, kWhiteKnob);
    case I::kLearn: return PaintLearn(img, false);
    case I::kUnlearn: return PaintLearn(img, true);
    case I::kLed: return PaintLed(img);
    case I::kSwitch2:
    case I::kSwitch3: return PaintSwitch(img);
    default: return {};
  }
}
