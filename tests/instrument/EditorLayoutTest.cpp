#include <gtest/gtest.h>

#include <cstring>

#include "EditorLayout.h"
#include "ParamTable.h"

namespace {

bool Inside(const LayoutRect& in, const LayoutRect& out) {
  return in.L >= out.L && in.T >= out.T && in.R <= out.R && in.B <= out.B;
}

// The parameter of every row, by name, as the editor's control list gives it
// (commands by their number): a row bound to a wrong index shows up here.
struct Expected {
  int row;
  const char* name;
};
constexpr Expected kRowParams[] = {
    {8, "Volume"},      {9, "PB Range"},    {10, "Portamnt"},   {11, "Free Run"},   {12, "Unison"},
    {13, "Unison LFO Phase"}, {14, "Voices"}, {15, "SoftClip"}, {16, "Pitch 1"},    {17, "Tune 1"},
    {18, "FM1Amt 1"},   {19, "FM1Src 1"},   {20, "FM2Amt 1"},   {21, "FM2Src 1"},   {22, "Pitch 2"},
    {23, "Tune 2"},     {24, "FM1Amt 2"},   {25, "FM1Src 2"},   {26, "FM2Amt 2"},   {27, "FM2Src 2"},
    {28, "Type F1"},    {29, "Part F1"},    {30, "Vol F1"},     {31, "Freq F1"},    {32, "Part F1"},
    {33, "Bw F1"},      {34, "AMAmt F1"},   {35, "AMSrc F1"},   {36, "FM1Am F1"},   {37, "FM1Sc F1"},
    {38, "FM2Am F1"},   {39, "FM2Sc F1"},   {40, "Osc1 F1"},    {41, "Send1 F1"},   {42, "Send2 F1"},
    {43, "Osc2 F1"},    {44, "Type F2"},    {45, "Part F2"},    {46, "Vol F2"},     {47, "Freq F2"},
    {48, "Part F2"},    {49, "Bw F2"},      {50, "AMAmt F2"},   {51, "AMSrc F2"},   {52, "FM1Am F2"},
    {53, "FM1Sc F2"},   {54, "FM2Am F2"},   {55, "FM2Sc F2"},   {56, "Osc1 F2"},    {57, "Send1 F2"},
    {58, "Send2 F2"},   {59, "Osc2 F2"},    {60, "Type F3"},    {61, "Part F3"},    {62, "Vol F3"},
    {63, "Freq F3"},    {64, "Part F3"},    {65, "Bw F3"},      {66, "AMAmt F3"},   {67, "AMSrc F3"},
    {68, "FM1Am F3"},   {69, "FM1Sc F3"},   {70, "FM2Am F3"},   {71, "FM2Sc F3"},   {72, "Osc1 F3"},
    {73, "Send1 F3"},   {74, "Send2 F3"},   {75, "Osc2 F3"},    {76, "Pan 1"},      {77, "PanAmt 1"},
    {78, "PanSrc 1"},   {79, "AM1Amt 1"},   {80, "AM1Src 1"},   {81, "AM2Amt 1"},   {82, "AM2Src 1"},
    {83, "Level 1"},    {84, "Pan 2"},      {85, "PanAmt 2"},   {86, "PanSrc 2"},   {87, "AM1Amt 2"},
    {88, "AM1Src 2"},   {89, "AM2Amt 2"},   {90, "AM2Src 2"},   {91, "Level 2"},    {92, "LFOWav 1"},
    {93, "LFOFrq 1"},   {94, "LFOMod 1"},   {95, "LFOSrc 1"},   {96, "LFOSyn 1"},   {97, "LFORtg 1"},
    {98, "LFOWav 2"},   {99, "LFOFrq 2"},   {100, "LFOMod 2"},  {101, "LFOSrc 2"},  {102, "LFOSyn 2"},
    {103, "LFORtg 2"},  {104, "LFOWav 3"},  {105, "LFOFrq 3"},  {106, "LFOMod 3"},  {107, "LFOSrc 3"},
    {108, "LFOSyn 3"},  {109, "LFORtg 3"},  {110, "Env1 Trg"},  {111, "Env 1 A"},   {112, "Env 1 D"},
    {113, "Env 1 S"},   {114, "Env 1 R"},   {115, "Env2 Trg"},  {116, "Env 2 Dly"}, {117, "Env 2 A"},
    {118, "Env 2 D"},   {119, "Env 2 S"},   {120, "Env 2 R"},   {121, "Env3 Trg"},  {122, "Env 3 Dly"},
    {123, "Env 3 A"},   {124, "Env 3 D"},   {125, "Env 3 S"},   {126, "Env 3 R"},
};

}  // namespace

TEST(EditorLayout, RowsBindTheListedParameters) {
  ASSERT_EQ(sizeof(kRowParams) / sizeof(kRowParams[0]), size_t(kEditorControlCount - 8));
  for (const Expected& e : kRowParams) {
    const LayoutControl& c = kEditorControls[e.row];
    ASSERT_GE(c.param, 0) << "row " << e.row;
    ASSERT_LT(c.param, kParamTableSize) << "row " << e.row;
    EXPECT_STREQ(kParamTable[c.param].name, e.name) << "row " << e.row;
  }
  const int commands[8] = {-1, -1, -117, -118, -120, -1, -121, -1};
  for (int row = 0; row < 8; ++row) EXPECT_EQ(kEditorControls[row].param, commands[row]) << "row " << row;

  // Every source menu offers exactly the sources its parameter accepts.
  for (const LayoutControl& c : kEditorControls) {
    if (c.kind == LayoutKind::Source) {
      EXPECT_EQ(c.fullSources ? 19 : 13, kParamTable[c.param].textCount) << kParamTable[c.param].name;
    }
  }
}

TEST(EditorLayout, ImagesFitTheirControls) {
  for (int id = 1; id <= kEditorImageCount; ++id) {
    const LayoutImage* img = FindEditorImage(id);
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->id, id);
    EXPECT_EQ(img->height % img->frames, 0) << img->name;
    EXPECT_EQ(std::strncmp(img->name, "resources/img/", 14), 0) << img->name;
  }
  EXPECT_EQ(FindEditorImage(0), nullptr);
  EXPECT_EQ(FindEditorImage(18), nullptr);

  const LayoutRect window{0, 0, kEditorWidth, kEditorHeight};
  int hidden = 0;
  for (int row = 0; row < kEditorControlCount; ++row) {
    const LayoutControl& c = kEditorControls[row];
    SCOPED_TRACE(row);
    EXPECT_TRUE(Inside(c.rect, window));
    EXPECT_GT(c.rect.W(), 0);
    EXPECT_GT(c.rect.H(), 0);
    hidden += c.startsHidden;
    for (int id : {c.image, c.image2}) {
      if (id == 0) continue;
      const LayoutImage* img = FindEditorImage(id);
      ASSERT_NE(img, nullptr);
      // The voice display blits 12-pixel digits at several places in its rect.
      if (c.kind != LayoutKind::Voices) {
        EXPECT_EQ(img->width, c.rect.W()) << img->name;
      }
      EXPECT_EQ(img->FrameHeight(), c.rect.H()) << img->name;
    }
    const bool drawsImage = c.kind == LayoutKind::Background || c.kind == LayoutKind::UtilityKick ||
                            c.kind == LayoutKind::MidiLearn || c.kind == LayoutKind::ClipLed ||
                            c.kind == LayoutKind::Knob || c.kind == LayoutKind::ButtonKick ||
                            c.kind == LayoutKind::Voices || c.kind == LayoutKind::Switch;
    EXPECT_EQ(c.image != 0, drawsImage);
    if (c.kind == LayoutKind::Knob) {
      EXPECT_EQ(FindEditorImage(c.image)->frames, 65);
    }
  }
  EXPECT_EQ(hidden, 4);  // the clip LED and the three Freq knobs
  for (int k = 0; k < 3; ++k) {
    const LayoutControl& freq = kEditorControls[LayoutIndex::kFreqKnob[k]];
    const LayoutControl& part = kEditorControls[LayoutIndex::kPartKnob[k]];
    EXPECT_TRUE(freq.startsHidden);
    EXPECT_FALSE(part.startsHidden);
    EXPECT_EQ(freq.rect.L, part.rect.L);
    EXPECT_EQ(freq.rect.T, part.rect.T);
    EXPECT_EQ(kEditorControls[LayoutIndex::kWaveDisplay[k]].param, part.param);
  }
  const LayoutRect& program = kEditorControls[LayoutIndex::kProgramDisplay].rect;
  EXPECT_EQ(program.L, kProgramNameRect.L);
  EXPECT_EQ(program.T, kProgramNameRect.T);
  EXPECT_EQ(program.R, kProgramNameRect.R);
  EXPECT_EQ(program.B, kProgramNumberRect.B);
}

// The artwork frames every control: each one (but the window-wide background
// and the version text in the header) lies inside exactly one framed section,
// and framed sections do not overlap.
TEST(EditorLayout, SectionsFrameEveryControl) {
  for (int row = 1; row < kEditorControlCount; ++row) {
    if (row == LayoutIndex::kVersionText) continue;
    int frames = 0;
    for (const LayoutSection& s : kEditorSections) frames += s.framed && Inside(kEditorControls[row].rect, s.rect);
    EXPECT_EQ(frames, 1) << "row " << row;
  }
  for (int a = 0; a < kEditorSectionCount; ++a) {
    const LayoutRect& ra = kEditorSections[a].rect;
    for (int b = a + 1; b < kEditorSectionCount; ++b) {
      const LayoutRect& rb = kEditorSections[b].rect;
      if (!kEditorSections[a].framed || !kEditorSections[b].framed) continue;
      EXPECT_FALSE(ra.L < rb.R && rb.L < ra.R && ra.T < rb.B && rb.T < ra.B) << a << " " << b;
    }
  }
}
