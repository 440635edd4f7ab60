#pragma once

// Where every control of the editor sits, which image it draws and which
// parameter it edits, as plain data. The editor builds its controls from this
// table, and tools/make-editor-art paints the panel artwork (section frames,
// labels, the boxes behind the text the controls draw) from the same rows, so
// a control and the artwork under it cannot drift apart. Like ParamTable.h
// this depends on nothing, so native tools link it on their own.

constexpr int kEditorWidth = 1072;
constexpr int kEditorHeight = 680;

struct LayoutRect {
  int L, T, R, B;
  constexpr int W() const { return R - L; }
  constexpr int H() const { return B - T; }
};

// The images, PNG resources 1..17. Frames are stacked top to bottom;
// rgba = false means an opaque RGB image.
struct LayoutImage {
  int id;
  const char* name;
  int width, height, frames;
  bool rgba;
  constexpr int FrameHeight() const { return height / frames; }
};

namespace LayoutImageId {
constexpr int kBack = 1;
constexpr int kButtonOff = 2;
constexpr int kButtonOn = 3;
constexpr int kButtonWhiteOff = 4;
constexpr int kButtonWhiteOn = 5;
constexpr int kButtonOrangeOff = 6;
constexpr int kButtonOrangeOn = 7;
constexpr int kDigits = 8;
constexpr int kNext = 9;
constexpr int kKnob = 10;
constexpr int kKnobWhite = 11;
constexpr int kLearn = 12;
constexpr int kLed = 13;
constexpr int kSwitch2 = 14;
constexpr int kSwitch3 = 15;
constexpr int kUnlearn = 16;
constexpr int kPrev = 17;
}  // namespace LayoutImageId

constexpr int kEditorImageCount = 17;
extern const LayoutImage kEditorImages[kEditorImageCount];  // index = id - 1

// The image with this id (1..17), or nullptr.
const LayoutImage* FindEditorImage(int id);

// Which control class a row makes.
enum class LayoutKind {
  Background,   // IBitmapControl, full window, clobber blend
  PresetMenu,   // IKSPresetMenu: program number and name
  UtilityKick,  // IKSUtilityKick: previous / next program arrow
  OptionMenu,   // IKSOptionMenu: utility menu, draws nothing
  VersionText,  // ITextControl: "v 2.0.4.N"
  MidiLearn,    // IKSSwitchMidiLearn
  ClipLed,      // IBitmapControl: the clip light
  Knob,         // IKSKnobControl
  ButtonKick,   // IKSButtonKick: off image + on image
  Voices,       // IKSVoicesControl: digits
  Source,       // IKSSourceControl: modulation source menu
  Popup,        // IKSPopupControl: LFO waveform menu
  Switch,       // IKSSwitchControl: one frame per value
  WaveDisplay,  // IKSWaveDisplay
};

// Parameter values of rows that edit no parameter but run a command.
namespace LayoutCommand {
constexpr int kNone = -1;
constexpr int kPreviousProgram = -117;
constexpr int kNextProgram = -118;
constexpr int kUtilityMenu = -120;
constexpr int kMidiLearn = -121;
}  // namespace LayoutCommand

struct LayoutControl {
  LayoutKind kind;
  LayoutRect rect;
  int image;   // LayoutImageId, or 0 for controls that draw no image
  int image2;  // buttons: the on image; the learn switch: the unlearn image; else 0
  int param;   // parameter index, or a LayoutCommand
  bool reverse;       // knobs: drawn and dragged the other way round
  bool fullSources;   // source menus: all 19 sources (else the first 13)
  bool startsHidden;  // the clip LED and the three Freq Fk knobs
};

constexpr int kEditorControlCount = 127;
// In creation order: the order is the drawing order and decides which
// control gets a click where two overlap. Row 0 is the background.
extern const LayoutControl kEditorControls[kEditorControlCount];

// Rows the plug-in keeps pointers to, because it drives them itself.
namespace LayoutIndex {
constexpr int kBackground = 0;
constexpr int kProgramDisplay = 1;
constexpr int kPreviousProgram = 2;
constexpr int kNextProgram = 3;
constexpr int kUtilityMenu = 4;
constexpr int kVersionText = 5;
constexpr int kLearnSwitch = 6;
constexpr int kClipLed = 7;
constexpr int kVoiceDisplay = 14;
// Formant k = 1..3 at [k - 1]. The Freq knob and the Part knob of a formant
// share one place; the formant type decides which one is shown.
constexpr int kWaveDisplay[3] = {29, 45, 61};
constexpr int kFreqKnob[3] = {31, 47, 63};
constexpr int kPartKnob[3] = {32, 48, 64};
}  // namespace LayoutIndex

// Inner rects of the program display (row 1 is their union).
constexpr LayoutRect kProgramNumberRect{882, 137, 906, 151};
constexpr LayoutRect kProgramNameRect{856, 110, 1048, 124};
// The version text, right-aligned, ending at x = 1020: the instrument's
// version (2.0.4, the version the host is told) and the build number. Every
// library of a release shows the same text.
constexpr LayoutRect kVersionTextRect{944, 16, 1020, 32};
constexpr int kBuildNumber = 1;
constexpr const char* kVersionText = "v 2.0.4.1";
// A wave display draws its label in (L, T + 4, R, T + 12) and its curves
// within T + 17 .. T + 60.
constexpr int kWaveLabelTop = 4;
constexpr int kWaveLabelBottom = 12;
constexpr int kWaveCurveTop = 17;
constexpr int kWaveCurveBottom = 60;

// The framed sections of the panel: only the artwork reads these, the
// editor gets them as part of the background image.
// A framed section draws its frame and its title centred in the title strip
// at the top. An unframed row is a heading inside a framed section, its text
// centred in its rect: in the title strip over the columns it names, or, in
// a rect lower down, on a divider line across the section.
struct LayoutSection {
  const char* title;
  LayoutRect rect;
  bool framed;
};
constexpr int kEditorSectionCount = 23;
extern const LayoutSection kEditorSections[kEditorSectionCount];
