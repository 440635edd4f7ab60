// The background: the panel, its framed sections, every control's label and
// the art the controls draw over (screens behind text and curves, the menu
// button, the unlit clip light). Everything is placed from the layout table.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Art.h"
#include "EditorLayout.h"
#include "ParamTable.h"

namespace {

constexpr double kLabelSize = 10.0;
constexpr double kLabelTracking = 0.4;
constexpr double kPositionSize = 9.0;
constexpr double kTitleSize = 10.5;
constexpr double kTitleTracking = 1.6;
constexpr int kTitleStrip = 18;
constexpr int kEnv1TriggerRow = 110;

// ---- labels ------------------------------------------------------------------

std::string Upper(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool EndsWith(const std::string& s, const char* tail) {
  const size_t n = std::strlen(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

}  // namespace

// The name without the number of its section (the section title carries it),
// with the fused abbreviations of the names spelled out.
std::string LabelForParam(int param) {
  std::string s = kParamTable[param].name;
  // Names whose number is not a section number.
  if (s == "Level 1" || s == "Level 2") return Upper(s);
  if (s == "Unison LFO Phase") return "UNI PHASE";
  for (const char* tail : {" F1", " F2", " F3", " 1", " 2", " 3"}) {
    if (EndsWith(s, tail)) {
      s.resize(s.size() - std::strlen(tail));
      break;
    }
  }
  for (const char* head : {"Env 1 ", "Env 2 ", "Env 3 ", "Env1 ", "Env2 ", "Env3 ", "LFO"}) {
    if (s.compare(0, std::strlen(head), head) == 0) {
      s.erase(0, std::strlen(head));
      break;
    }
  }
  static const struct {
    const char* stem;
    const char* label;
  } kSpelled[] = {
      {"FM1Amt", "FM 1"},  {"FM2Amt", "FM 2"},     {"FM1Am", "FM 1"},    {"FM2Am", "FM 2"},
      {"AMAmt", "AM"},     {"AM1Amt", "AM 1"},     {"AM2Amt", "AM 2"},   {"PanAmt", "PAN MOD"},
      {"Osc1", "OSC 1"},   {"Osc2", "OSC 2"},      {"Send1", "SEND 1"},  {"Send2", "SEND 2"},
      {"Bw", "WIDTH"},     {"Frq", "RATE"},        {"Syn", "SYNC"},      {"Rtg", "RETRIG"},
      {"Wav", "WAVE"},     {"Portamnt", "PORTA"},  {"SoftClip", "SOFT CLIP"}, {"Trg", "TRIG"},
      {"A", "ATTACK"},     {"D", "DECAY"},         {"S", "SUSTAIN"},     {"R", "RELEASE"},
      {"Dly", "DELAY"},
  };
  for (const auto& sp : kSpelled)
    if (s == sp.stem) return sp.label;
  return Upper(s);
}

namespace {

struct Box {
  double L, T, R, B;
  bool Hits(const Box& o) const { return L < o.R && o.L < R && T < o.B && o.T < B; }
};

struct Label {
  std::string text;
  double x, baseline;
  Align align;
  Face face;
  double size;
  Rgb color;
  double tracking;
  int row;  // the control it names
};

// Where a control draws, including the text it may draw past its rect.
Box InkOf(const LayoutControl& c) {
  Box b{double(c.rect.L), double(c.rect.T), double(c.rect.R), double(c.rect.B)};
  const double cx = (c.rect.L + c.rect.R) / 2.0;
  switch (c.kind) {
    case LayoutKind::Source: return {cx - 22, b.T, cx + 22, b.T + 13};
    case LayoutKind::Popup: return {cx - 34, b.T, cx + 34, b.T + 15};
    case LayoutKind::Knob: return {b.L + 1, b.T + 1, b.R - 1, b.B - 1};
    // Bezels around the screens and the light.
    case LayoutKind::WaveDisplay:
    case LayoutKind::Voices: return {b.L - 3, b.T - 3, b.R + 3, b.B + 3};
    case LayoutKind::ClipLed: return {b.L - 2, b.T - 2, b.R + 2, b.B + 2};
    case LayoutKind::PresetMenu: return {b.L, b.T - 5, b.R, b.B + 6};
    default: return b;
  }
}

class Panel {
 public:
  explicit Panel(cairo_t* cr) : cr_(cr) {}

  void Backdrop();
  void Header();
  void Sections();
  void ControlArt();
  void PlaceLabels();
  bool CheckLabels(std::vector<std::string>* problems);
  void DrawLabels();

 private:
  void Add(int row, const std::string& text, double x, double baseline, Align align,
           double size = kLabelSize, Rgb color = Palette::kLabel, Face face = Face::SansBold,
           double tracking = kLabelTracking) {
    labels_.push_back({text, x, baseline, align, face, size, color, tracking, row});
  }
  Box BoxOf(const Label& l) const {
    const double w = TextWidth(cr_, l.face, l.size, l.text, l.tracking);
    const double left = l.align == Align::Left ? l.x : l.align == Align::Centre ? l.x - w / 2 : l.x - w;
    // Labels are capitals: cap height about 0.72 em.
    return {left, l.baseline - 0.73 * l.size, left + w, l.baseline + 0.02 * l.size};
  }
  void Well(const Box& b, double radius);
  void Envelope(const LayoutRect& trigger, const LayoutRect& attack);
  void Screen(const LayoutRect& r);

  cairo_t* cr_;
  std::vector<Label> labels_;
};

void Panel::Backdrop() {
  SetVertical(cr_, 0, kEditorHeight, C8(27, 30, 35), C8(14, 15, 18));
  cairo_paint(cr_);
  // Brushed texture: faint horizontal lines, fixed pattern.
  for (int y = 0; y < kEditorHeight; y += 2) {
    const double a = 0.012 + 0.01 * ((y * 7919) % 5) / 4.0;
    cairo_rectangle(cr_, 0, y, kEditorWidth, 1);
    cairo_set_source_rgba(cr_, 1, 1, 1, a);
    cairo_fill(cr_);
  }
}

void Panel::Header() {
  // Emblem: three formant peaks.
  const double ex = 24, ey = 40;
  cairo_set_line_width(cr_, 2.0);
  cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
  cairo_move_to(cr_, ex, ey);
  for (int i = 0; i <= 60; ++i) {
    const double t = i / 60.0;
    const double y = 20 * std::exp(-std::pow((t - 0.2) / 0.07, 2)) + 13 * std::exp(-std::pow((t - 0.5) / 0.07, 2)) +
                     8 * std::exp(-std::pow((t - 0.78) / 0.07, 2));
    cairo_line_to(cr_, ex + 32 * t, ey - y);
  }
  SetColor(cr_, Palette::kAqua);
  cairo_stroke(cr_);

  DrawText(cr_, Face::SansBold, 30, "Quarvi", 64, 40, Align::Left, C8(236, 240, 244), 1.0, 0.5);
  const double w = TextWidth(cr_, Face::SansBold, 30, "Quarvi", 0.5);
  DrawText(cr_, Face::SansBold, 9.5, "FORMANT SYNTHESIZER", 64 + w + 14, 39, Align::Left, Palette::kLabel, 1.0, 2.2);
  // On the baseline of the version text the editor draws to its right.
  DrawText(cr_, Face::Sans, 11, "Kestrel Sound Music", 930, 27, Align::Right, C8(150, 158, 168), 1.0, 0.6);
  cairo_rectangle(cr_, 20, 52, kEditorWidth - 36, 1);
  SetColor(cr_, C8(0, 0, 0), 0.45);
  cairo_fill(cr_);
  cairo_rectangle(cr_, 20, 53, kEditorWidth - 36, 1);
  SetColor(cr_, C8(255, 255, 255), 0.06);
  cairo_fill(cr_);
}

void Panel::Sections() {
  for (const LayoutSection& s : kEditorSections) {
    if (!s.framed) continue;
    const LayoutRect& r = s.rect;
    // Drop shadow.
    for (int i = 3; i >= 1; --i) {
      RoundRect(cr_, r.L - i + 1, r.T + 1, r.W() + 2 * i - 2, r.H() + i, 6 + i);
      SetColor(cr_, C8(0, 0, 0), 0.16);
      cairo_fill(cr_);
    }
    RoundRect(cr_, r.L, r.T, r.W(), r.H(), 6);
    SetColor(cr_, Palette::kSection);
    cairo_fill(cr_);
    // Title strip.
    cairo_save(cr_);
    RoundRect(cr_, r.L, r.T, r.W(), r.H(), 6);
    cairo_clip(cr_);
    cairo_rectangle(cr_, r.L, r.T, r.W(), kTitleStrip);
    SetVertical(cr_, r.T, r.T + kTitleStrip, C8(44, 49, 57), Palette::kTitleStrip);
    cairo_fill(cr_);
    cairo_rectangle(cr_, r.L, r.T + kTitleStrip, r.W(), 1);
    SetColor(cr_, C8(0, 0, 0), 0.5);
    cairo_fill(cr_);
    cairo_rectangle(cr_, r.L, r.T + kTitleStrip + 1, r.W(), 1);
    SetColor(cr_, C8(255, 255, 255), 0.05);
    cairo_fill(cr_);
    cairo_restore(cr_);
    // Rim: light above, dark below.
    RoundRect(cr_, r.L + 0.5, r.T + 0.5, r.W() - 1, r.H() - 1, 5.5);
    cairo_set_line_width(cr_, 1.0);
    SetColor(cr_, Palette::kSectionEdge, 0.9);
    cairo_stroke(cr_);
  }
  for (const LayoutSection& s : kEditorSections) {
    if (!s.title[0]) continue;
    const double cx = (s.rect.L + s.rect.R) / 2.0;
    if (s.rect.H() < kTitleStrip) {
      // A divider with its heading in a gap of the line.
      const double baseline = std::round((s.rect.T + s.rect.B) / 2.0 + 0.36 * kPositionSize);
      const double y = (s.rect.T + s.rect.B) / 2;
      const double w = TextWidth(cr_, Face::SansBold, kPositionSize, s.title, kTitleTracking);
      DrawText(cr_, Face::SansBold, kPositionSize, s.title, cx, baseline, Align::Centre, Palette::kPositionLabel, 1.0,
               kTitleTracking);
      for (int side : {-1, 1}) {
        const double from = std::round(cx + side * (w / 2 + 7)), to = side < 0 ? s.rect.L : s.rect.R;
        cairo_rectangle(cr_, std::min(from, to), y - 1, std::fabs(to - from), 1);
        SetColor(cr_, C8(0, 0, 0), 0.4);
        cairo_fill(cr_);
        cairo_rectangle(cr_, std::min(from, to), y, std::fabs(to - from), 1);
        SetColor(cr_, C8(255, 255, 255), 0.06);
        cairo_fill(cr_);
      }
      continue;
    }
    const double baseline = s.rect.T + 13;
    DrawText(cr_, Face::SansBold, kTitleSize, s.title, cx, baseline, Align::Centre, Palette::kTitle, 1.0,
             kTitleTracking);
    // Accent ticks on either side of the title.
    const double w = TextWidth(cr_, Face::SansBold, kTitleSize, s.title, kTitleTracking);
    for (int side : {-1, 1}) {
      const double x = std::round(cx + side * (w / 2 + 8)) - (side < 0 ? 10 : 0);
      cairo_rectangle(cr_, x, baseline - 4, 10, 1.5);
      SetColor(cr_, Palette::kAqua, 0.55);
      cairo_fill(cr_);
    }
  }
  // The bus section's columns: bus 1 | output | bus 2.
  for (int x : {776, 920}) {
    cairo_rectangle(cr_, x, 202, 1, 152);
    SetColor(cr_, C8(0, 0, 0), 0.35);
    cairo_fill(cr_);
    cairo_rectangle(cr_, x + 1, 202, 1, 152);
    SetColor(cr_, C8(255, 255, 255), 0.05);
    cairo_fill(cr_);
  }
}

// A recessed box: dark fill, shadowed top edge, lit bottom edge.
void Panel::Well(const Box& b, double radius) {
  RoundRect(cr_, b.L, b.T, b.R - b.L, b.B - b.T, radius);
  SetColor(cr_, Palette::kWell);
  cairo_fill(cr_);
  RoundRect(cr_, b.L + 0.5, b.T + 0.5, b.R - b.L - 1, b.B - b.T - 1, radius);
  cairo_set_line_width(cr_, 1.0);
  SetColor(cr_, C8(0, 0, 0), 0.7);
  cairo_stroke(cr_);
  cairo_move_to(cr_, b.L + radius, b.B + 0.5);
  cairo_line_to(cr_, b.R - radius, b.B + 0.5);
  SetColor(cr_, C8(255, 255, 255), 0.09);
  cairo_stroke(cr_);
}

// Envelope 1 has room between its trigger switch and its attack knob: a
// printed envelope shape, attack, decay, sustain, release.
void Panel::Envelope(const LayoutRect& trigger, const LayoutRect& attack) {
  const double l = trigger.R + 20, r = attack.L - 12, t = attack.T + 7, b = attack.B - 7;
  const double w = r - l;
  cairo_set_line_width(cr_, 1.0);
  cairo_move_to(cr_, l, b + 0.5);
  cairo_line_to(cr_, r, b + 0.5);
  SetColor(cr_, Palette::kPositionLabel, 0.35);
  cairo_stroke(cr_);
  cairo_set_line_width(cr_, 1.5);
  cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
  cairo_move_to(cr_, l, b);
  cairo_curve_to(cr_, l + 0.10 * w, b - 0.6 * (b - t), l + 0.18 * w, t, l + 0.22 * w, t);
  cairo_curve_to(cr_, l + 0.30 * w, t + 0.5 * (b - t), l + 0.38 * w, t + 0.45 * (b - t), l + 0.5 * w,
                 t + 0.45 * (b - t));
  cairo_line_to(cr_, l + 0.72 * w, t + 0.45 * (b - t));
  cairo_curve_to(cr_, l + 0.82 * w, b - 0.1 * (b - t), l + 0.9 * w, b, r, b);
  SetColor(cr_, Palette::kAqua, 0.5);
  cairo_stroke(cr_);
}

// The glass of a wave display: a bezel outside the control, a faint grid
// inside it where the curves are drawn (the curves blend over it).
void Panel::Screen(const LayoutRect& r) {
  Well({r.L - 3.0, r.T - 3.0, r.R + 3.0, r.B + 3.0}, 4);
  cairo_rectangle(cr_, r.L, r.T, r.W(), r.H());
  SetVertical(cr_, r.T, r.B, C8(10, 24, 22), Palette::kScreen);
  cairo_fill(cr_);
  cairo_set_line_width(cr_, 1.0);
  for (int i = 1; i < 8; ++i) {
    const double x = r.L + 2 + i * 12 + 0.5;
    cairo_move_to(cr_, x, r.T + kWaveCurveTop);
    cairo_line_to(cr_, x, r.T + kWaveCurveBottom + 1);
  }
  for (int y : {kWaveCurveTop + 10, 38, 49}) {
    cairo_move_to(cr_, r.L + 2, r.T + y + 0.5);
    cairo_line_to(cr_, r.R - 2, r.T + y + 0.5);
  }
  SetColor(cr_, Palette::kAqua, 0.07);
  cairo_stroke(cr_);
  cairo_move_to(cr_, r.L + 2, r.T + kWaveCurveBottom + 0.5);
  cairo_line_to(cr_, r.R - 2, r.T + kWaveCurveBottom + 0.5);
  SetColor(cr_, Palette::kAqua, 0.16);
  cairo_stroke(cr_);
  // Reflection across the top.
  cairo_rectangle(cr_, r.L, r.T, r.W(), 2);
  SetColor(cr_, C8(255, 255, 255), 0.05);
  cairo_fill(cr_);
}

void Panel::ControlArt() {
  for (int row = 1; row < kEditorControlCount; ++row) {
    const LayoutControl& c = kEditorControls[row];
    const LayoutRect& r = c.rect;
    switch (c.kind) {
      case LayoutKind::Source:
        Well({r.L - 4.0, r.T - 1.0, r.R + 4.0, r.B + 2.0}, 2.5);
        break;
      case LayoutKind::Popup:
        Well({r.L - 4.0, r.T - 2.0, r.R + 4.0, r.B + 2.0}, 3);
        break;
      case LayoutKind::WaveDisplay:
        Screen(r);
        break;
      case LayoutKind::Voices:
        Well({r.L - 3.0, r.T - 3.0, r.R + 3.0, r.B + 3.0}, 3);
        break;
      case LayoutKind::PresetMenu:
        Well({double(kProgramNameRect.L), kProgramNameRect.T - 5.0, double(kProgramNameRect.R),
              kProgramNameRect.B + 5.0},
             4);
        Well({kProgramNumberRect.L - 1.0, kProgramNumberRect.T - 4.0, kProgramNumberRect.R + 1.0,
              kProgramNumberRect.B + 6.0},
             3);
        break;
      case LayoutKind::OptionMenu: {
        // The utility menu's button: the control itself draws nothing.
        RoundRect(cr_, r.L + 1, r.T + 2.5, r.W() - 2, 20, 3);
        SetColor(cr_, C8(0, 0, 0), 0.6);
        cairo_fill(cr_);
        RoundRect(cr_, r.L + 1, r.T + 1.5, r.W() - 2, 20, 3);
        SetVertical(cr_, r.T + 1.5, r.T + 21.5, C8(92, 98, 108), C8(50, 54, 61));
        cairo_fill_preserve(cr_);
        cairo_set_line_width(cr_, 1.0);
        SetColor(cr_, C8(0, 0, 0), 0.6);
        cairo_stroke(cr_);
        cairo_move_to(cr_, r.L + 4, r.T + 3);
        cairo_line_to(cr_, r.R - 4, r.T + 3);
        SetColor(cr_, C8(255, 255, 255), 0.2);
        cairo_stroke(cr_);
        DrawText(cr_, Face::Sans, 9.5, "MENU", r.L + 20, r.T + 15, Align::Centre, C8(222, 226, 232));
        const double ax = r.L + 38, ay = r.T + 10;
        cairo_move_to(cr_, ax - 3, ay);
        cairo_line_to(cr_, ax + 3, ay);
        cairo_line_to(cr_, ax, ay + 3.5);
        cairo_close_path(cr_);
        SetColor(cr_, Palette::kAqua);
        cairo_fill(cr_);
        break;
      }
      case LayoutKind::Switch:
        if (row == kEnv1TriggerRow) Envelope(r, kEditorControls[row + 1].rect);
        break;
      case LayoutKind::ClipLed: {
        // The unlit light; the lit image covers it while the output clips.
        const double cx = (r.L + r.R) / 2.0, cy = (r.T + r.B) / 2.0;
        cairo_arc(cr_, cx, cy, 5.5, 0, 2 * M_PI);
        SetColor(cr_, C8(8, 9, 10));
        cairo_fill(cr_);
        cairo_arc(cr_, cx, cy, 3.6, 0, 2 * M_PI);
        SetVertical(cr_, cy - 4, cy + 4, C8(96, 22, 18), C8(52, 10, 8));
        cairo_fill(cr_);
        break;
      }
      default:
        break;
    }
  }
}

void Panel::PlaceLabels() {
  for (int row = 1; row < kEditorControlCount; ++row) {
    const LayoutControl& c = kEditorControls[row];
    const LayoutRect& r = c.rect;
    const double cx = (r.L + r.R) / 2.0;
    switch (c.kind) {
      case LayoutKind::Knob: {
        // The Freq and Part knobs of a formant share their place and label.
        if (c.startsHidden) break;
        std::string text = LabelForParam(c.param);
        for (int k = 0; k < 3; ++k)
          if (row == LayoutIndex::kPartKnob[k])
            text = LabelForParam(kEditorControls[LayoutIndex::kFreqKnob[k]].param) + "/" + text;
        Add(row, text, cx, r.T - 4, Align::Centre);
        break;
      }
      case LayoutKind::ButtonKick: {
        // Where buttons sit side by side, 40 pixels apart, a long label
        // takes two lines.
        const std::string text = LabelForParam(c.param);
        const size_t space = text.rfind(' ');
        bool crowded = false;
        for (const LayoutControl& o : kEditorControls)
          crowded |= &o != &c && o.kind == LayoutKind::ButtonKick && o.rect.T == r.T && std::abs(o.rect.L - r.L) < 48;
        if (crowded && space != std::string::npos &&
            TextWidth(cr_, Face::SansBold, kLabelSize, text, kLabelTracking) > 40) {
          Add(row, text.substr(0, space), cx, r.B + 11, Align::Centre);
          Add(row, text.substr(space + 1), cx, r.B + 22, Align::Centre);
        } else {
          Add(row, text, cx, r.B + 11, Align::Centre);
        }
        break;
      }
      case LayoutKind::Voices:
        Add(row, LabelForParam(c.param), cx, r.B + 15, Align::Centre);
        break;
      case LayoutKind::Popup:
        Add(row, LabelForParam(c.param), r.L - 9, r.T + 11, Align::Right);
        break;
      case LayoutKind::ClipLed:
        Add(row, "CLIP", cx, r.B + 12, Align::Centre, kPositionSize, Palette::kPositionLabel);
        break;
      case LayoutKind::Switch: {
        // Each position names its value, from the parameter's value texts.
        const ParamSpec& p = kParamTable[c.param];
        if (p.textCount == 3) {
          // A column beside the switch: its name, then one line per position.
          Add(row, LabelForParam(c.param), r.L - 4, r.T - 4, Align::Right);
          for (int k = 0; k < 3; ++k)
            Add(row, Upper(p.texts[k]), r.L - 4, r.T + 10 * k + 8.5, Align::Right, kPositionSize,
                Palette::kPositionLabel);
        } else {
          // Above and below: the envelope switches have knobs close by.
          Add(row, LabelForParam(c.param), cx, r.T - 14, Align::Centre);
          Add(row, Upper(p.texts[0]), cx, r.T - 3, Align::Centre, kPositionSize, Palette::kPositionLabel);
          Add(row, Upper(p.texts[1]), cx, r.B + 11, Align::Centre, kPositionSize, Palette::kPositionLabel);
        }
        break;
      }
      default:
        break;
    }
  }
}

bool Panel::CheckLabels(std::vector<std::string>* problems) {
  const size_t before = problems->size();
  for (size_t i = 0; i < labels_.size(); ++i) {
    const Label& l = labels_[i];
    const Box b = BoxOf(l);
    if (l.size < 9.0) problems->push_back("label " + l.text + " is smaller than 9 px");
    for (int row = 1; row < kEditorControlCount; ++row) {
      const LayoutControl& c = kEditorControls[row];
      if (b.Hits(InkOf(c)))
        problems->push_back("label " + l.text + " (row " + std::to_string(l.row) + ") overlaps row " + std::to_string(row));
    }
    for (size_t j = i + 1; j < labels_.size(); ++j) {
      Box o = BoxOf(labels_[j]);
      o.L -= 2;
      o.R += 2;
      if (b.Hits(o)) problems->push_back("labels " + l.text + " and " + labels_[j].text + " overlap");
    }
    bool framed = false;
    for (const LayoutSection& s : kEditorSections) {
      const LayoutRect& r = s.rect;
      framed |= s.framed && b.L >= r.L + 2 && b.R <= r.R - 2 && b.T >= r.T + kTitleStrip + 1 && b.B <= r.B - 2;
    }
    if (!framed) problems->push_back("label " + l.text + " leaves its section");
  }
  return problems->size() == before;
}

void Panel::DrawLabels() {
  for (const Label& l : labels_)
    DrawText(cr_, l.face, l.size, l.text, l.x, l.baseline, l.align, l.color, 1.0, l.tracking);
}

// Opaque images start from the flat section face; the panel under them must
// be exactly that colour, or their edges would show.
bool FlatUnderOpaqueControls(const Pixels& back, std::vector<std::string>* problems) {
  const int want[3] = {int(std::lround(Palette::kSection.r * 255)), int(std::lround(Palette::kSection.g * 255)),
                       int(std::lround(Palette::kSection.b * 255))};
  bool ok = true;
  for (int row = 1; row < kEditorControlCount; ++row) {
    const LayoutControl& c = kEditorControls[row];
    const LayoutImage* img = FindEditorImage(c.image);
    if (!img || img->rgba) continue;
    for (int y = c.rect.T; y < c.rect.B && ok; ++y) {
      for (int x = c.rect.L; x < c.rect.R; ++x) {
        const uint8_t* p = &back.rgba[(size_t(y) * back.width + x) * 4];
        if (p[0] != want[0] || p[1] != want[1] || p[2] != want[2]) {
          problems->push_back("the panel under row " + std::to_string(row) + " is not the flat section face");
          ok = false;
          break;
        }
      }
    }
  }
  return ok;
}

}  // namespace

bool PaintBackground(Pixels* out, std::vector<std::string>* problems) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kEditorWidth, kEditorHeight);
  cairo_t* cr = cairo_create(s);
  Panel panel(cr);
  panel.Backdrop();
  panel.Header();
  panel.Sections();
  panel.ControlArt();
  panel.PlaceLabels();
  const bool ok = panel.CheckLabels(problems);
  panel.DrawLabels();
  cairo_destroy(cr);
  *out = FromSurface(s);
  cairo_surface_destroy(s);
  return ok & FlatUnderOpaqueControls(*out, problems);
}
