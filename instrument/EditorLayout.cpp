#include "EditorLayout.h"

namespace I = LayoutImageId;

const LayoutImage kEditorImages[kEditorImageCount] = {
    {I::kBack, "resources/img/back.png", 1072, 680, 1, false},
    {I::kButtonOff, "resources/img/button_off.png", 24, 80, 2, false},
    {I::kButtonOn, "resources/img/button_on.png", 24, 80, 2, false},
    {I::kButtonWhiteOff, "resources/img/button_white_off.png", 24, 80, 2, false},
    {I::kButtonWhiteOn, "resources/img/button_white_on.png", 24, 80, 2, false},
    {I::kButtonOrangeOff, "resources/img/button_orange_off.png", 24, 80, 2, false},
    {I::kButtonOrangeOn, "resources/img/button_orange_on.png", 24, 80, 2, false},
    {I::kDigits, "resources/img/digits.png", 12, 176, 11, true},
    {I::kNext, "resources/img/next.png", 24, 48, 2, true},
    {I::kKnob, "resources/img/knob.png", 40, 2600, 65, true},
    {I::kKnobWhite, "resources/img/knob_white.png", 40, 2600, 65, true},
    {I::kLearn, "resources/img/learn.png", 48, 48, 2, false},
    {I::kLed, "resources/img/led.png", 8, 8, 1, true},
    {I::kSwitch2, "resources/img/switch2.png", 14, 40, 2, false},
    {I::kSwitch3, "resources/img/switch3.png", 14, 90, 3, false},
    {I::kUnlearn, "resources/img/unlearn.png", 48, 48, 2, false},
    {I::kPrev, "resources/img/prev.png", 24, 48, 2, true},
};

const LayoutImage* FindEditorImage(int id) {
  if (id < 1 || id > kEditorImageCount) return nullptr;
  return &kEditorImages[id - 1];
}

namespace {

using K = LayoutKind;

constexpr LayoutControl Row(K kind, LayoutRect r, int image, int image2, int param) {
  return {kind, r, image, image2, param, false, false, false};
}

// Knob rects are 40 x 40 from (x, y).
constexpr LayoutControl Knob(int x, int y, int image, int param) {
  return Row(K::Knob, {x, y, x + 40, y + 40}, image, 0, param);
}
constexpr LayoutControl ReverseKnob(int x, int y, int image, int param) {
  LayoutControl c = Knob(x, y, image, param);
  c.reverse = true;
  return c;
}
constexpr LayoutControl HiddenKnob(int x, int y, int image, int param) {
  LayoutControl c = Knob(x, y, image, param);
  c.startsHidden = true;
  return c;
}
// Button rects are 24 x 40.
constexpr LayoutControl Button(int x, int y, int off, int on, int param) {
  return Row(K::ButtonKick, {x, y, x + 24, y + 40}, off, on, param);
}
constexpr LayoutControl PlainButton(int x, int y, int param) {
  return Button(x, y, I::kButtonOff, I::kButtonOn, param);
}
// Source selectors are 32 x 12; full = all 19 sources, else the first 13.
constexpr LayoutControl Source(int x, int y, int param, bool full) {
  LayoutControl c = Row(K::Source, {x, y, x + 32, y + 12}, 0, 0, param);
  c.fullSources = full;
  return c;
}
// Waveform selectors are 59 x 14, all on one line.
constexpr LayoutControl Popup(int x, int param) { return Row(K::Popup, {x, 399, x + 59, 413}, 0, 0, param); }
constexpr LayoutControl Switch(int x, int y, int image, int param) {
  const int h = image == I::kSwitch3 ? 30 : 20;
  return Row(K::Switch, {x, y, x + 14, y + h}, image, 0, param);
}
constexpr LayoutControl Display(int x, int param) { return Row(K::WaveDisplay, {x, 216, x + 100, 280}, 0, 0, param); }

constexpr int kKnob = I::kKnob;
constexpr int kWhite = I::kKnobWhite;
constexpr bool kFull = true;
constexpr bool kUnipolar = false;

constexpr LayoutControl ClipLed() {
  LayoutControl c = Row(K::ClipLed, {892, 232, 900, 240}, I::kLed, 0, LayoutCommand::kNone);
  c.startsHidden = true;
  return c;
}

}  // namespace

const LayoutControl kEditorControls[kEditorControlCount] = {
    /*   0 */ Row(K::Background, {0, 0, kEditorWidth, kEditorHeight}, I::kBack, 0, LayoutCommand::kNone),
    /*   1 */ Row(K::PresetMenu, {856, 110, 1048, 151}, 0, 0, LayoutCommand::kNone),
    /*   2 */ Row(K::UtilityKick, {856, 133, 880, 157}, I::kPrev, 0, LayoutCommand::kPreviousProgram),
    /*   3 */ Row(K::UtilityKick, {908, 133, 932, 157}, I::kNext, 0, LayoutCommand::kNextProgram),
    /*   4 */ Row(K::OptionMenu, {950, 133, 998, 157}, 0, 0, LayoutCommand::kUtilityMenu),
    /*   5 */ Row(K::VersionText, kVersionTextRect, 0, 0, LayoutCommand::kNone),
    /*   6 */ Row(K::MidiLearn, {1000, 133, 1048, 157}, I::kLearn, I::kUnlearn, LayoutCommand::kMidiLearn),
    /*   7 */ ClipLed(),
    // ---- global and output
    /*   8 */ Knob(800, 217, kWhite, 4),
    /*   9 */ Knob(742, 99, kKnob, 3),
    /*  10 */ Knob(800, 99, kKnob, 2),
    /*  11 */ Button(554, 100, I::kButtonWhiteOff, I::kButtonWhiteOn, 1),
    /*  12 */ Button(594, 100, I::kButtonOrangeOff, I::kButtonOrangeOn, 111),
    /*  13 */ Knob(633, 99, kKnob, 115),
    /*  14 */ Row(K::Voices, {686, 111, 726, 127}, I::kDigits, 0, 0),
    /*  15 */ PlainButton(860, 217, 5),
    // ---- oscillator 1
    /*  16 */ Knob(38, 100, kWhite, 6),
    /*  17 */ Knob(98, 100, kWhite, 7),
    /*  18 */ Knob(158, 100, kKnob, 8),
    /*  19 */ Source(162, 143, 9, kFull),
    /*  20 */ Knob(218, 100, kKnob, 10),
    /*  21 */ Source(222, 143, 11, kFull),
    // ---- oscillator 2
    /*  22 */ Knob(298, 100, kWhite, 12),
    /*  23 */ Knob(358, 100, kWhite, 13),
    /*  24 */ Knob(418, 100, kKnob, 14),
    /*  25 */ Source(422, 143, 15, kFull),
    /*  26 */ Knob(478, 100, kKnob, 16),
    /*  27 */ Source(482, 143, 17, kFull),
    // ---- formant F1
    /*  28 */ Switch(78, 232, I::kSwitch3, 18),
    /*  29 */ Display(100, 21),
    /*  30 */ Knob(38, 304, kWhite, 22),
    /*  31 */ HiddenKnob(102, 304, kWhite, 20),
    /*  32 */ Knob(102, 304, kWhite, 21),
    /*  33 */ Knob(166, 304, kWhite, 19),
    /*  34 */ Knob(38, 405, kKnob, 31),
    /*  35 */ Source(42, 448, 32, kUnipolar),
    /*  36 */ Knob(102, 405, kKnob, 27),
    /*  37 */ Source(106, 448, 28, kFull),
    /*  38 */ Knob(166, 405, kKnob, 29),
    /*  39 */ Source(170, 448, 30, kFull),
    /*  40 */ PlainButton(34, 495, 23),
    /*  41 */ ReverseKnob(70, 495, kKnob, 24),
    /*  42 */ ReverseKnob(134, 495, kKnob, 26),
    /*  43 */ PlainButton(186, 495, 25),
    // ---- formant F2
    /*  44 */ Switch(286, 232, I::kSwitch3, 33),
    /*  45 */ Display(308, 36),
    /*  46 */ Knob(246, 304, kWhite, 37),
    /*  47 */ HiddenKnob(310, 304, kWhite, 35),
    /*  48 */ Knob(310, 304, kWhite, 36),
    /*  49 */ Knob(374, 304, kWhite, 34),
    /*  50 */ Knob(246, 405, kKnob, 46),
    /*  51 */ Source(250, 448, 47, kUnipolar),
    /*  52 */ Knob(310, 405, kKnob, 42),
    /*  53 */ Source(314, 448, 43, kFull),
    /*  54 */ Knob(374, 405, kKnob, 44),
    /*  55 */ Source(378, 448, 45, kFull),
    /*  56 */ PlainButton(242, 495, 38),
    /*  57 */ ReverseKnob(278, 495, kKnob, 39),
    /*  58 */ ReverseKnob(342, 495, kKnob, 41),
    /*  59 */ PlainButton(394, 495, 40),
    // ---- formant F3
    /*  60 */ Switch(494, 232, I::kSwitch3, 48),
    /*  61 */ Display(516, 51),
    /*  62 */ Knob(454, 304, kWhite, 52),
    /*  63 */ HiddenKnob(518, 304, kWhite, 50),
    /*  64 */ Knob(518, 304, kWhite, 51),
    /*  65 */ Knob(582, 304, kWhite, 49),
    /*  66 */ Knob(454, 405, kKnob, 61),
    /*  67 */ Source(458, 448, 62, kUnipolar),
    /*  68 */ Knob(518, 405, kKnob, 57),
    /*  69 */ Source(522, 448, 58, kFull),
    /*  70 */ Knob(582, 405, kKnob, 59),
    /*  71 */ Source(586, 448, 60, kFull),
    /*  72 */ PlainButton(450, 495, 53),
    /*  73 */ ReverseKnob(486, 495, kKnob, 54),
    /*  74 */ ReverseKnob(550, 495, kKnob, 56),
    /*  75 */ PlainButton(602, 495, 55),
    // ---- bus 1
    /*  76 */ Knob(660, 217, kKnob, 68),
    /*  77 */ Knob(724, 217, kKnob, 69),
    /*  78 */ Source(728, 260, 70, kFull),
    /*  79 */ Knob(660, 297, kKnob, 64),
    /*  80 */ Source(664, 340, 65, kUnipolar),
    /*  81 */ Knob(724, 297, kKnob, 66),
    /*  82 */ Source(728, 340, 67, kUnipolar),
    /*  83 */ Knob(788, 297, kWhite, 63),
    // ---- bus 2
    /*  84 */ Knob(932, 217, kKnob, 76),
    /*  85 */ Knob(996, 217, kKnob, 77),
    /*  86 */ Source(1000, 260, 78, kFull),
    /*  87 */ Knob(932, 297, kKnob, 72),
    /*  88 */ Source(936, 340, 73, kUnipolar),
    /*  89 */ Knob(996, 297, kKnob, 74),
    /*  90 */ Source(1000, 340, 75, kUnipolar),
    /*  91 */ Knob(868, 297, kWhite, 71),
    // ---- LFO 1
    /*  92 */ Popup(696, 79),
    /*  93 */ Knob(660, 432, kKnob, 82),
    /*  94 */ Knob(724, 432, kKnob, 83),
    /*  95 */ Source(728, 475, 84, kUnipolar),
    /*  96 */ PlainButton(668, 495, 80),
    /*  97 */ PlainButton(732, 495, 81),
    // ---- LFO 2
    /*  98 */ Popup(834, 85),
    /*  99 */ Knob(798, 432, kKnob, 88),
    /* 100 */ Knob(862, 432, kKnob, 89),
    /* 101 */ Source(866, 475, 90, kUnipolar),
    /* 102 */ PlainButton(806, 495, 86),
    /* 103 */ PlainButton(870, 495, 87),
    // ---- LFO 3
    /* 104 */ Popup(970, 91),
    /* 105 */ Knob(934, 432, kKnob, 94),
    /* 106 */ Knob(998, 432, kKnob, 95),
    /* 107 */ Source(1002, 475, 96, kUnipolar),
    /* 108 */ PlainButton(942, 495, 92),
    /* 109 */ PlainButton(1006, 495, 93),
    // ---- envelope 1
    /* 110 */ Switch(37, 619, I::kSwitch2, 112),
    /* 111 */ Knob(131, 609, kKnob, 97),
    /* 112 */ Knob(191, 609, kKnob, 98),
    /* 113 */ Knob(251, 609, kKnob, 99),
    /* 114 */ Knob(311, 609, kKnob, 100),
    // ---- envelope 2
    /* 115 */ Switch(384, 619, I::kSwitch2, 113),
    /* 116 */ Knob(418, 609, kKnob, 101),
    /* 117 */ Knob(478, 609, kKnob, 102),
    /* 118 */ Knob(538, 609, kKnob, 103),
    /* 119 */ Knob(598, 609, kKnob, 104),
    /* 120 */ Knob(658, 609, kKnob, 105),
    // ---- envelope 3
    /* 121 */ Switch(728, 619, I::kSwitch2, 114),
    /* 122 */ Knob(762, 609, kKnob, 106),
    /* 123 */ Knob(822, 609, kKnob, 107),
    /* 124 */ Knob(882, 609, kKnob, 108),
    /* 125 */ Knob(942, 609, kKnob, 109),
    /* 126 */ Knob(1002, 609, kKnob, 110),
};

const LayoutSection kEditorSections[kEditorSectionCount] = {
    {"OSCILLATOR 1", {20, 62, 274, 166}, true},
    {"OSCILLATOR 2", {282, 62, 534, 166}, true},
    {"GLOBAL", {542, 62, 846, 166}, true},
    {"PROGRAM", {852, 62, 1056, 166}, true},
    {"FORMANT F1", {20, 178, 222, 552}, true},
    {"FORMANT F2", {230, 178, 430, 552}, true},
    {"FORMANT F3", {438, 178, 638, 552}, true},
    // Each formant: the sound, its modulation, its routing.
    {"MODULATION", {30, 366, 212, 376}, false},
    {"ROUTING", {30, 466, 212, 476}, false},
    {"MODULATION", {240, 366, 420, 376}, false},
    {"ROUTING", {240, 466, 420, 476}, false},
    {"MODULATION", {448, 366, 628, 376}, false},
    {"ROUTING", {448, 466, 628, 476}, false},
    // Bus 1 left, the output in the middle, bus 2 right: one frame, three
    // headings over their columns.
    {"", {646, 178, 1056, 362}, true},
    {"BUS 1", {660, 178, 764, 196}, false},
    {"OUTPUT", {788, 178, 908, 196}, false},
    {"BUS 2", {932, 178, 1036, 196}, false},
    {"LFO 1", {646, 372, 778, 552}, true},
    {"LFO 2", {784, 372, 916, 552}, true},
    {"LFO 3", {922, 372, 1056, 552}, true},
    {"ENVELOPE 1", {20, 562, 360, 668}, true},
    {"ENVELOPE 2", {366, 562, 708, 668}, true},
    {"ENVELOPE 3", {714, 562, 1056, 668}, true},
};
