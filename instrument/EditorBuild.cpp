// The instrument's editor: its controls, built from the layout table
// (EditorLayout.h), and what the instrument does to them on its own: the clip
// light, the formant section's knob swap, the voice display and the learn
// switch.
#include <mutex>

#include "EditorLayout.h"
#include "IControl.h"
#include "IGraphics.h"
#include "IKSControls.h"
#include "IKSWaveDisplay.h"
#include "Quarvi.h"

namespace {

Rect ToRect(const LayoutRect& r) { return Rect(r.L, r.T, r.R, r.B); }

// The version text: right-aligned, so that it ends at the rect's right edge
// whatever the font makes of it.
TextStyle VersionStyle() {
  return TextStyle("Arial", 14, Color(64, 255, 255, 255), TextStyle::kNormal, TextStyle::kAlignFar);
}

}  // namespace

// One control per row, in the table's order (the drawing order, and the
// order that decides which of two overlapping controls takes a click).
Quarvi::EditorHandles Quarvi::BuildEditor(IGraphics* editor) {
  EditorHandles handles;
  if (!editor) return handles;

  // The strips, through the process-wide cache: only the first instance of
  // a process decodes them. The background comes with SetBackground, the
  // unlearn image when the learn switch is first turned to unlearn.
  BitmapStrip strips[kEditorImageCount + 1];
  for (const LayoutImage& image : kEditorImages) {
    if (image.id == LayoutImageId::kBack || image.id == LayoutImageId::kUnlearn) continue;
    strips[image.id] = editor->LoadBitmapStrip(image.id, image.name, image.frames);
  }
  editor->HandleMouseOver(false);

  IControl* made[kEditorControlCount] = {};
  for (int row = 0; row < kEditorControlCount; ++row) {
    const LayoutControl& c = kEditorControls[row];
    const BitmapStrip& strip = strips[c.image];
    const int x = c.rect.L, y = c.rect.T;
    IControl* control = nullptr;
    switch (c.kind) {
      case LayoutKind::Background:
        // Always row 0: SetBackground puts it first in the list.
        editor->SetBackground(c.image, FindEditorImage(c.image)->name);
        made[row] = editor->GetControl(0);
        continue;
      case LayoutKind::PresetMenu:
        control = new IKSPresetMenu(this, ToRect(kProgramNumberRect), ToRect(kProgramNameRect));
        break;
      case LayoutKind::UtilityKick:
        control = new IKSUtilityKick(this, x, y, c.param, strip);
        break;
      case LayoutKind::OptionMenu:
        control = new IKSOptionMenu(this);
        break;
      case LayoutKind::VersionText:
        control = new ITextControl(this, ToRect(c.rect), VersionStyle(), kVersionText);
        break;
      case LayoutKind::MidiLearn:
        control = new IKSSwitchMidiLearn(this, x, y, strip);
        break;
      case LayoutKind::ClipLed:
        control = new IBitmapControl(this, x, y, c.param, strip);
        break;
      case LayoutKind::Knob:
        control = new IKSKnobControl(this, x, y, strip, c.param, c.reverse);
        break;
      case LayoutKind::ButtonKick:
        control = new IKSButtonKick(this, x, y, c.param, strip, strips[c.image2]);
        break;
      case LayoutKind::Voices:
        control = new IKSVoicesControl(this, ToRect(c.rect), strip);
        break;
      case LayoutKind::Source:
        control = new IKSSourceControl(this, x, y, c.param, c.fullSources);
        break;
      case LayoutKind::Popup:
        control = new IKSPopupControl(this, x, c.param);
        break;
      case LayoutKind::Switch:
        control = new IKSSwitchControl(this, x, y, c.param, strip);
        break;
      case LayoutKind::WaveDisplay:
        control = new IKSWaveDisplay(this, x, c.param);
        break;
    }
    editor->AddControl(control);
    // The clip light until an overload; the Freq knobs until the first idle
    // call shows the formant types.
    if (c.startsHidden) control->Hide(true);
    made[row] = control;
  }

  handles.programDisplay = made[LayoutIndex::kProgramDisplay];
  handles.learnSwitch = static_cast<IKSSwitchMidiLearn*>(made[LayoutIndex::kLearnSwitch]);
  handles.learnSwitch->SetLearnMode(true);
  handles.clipLed = made[LayoutIndex::kClipLed];
  handles.voiceDisplay = made[LayoutIndex::kVoiceDisplay];
  for (int k = 0; k < 3; ++k) {
    handles.waveDisplay[k] = made[LayoutIndex::kWaveDisplay[k]];
    handles.freqKnob[k] = made[LayoutIndex::kFreqKnob[k]];
    handles.partKnob[k] = made[LayoutIndex::kPartKnob[k]];
  }
  return handles;
}

void Quarvi::InstallEditor(IGraphics* editor) {
  if (GetGUI()) DestroyEditor();
  const EditorHandles handles = BuildEditor(editor);
  AttachEditor(editor);
  std::lock_guard<std::recursive_mutex> lock(mLock);
  mEditorHandles = handles;
  mProgramDisplay.store(handles.programDisplay, std::memory_order_relaxed);
  mVoiceDisplay.store(handles.voiceDisplay, std::memory_order_relaxed);
  // A learn gesture starts only from the switch.
  mConfig.learnActive = false;
  mConfig.onLearnFinished = [this] { ResetLearnSwitch(); };
}

void Quarvi::AttachEditor(IGraphics* editor) {
  {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    mEditorHandles = EditorHandles();
    mProgramDisplay.store(nullptr, std::memory_order_relaxed);
    mVoiceDisplay.store(nullptr, std::memory_order_relaxed);
  }
  Synth::AttachEditor(editor);
}

// Under the lock, on whichever thread finished the gesture.
void Quarvi::ResetLearnSwitch() {
  if (mEditorHandles.learnSwitch && GetGUI()) mEditorHandles.learnSwitch->LearnFinished();
}

void Quarvi::RedrawVoiceDisplay() {
  IControl* display = mVoiceDisplay.load(std::memory_order_relaxed);
  if (display && GetGUI()) {  // the display lives as long as the editor
    display->SetDirty(false);
    display->RequestRedraw();
  }
}

// The host's editor idle call and the editor's own timer after 21 quiet
// ticks, both on the editor's thread. The flags are the engine's unlocked
// ones; a closed window leaves them for the next open.
void Quarvi::EditorIdle() {
  IGraphics* editor = GetGUI();
  if (!editor || !editor->IsWindowOpen()) return;
  const EditorHandles& h = mEditorHandles;
  if (!h.clipLed) return;  // not the editor the instance built

  // The light shows for one idle period after an overload. Only a change
  // is marked, so a steady light costs no redraw.
  const bool clipped = TakeClipIndicator();
  if (h.clipLed->IsHidden() == clipped) h.clipLed->Hide(!clipped);

  if (TakeDisplayDirty()) {
    for (int k = 0; k < 3; ++k) {
      // "Fixed" (0) is set by frequency, the other types by partial number.
      const bool fixed = DisplayFormantType(k) == 0;
      if (h.freqKnob[k]->IsHidden() == fixed) h.freqKnob[k]->Hide(!fixed);
      if (h.partKnob[k]->IsHidden() != fixed) h.partKnob[k]->Hide(fixed);
      h.waveDisplay[k]->SetDirty(false);
    }
  }
}
