#include "IKSControls.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "IPlugBase.h"
#include "Maker.h"
#include "ParamTable.h"
#include "Quarvi.h"
#include "VoiceModes.h"

namespace {

typedef std::lock_guard<std::recursive_mutex> PlugLock;

// "Part F1".."Part F3" run from 1 to 50: 49 partial numbers of range.
constexpr double kPartialRange = 49.0;

bool IsPartialNumber(int index) {
  for (int n = 0; n < 3; ++n) {
    if (index == ParamIndex::kFormant1 + n * ParamIndex::kFormantStride + ParamIndex::kFormantPart) {
      return true;
    }
  }
  return false;
}

double Clamp01(double v) { return v < 0.0 ? 0.0 : (v < 1.0 ? v : 1.0); }

// The text colour of menus and names on the dark panel.
const Color kBrightText(192, 255, 255, 255);
const Color kDimText(96, 255, 255, 255);

// Shows a menu at the click point with the current item checked. Returns
// the chosen item or -1.
int ShowChoiceMenu(IGraphics* g, PopupMenu* menu, int current, int x, int y) {
  menu->CheckItemAlone(current);
  menu->SetChosenItemIdx(-1);
  PopupMenu* chosen = g->ShowPopupMenu(menu, Rect(x, y, x, y));
  return chosen ? chosen->GetChosenItemIdx() : -1;
}

// The menu of a parameter's values at the click point, the current value
// checked; the chosen item k of n becomes the control's value k / (n - 1)
// and goes to the plug-in.
void ChooseFromMenu(IControl* control, PopupMenu* menu, int x, int y) {
  IGraphics* g = control->GUI();
  IPlugBase* plug = control->Plug();
  if (!g || !plug || menu->NItems() < 2) return;
  int current;
  {
    PlugLock lock(plug->Mutex());
    const IPlugParam* p = plug->GetParam(control->ParamIdx());
    if (!p) return;
    current = TruncClamped(p->value, -1, menu->NItems());
  }
  const int item = ShowChoiceMenu(g, menu, current, x, y);
  if (item < 0) return;
  control->SetValueFromUser(static_cast<double>(item) / (menu->NItems() - 1));
  control->SetDirty(true);
}

}  // namespace

// ---- IKSKnobControl ---------------------------------------------------------------------

IKSKnobControl::IKSKnobControl(IPlugBase* plug, int x, int y, const BitmapStrip& strip,
                               int paramIdx, bool reverse)
    : IKnobMultiControl(plug, x, y, paramIdx, strip, kVertical, kDefaultGearing),
      mReverse(reverse) {}

IKSKnobControl::~IKSKnobControl() = default;

bool IKSKnobControl::Draw(IGraphics* graphics) {
  const double v = mReverse ? 1.0 - GetValue() : GetValue();
  return graphics->DrawBitmapFrame(mBitmap, mRect, StripFrameFor(mBitmap, v), &mBlend);
}

void IKSKnobControl::OnMouseDrag(int x, int y, int dX, int dY, const MouseMods& mods) {
  if (IsPartialNumber(mParamIdx)) {
    // 4.9 control heights for the whole range (490 with fine adjustment);
    // T - B is minus the height, so dragging up raises the value.
    const double f = FineAdjust(mods) ? 10.0 : 0.1;
    SetValue(Clamp01(GetValue() + dY / static_cast<double>(mRect.T - mRect.B) / (f * kPartialRange)));
    SetDirty(true);
    return;
  }
  IKnobMultiControl::OnMouseDrag(x, y, dX, mReverse ? -dY : dY, mods);
}

void IKSKnobControl::OnMouseWheel(int x, int y, const MouseMods& mods, int d) {
  if (IsPartialNumber(mParamIdx)) {
    if (d == 0) return;
    // One notch is half a partial number (a hundredth when fine), whatever
    // the wheel's speed.
    const double step = FineAdjust(mods) ? 0.01 : 0.5;
    SetValue(Clamp01(GetValue() + (d > 0 ? step : -step) / kPartialRange));
    SetDirty(true);
    return;
  }
  IKnobMultiControl::OnMouseWheel(x, y, mods, mReverse ? -d : d);
}

// ---- IKSButtonKick ----------------------------------------------------------------------

IKSButtonKick::IKSButtonKick(IPlugBase* plug, int x, int y, int paramIdx,
                             const BitmapStrip& offStrip, const BitmapStrip& onStrip)
    : IContactControl(plug, x, y, paramIdx, offStrip, ChannelBlend::kNone),
      mOff(offStrip),
      mOn(onStrip) {}

IKSButtonKick::~IKSButtonKick() = default;

double IKSButtonKick::ParamValue() const {
  if (!mPlug) return 0.0;
  PlugLock lock(mPlug->Mutex());
  const IPlugParam* p = mPlug->GetParam(mParamIdx);
  return p ? p->value : 0.0;
}

// The image follows the parameter itself, so the button is right even when
// the control's own value was never pushed.
bool IKSButtonKick::Draw(IGraphics* graphics) {
  const BitmapStrip& strip = ParamValue() >= 0.5 ? mOn : mOff;
  return graphics->DrawBitmapFrame(strip, mRect, mPressed ? 2 : 1, nullptr);
}

void IKSButtonKick::OnMouseDown(int, int, const MouseMods&) {
  mPressed = true;
  StepValue();  // the parameter takes the new value
}

// The release writes the old value and then the new one again: the host
// records a press as new, old, new, and the parameter ends toggled.
void IKSButtonKick::OnMouseUp(int, int, const MouseMods&) {
  mPressed = false;
  if (mPlug && mPlug->GetParam(mParamIdx)) {
    PlugLock lock(mPlug->Mutex());
    mPlug->SetParameterFromEditor(mParamIdx, ParamValue() >= 0.5 ? 0.0 : 1.0);
  }
  SetDirty(true);
}

// ---- IKSUtilityKick -----------------------------------------------------------------------

IKSUtilityKick::IKSUtilityKick(IPlugBase* plug, int x, int y, int paramIdx,
                               const BitmapStrip& strip)
    : IContactControl(plug, x, y, paramIdx, strip) {}

IKSUtilityKick::~IKSUtilityKick() = default;

void IKSUtilityKick::OnMouseDown(int, int, const MouseMods&) {
  StepValue();  // the pressed frame; no parameter, so nothing is pushed
  if (!mPlug) return;
  PlugLock lock(mPlug->Mutex());
  const int count = mPlug->NPresets();
  if (count <= 0) return;
  const int current = mPlug->GetCurrentPresetIdx();
  int n;
  if (mParamIdx == EditorCommand::kPreviousProgram) {
    n = current - 1 < 0 ? count - 1 : current - 1;
  } else if (mParamIdx == EditorCommand::kNextProgram) {
    n = current + 1 >= count ? 0 : current + 1;
  } else {
    return;
  }
  mPlug->SelectProgram(n);
}

// ---- IKSSwitchMidiLearn -------------------------------------------------------------------

IKSSwitchMidiLearn::IKSSwitchMidiLearn(Quarvi* plug, int x, int y, const BitmapStrip& learnStrip)
    : ISwitchControl(plug, x, y, EditorCommand::kMidiLearn, learnStrip), mQuarvi(plug) {}

IKSSwitchMidiLearn::~IKSSwitchMidiLearn() = default;

void IKSSwitchMidiLearn::OnMouseDown(int, int, const MouseMods& mods) {
  if (mods.R) {
    // Learn and unlearn swap only while idle; an armed switch ignores it.
    if (GetValue() != 0.0) return;
    mLearnMode = !mLearnMode;
    if (IGraphics* g = GUI()) {
      mBitmap = mLearnMode
                    ? g->LoadBitmapStrip(LearnImage::kLearnId, LearnImage::kLearnName, LearnImage::kFrames)
                    : g->LoadBitmapStrip(LearnImage::kUnlearnId, LearnImage::kUnlearnName,
                                         LearnImage::kFrames);
    }
    SetDirty(true);
    return;
  }
  StepValue();  // 0 -> 1 arms, 1 -> 0 drops the gesture
  if (mQuarvi) mQuarvi->ArmLearn(GetValue() > 0.0, !mLearnMode);
}

void IKSSwitchMidiLearn::LearnFinished() {
  SetValue(0.0);
  SetDirty(false);
  RequestRedraw();  // in case a draw is running on the editor's thread now
}

// ---- IKSSourceControl ---------------------------------------------------------------------

IKSSourceControl::IKSSourceControl(IPlugBase* plug, int x, int y, int paramIdx, bool fullList)
    : IControl(plug, Rect(x, y, x + kWidth, y + kHeight), paramIdx),
      mDimStyle("Verdana", 12, kDimText) {
  mText = TextStyle("Verdana", 12, kBrightText);
  const int n = fullList ? kSourceCount : kUnipolarSourceCount;
  for (int i = 0; i < n; ++i) mMenu.AddItem(kSourceNames[i]);
}

IKSSourceControl::~IKSSourceControl() = default;

bool IKSSourceControl::Draw(IGraphics* graphics) {
  char text[IPlugParam::kTextSize] = "";
  int i = 0;
  {
    if (!mPlug) return true;
    PlugLock lock(mPlug->Mutex());
    const IPlugParam* p = mPlug->GetParam(mParamIdx);
    if (!p) return true;
    i = TruncClamped(p->value, -1, kSourceCount);
    CopyText(text, p->ValueText(i), sizeof(text));
  }
  graphics->DrawTextInRect(i == 0 ? &mDimStyle : &mText, text, &mRect);
  return true;
}

void IKSSourceControl::OnMouseDown(int x, int y, const MouseMods&) { ChooseFromMenu(this, &mMenu, x, y); }

// ---- IKSPopupControl ----------------------------------------------------------------------

IKSPopupControl::IKSPopupControl(IPlugBase* plug, int x, int paramIdx)
    : IControl(plug, Rect(x, kTop, x + kWidth, kTop + kHeight), paramIdx) {
  mText = TextStyle("Verdana", 12, kBrightText);
  if (!mPlug) return;
  PlugLock lock(mPlug->Mutex());
  const IPlugParam* p = mPlug->GetParam(mParamIdx);
  if (!p) return;
  const int last = TruncClamped(p->max, 0, 1000);
  for (int v = 0; v <= last; ++v) {
    char text[IPlugParam::kTextSize];
    p->FormatValue(v, false, text);
    mMenu.AddItem(text);
  }
}

IKSPopupControl::~IKSPopupControl() = default;

bool IKSPopupControl::Draw(IGraphics* graphics) {
  char text[IPlugParam::kTextSize] = "";
  {
    if (!mPlug) return true;
    PlugLock lock(mPlug->Mutex());
    const IPlugParam* p = mPlug->GetParam(mParamIdx);
    if (!p) return true;
    p->FormatValue(p->value, false, text);
  }
  graphics->DrawTextInRect(&mText, text, &mRect);
  return true;
}

void IKSPopupControl::OnMouseDown(int x, int y, const MouseMods&) { ChooseFromMenu(this, &mMenu, x, y); }

// ---- IKSVoicesControl ---------------------------------------------------------------------

IKSVoicesControl::IKSVoicesControl(Quarvi* plug, const Rect& rect, const BitmapStrip& digits)
    : IControl(plug, rect, ParamIndex::kVoices), mDigits(digits), mQuarvi(plug) {
  const int L = rect.L, T = rect.T, R = rect.R, B = rect.B;
  const int w = kDigitWidth, half = (R - L) / 2;
  // A and B reach past the digit: the blit is cut to the 12-pixel image.
  mRects[kRectA] = Rect(L + 10, T, R + half, B);
  mRects[kRectB] = Rect(L + half, T, R, B);
  mRects[kRectC] = Rect(L + 2, T, L + w + 2, B);
  mRects[kRectD] = Rect(L + w - 2, T, L + 2 * w - 2, B);
  mRects[kRectE] = Rect(L + half - 2, T, L + w + half - 2, B);
  mRects[kRectF] = Rect(R - w - 2, T, R - 2, B);
}

IKSVoicesControl::~IKSVoicesControl() = default;

bool IKSVoicesControl::Draw(IGraphics* graphics) {
  if (!mQuarvi) return true;
  int voices, unisonCount;
  bool unison;
  {
    PlugLock lock(mQuarvi->Mutex());
    voices = mQuarvi->Pool().polyCount;
    unisonCount = mQuarvi->Pool().unisonCount;
    const IPlugParam* u = mQuarvi->GetParam(ParamIndex::kUnison);
    unison = u && u->value >= 0.5;
  }
  // Frame k + 1 shows digit k; a count below 10 shows a leading 0.
  const int tens = (voices / 10 + 1) % 10;
  const int units = voices % 10 + 1;
  if (unison) {
    graphics->DrawBitmapFrame(mDigits, mRects[kRectC], unisonCount + 1, &mBlend);
    graphics->DrawBitmapFrame(mDigits, mRects[kRectD], kSeparatorFrame, &mBlend);
    graphics->DrawBitmapFrame(mDigits, mRects[kRectE], tens, &mBlend);
    graphics->DrawBitmapFrame(mDigits, mRects[kRectF], units, &mBlend);
  } else {
    graphics->DrawBitmapFrame(mDigits, mRects[kRectA], tens, &mBlend);
    graphics->DrawBitmapFrame(mDigits, mRects[kRectB], units, &mBlend);
  }
  return true;
}

void IKSVoicesControl::OnMouseDown(int x, int y, const MouseMods&) {
  IGraphics* g = GUI();
  if (!g || !mQuarvi) return;
  // Built on each click: the texts follow "Unison" (voice counts, or the
  // unison and voice counts of each mode).
  PopupMenu menu;
  int current;
  {
    PlugLock lock(mQuarvi->Mutex());
    const IPlugParam* p = mQuarvi->GetParam(mParamIdx);
    if (!p) return;
    for (int v = 0; v < VoiceModes::kModeCount; ++v) {
      char text[IPlugParam::kTextSize];
      p->FormatValue(v, false, text);
      menu.AddItem(text);
    }
    current = TruncClamped(p->value, -1, VoiceModes::kModeCount);
  }
  const int chosen = ShowChoiceMenu(g, &menu, current, x, y);
  if (chosen < 0 || chosen >= VoiceModes::kModeCount) return;
  double normalized;
  {
    PlugLock lock(mQuarvi->Mutex());
    normalized = mQuarvi->GetParam(mParamIdx)->ToNormalized(chosen);
  }
  SetValueFromUser(normalized);
}

void IKSVoicesControl::OnMouseWheel(int, int, const MouseMods&, int d) {
  if (d == 0 || !mQuarvi) return;
  // One notch is one voice mode, however far the normalized value moves.
  PlugLock lock(mQuarvi->Mutex());
  IPlugParam* p = mQuarvi->GetParam(mParamIdx);
  if (!p) return;
  double v = p->value + (d > 0 ? p->step : -p->step);
  v = v < p->min ? p->min : (v > p->max ? p->max : v);
  p->value = v;
  SetValue(p->ToNormalized(v));
  SetDirty(true);
}

// ---- IKSPresetMenu ------------------------------------------------------------------------

IKSPresetMenu::IKSPresetMenu(IPlugBase* plug, const Rect& numberRect, const Rect& nameRect)
    : IControl(plug, numberRect.Union(nameRect), -1), mNumberRect(numberRect), mNameRect(nameRect) {
  mText = TextStyle("Arial", 15, Color(160, 255, 255, 255));
  mTextEntryLength = kNameLength;
}

IKSPresetMenu::~IKSPresetMenu() = default;

bool IKSPresetMenu::Draw(IGraphics* graphics) {
  if (!mPlug) return true;
  {
    PlugLock lock(mPlug->Mutex());
    const int index = mPlug->GetCurrentPresetIdx();
    std::snprintf(mNumber, sizeof(mNumber), "%02d", index);
    // GetPresetName gives "" for an index outside the program list.
    CopyText(mName, mPlug->GetPresetName(index), sizeof(mName));
  }
  graphics->DrawTextInRect(&mText, mNumber, &mNumberRect);
  graphics->DrawTextInRect(&mText, mName, &mNameRect);
  return true;
}

void IKSPresetMenu::OnMouseDown(int x, int y, const MouseMods&) {
  IGraphics* g = GUI();
  if (!g) return;
  if (mNameRect.Contains(x, y)) {
    std::string name;
    {
      PlugLock lock(mPlug->Mutex());
      name = mPlug->GetPresetName(mPlug->GetCurrentPresetIdx());
    }
    g->ShowValueEntry(this, mText, mNameRect, name.c_str(), nullptr);
    return;
  }
  if (!mNumberRect.Contains(x, y)) return;

  constexpr int kPerSubmenu = 16, kSubmenus = 4;
  PopupMenu menu;
  {
    PlugLock lock(mPlug->Mutex());
    const int count = mPlug->NPresets(), current = mPlug->GetCurrentPresetIdx();
    for (int s = 0; s < kSubmenus; ++s) {
      const int first = s * kPerSubmenu;
      auto sub = std::make_unique<PopupMenu>();
      for (int i = first; i < first + kPerSubmenu && i < count; ++i) {
        char full[IPlugPreset::kNameSize + 8], text[IPlugParam::kTextSize];  // at most 31 bytes
        std::snprintf(full, sizeof(full), "%02u: %s", static_cast<unsigned>(i), mPlug->GetPresetName(i));
        CopyText(text, full, sizeof(text));
        sub->AddItem(text, i == current ? PopupMenuItem::kChecked : PopupMenuItem::kNoFlags);
      }
      char title[32];
      std::snprintf(title, sizeof(title), "%02d - %02d", first, first + kPerSubmenu - 1);
      menu.AddSubmenu(title, std::move(sub));
    }
  }
  PopupMenu* chosen = g->ShowPopupMenu(&menu, mNumberRect);
  if (!chosen || chosen->GetChosenItemIdx() < 0) return;
  int offset = 0;
  for (int s = 0; s < kSubmenus; ++s) {
    if (menu.GetItem(s)->submenu.get() == chosen) offset = s * kPerSubmenu;
  }
  const int program = offset + chosen->GetChosenItemIdx();
  if (program < 0) return;
  mPlug->SelectProgram(program);
  SetDirty(false);
}

void IKSPresetMenu::OnTextEntered(const char* text) {
  if (!mPlug) return;
  char name[kNameLength + 1];
  CopyText(name, text, sizeof(name));
  {
    PlugLock lock(mPlug->Mutex());
    mPlug->ModifyCurrentPreset(name);  // an empty text keeps the old name
    mPlug->NotifyHostProgramChanged();
    mPlug->RefreshParamControls();
    mPlug->ReportAllParamsToHost();
  }
  SetDirty(false);
}

// ---- IKSOptionMenu ------------------------------------------------------------------------

IKSOptionMenu::IKSOptionMenu(Quarvi* plug)
    : IControl(plug, Rect(950, 133, 998, 157), EditorCommand::kUtilityMenu), mQuarvi(plug) {}

void IKSOptionMenu::OnMouseDown(int x, int y, const MouseMods&) {
  IGraphics* g = GUI();
  if (!g || !mQuarvi) return;
  const bool copied = mQuarvi->HasCopiedProgram();
  bool startupBank, midiThru, ignoreProgramChange;
  {
    PlugLock lock(mQuarvi->Mutex());
    const Config& c = mQuarvi->Settings();
    startupBank = !c.startupBankPath.empty();
    midiThru = c.midiThru;
    ignoreProgramChange = c.ignoreProgramChange;
  }
  const int none = PopupMenuItem::kNoFlags, disabled = PopupMenuItem::kDisabled;
  PopupMenu menu;
  menu.AddItem("Copy Program");                                   // 0
  menu.AddItem("Paste Program", copied ? none : disabled);        // 1
  menu.AddItem("Init Program");                                   // 2
  menu.AddSeparator();                                            // 3
  menu.AddItem("Load Program");                                   // 4
  menu.AddItem("Save Program");                                   // 5
  menu.AddItem("Load Bank");                                      // 6
  menu.AddItem("Save Bank");                                      // 7
  menu.AddSeparator();                                            // 8
  menu.AddItem("Select Startup Bank");                            // 9
  menu.AddItem("Load Startup Bank", startupBank ? none : disabled);      // 10
  menu.AddItem("Unselect Startup Bank", startupBank ? none : disabled);  // 11
  menu.AddSeparator();                                            // 12
  menu.AddItem("Default Path for Program Files");                 // 13
  auto midi = std::make_unique<PopupMenu>();
  midi->AddItem("MIDI Thru", midiThru ? PopupMenuItem::kChecked : none);                         // 19
  midi->AddItem("Ignore Program Change", ignoreProgramChange ? PopupMenuItem::kChecked : none);  // 20
  PopupMenu* midiMenu = midi.get();
  menu.AddSubmenu("Global MIDI Settings...", std::move(midi));    // 14
  menu.AddItem("Reload Configuration");                           // 15
  menu.AddItem("Save Configuration");                             // 16
  menu.AddSeparator();                                            // 17
  auto online = std::make_unique<PopupMenu>();
  online->AddItem("Check Online for Update");                     // 21
  online->AddItem(std::string("Visit ") + kMakerWebSiteName);     // 22
  PopupMenu* onlineMenu = online.get();
  menu.AddSubmenu("Go Online...", std::move(online));             // 18

  PopupMenu* chosen = g->ShowPopupMenu(&menu, Rect(x, y, x, y));
  if (!chosen || chosen->GetChosenItemIdx() < 0) return;
  int command = chosen->GetChosenItemIdx();
  if (chosen == midiMenu) command += kMidiFirstCommand;
  else if (chosen == onlineMenu) command += kOnlineFirstCommand;
  switch (command) {
    case 3: case 8: case 12: case kMidiSubmenuItem: case 17: case kOnlineSubmenuItem:
      return;  // separators and submenu headers
    case kVisitWebSite:
      g->OpenUrl(kMakerWebAddress, nullptr, nullptr, nullptr);
      return;
    default:
      if (command >= 0 && command < kVisitWebSite) mQuarvi->DoUtilityCommand(command, g);
      return;
  }
}
