#pragma once
// The instrument's own controls: knobs with a reversed sense and the gearing
// of the partial numbers, on/off buttons, the program arrows, switches, the
// MIDI learn switch, the source, waveform and voice menus, the program
// display and the utility menu.
//
// Threads: the controls run on the editor's thread. Whatever they read from
// the plug-in (parameter objects, program names, voice counts, settings) is
// read under the plug-in's lock, which the host's threads hold while they
// change it; drawing happens after the lock is released.
#include "EditorLayout.h"
#include "IControl.h"

class Quarvi;

// Parameter values of controls that run a command instead of editing a
// parameter: the layout table's.
namespace EditorCommand = LayoutCommand;

// The learn switch's two images.
namespace LearnImage {
constexpr int kLearnId = 12;
constexpr const char* kLearnName = "resources/img/learn.png";
constexpr int kUnlearnId = 16;
constexpr const char* kUnlearnName = "resources/img/unlearn.png";
constexpr int kFrames = 2;
}  // namespace LearnImage

// A filmstrip knob, vertical, gearing 4. A reversed knob shows its first
// frame at 1 and its last at 0 and is dragged and wheeled the other way.
// The partial numbers ("Part F1".."Part F3", 1..50) move in musical steps:
// a drag over 4.9 control heights covers the range (490 with Shift or
// Control), and a wheel notch moves the partial number by 0.5 (0.01).
class IKSKnobControl : public IKnobMultiControl {
 public:
  IKSKnobControl(IPlugBase* plug, int x, int y, const BitmapStrip& strip, int paramIdx,
                 bool reverse = false);
  ~IKSKnobControl() override;
  void OnMouseDrag(int x, int y, int dX, int dY, const MouseMods& mods) override;
  void OnMouseWheel(int x, int y, const MouseMods& mods, int d) override;
  bool Draw(IGraphics* graphics) override;
  bool Reversed() const { return mReverse; }

 private:
  bool mReverse;
};

// An on/off button for a bool or two-valued parameter: the parameter's own
// value picks the off or the on image, the press shows the lower frame.
// A click leaves the parameter toggled; the host sees the new value on the
// press and, on the release, the old value and then the new one again.
class IKSButtonKick : public IContactControl {
 public:
  IKSButtonKick(IPlugBase* plug, int x, int y, int paramIdx, const BitmapStrip& offStrip,
                const BitmapStrip& onStrip);
  ~IKSButtonKick() override;
  void OnMouseDown(int x, int y, const MouseMods& mods) override;
  void OnMouseUp(int x, int y, const MouseMods& mods) override;
  bool Draw(IGraphics* graphics) override;
  bool Pressed() const { return mPressed; }

 private:
  // The bound parameter's plain value, read under the plug-in's lock.
  double ParamValue() const;
  BitmapStrip mOff, mOn;
  bool mPressed = false;
};

// The previous (-117) and next (-118) program arrows: they wrap between
// program 0 and 63 and show the pressed frame only while held.
class IKSUtilityKick : public IContactControl {
 public:
  IKSUtilityKick(IPlugBase* plug, int x, int y, int paramIdx, const BitmapStrip& strip);
  ~IKSUtilityKick() override;
  void OnMouseDown(int x, int y, const MouseMods& mods) override;
};

// One frame per value; each click steps to the next (formant types,
// envelope trigger modes).
class IKSSwitchControl : public ISwitchControl {
 public:
  IKSSwitchControl(IPlugBase* plug, int x, int y, int paramIdx, const BitmapStrip& strip)
      : ISwitchControl(plug, x, y, paramIdx, strip) {}
};

// The MIDI learn switch. A left click arms a learn (or unlearn) gesture or
// drops the one in progress; a right click on the idle switch swaps between
// learn and unlearn, with their images. When a gesture completes, the
// plug-in calls LearnFinished (from Config::onLearnFinished).
class IKSSwitchMidiLearn : public ISwitchControl {
 public:
  IKSSwitchMidiLearn(Quarvi* plug, int x, int y, const BitmapStrip& learnStrip);
  ~IKSSwitchMidiLearn() override;
  void OnMouseDown(int x, int y, const MouseMods& mods) override;
  // Back to idle; safe on any thread (it only stores and marks).
  void LearnFinished();
  bool LearnMode() const { return mLearnMode; }
  void SetLearnMode(bool learn) { mLearnMode = learn; }
  int ImageId() const { return mLearnMode ? LearnImage::kLearnId : LearnImage::kUnlearnId; }

 private:
  Quarvi* mQuarvi;
  bool mLearnMode = true;
};

// A modulation source selector: the source's name, dim while "Off", and a
// menu of the 19 sources (or the first 13) with the current one checked.
class IKSSourceControl : public IControl {
 public:
  static constexpr int kWidth = 32, kHeight = 12;
  IKSSourceControl(IPlugBase* plug, int x, int y, int paramIdx, bool fullList);
  ~IKSSourceControl() override;
  void OnMouseDown(int x, int y, const MouseMods& mods) override;
  bool Draw(IGraphics* graphics) override;
  TextStyle& DimStyle() { return mDimStyle; }
  const PopupMenu& Menu() const { return mMenu; }

 private:
  PopupMenu mMenu;
  TextStyle mDimStyle;
};

// An LFO waveform selector: the waveform's name and a menu of the
// parameter's value texts.
class IKSPopupControl : public IControl {
 public:
  static constexpr int kTop = 399, kWidth = 59, kHeight = 14;
  IKSPopupControl(IPlugBase* plug, int x, int paramIdx);
  ~IKSPopupControl() override;
  void OnMouseDown(int x, int y, const MouseMods& mods) override;
  bool Draw(IGraphics* graphics) override;
  const PopupMenu& Menu() const { return mMenu; }

 private:
  PopupMenu mMenu;
};

// The voice count in digits from a strip (frames 1-10 the digits 0-9, frame
// 11 the separator), with the unison count in front while "Unison" is on;
// a menu of the 32 voice modes; the wheel steps through them.
class IKSVoicesControl : public IControl {
 public:
  // The digit rects: A, B (tens, units without unison), C (unison count),
  // D (separator), E, F (tens, units with unison).
  enum { kRectA, kRectB, kRectC, kRectD, kRectE, kRectF, kRectCount };
  static constexpr int kDigitWidth = 12;
  static constexpr int kSeparatorFrame = 11;

  IKSVoicesControl(Quarvi* plug, const Rect& rect, const BitmapStrip& digits);
  ~IKSVoicesControl() override;
  void OnMouseDown(int x, int y, const MouseMods& mods) override;
  void OnMouseWheel(int x, int y, const MouseMods& mods, int d) override;
  bool Draw(IGraphics* graphics) override;
  const Rect& DigitRect(int which) const { return mRects[which]; }

 private:
  BitmapStrip mDigits;
  Rect mRects[kRectCount];
  Quarvi* mQuarvi;
};

// The current program's number ("%02d") and name. A click on the number
// opens the program menu (four submenus of 16), a click on the name opens a
// text entry that renames the program. Names are UTF-8; where one is cut
// (to kNameLength bytes shown and stored, 31 in a menu item), the cut falls
// between characters.
class IKSPresetMenu : public IControl {
 public:
  static constexpr int kNameLength = 27;  // characters the entry accepts, bytes kept
  IKSPresetMenu(IPlugBase* plug, const Rect& numberRect, const Rect& nameRect);
  ~IKSPresetMenu() override;
  void OnMouseDown(int x, int y, const MouseMods& mods) override;
  bool Draw(IGraphics* graphics) override;
  void OnTextEntered(const char* text) override;
  const Rect& NumberRect() const { return mNumberRect; }
  const Rect& NameRect() const { return mNameRect; }

 private:
  char mNumber[kNameLength + 1] = {0};
  char mName[kNameLength + 1] = {0};
  Rect mNumberRect, mNameRect;
};

// The utility menu. Its button is part of the background art, so it draws
// nothing; a click builds the menu afresh and runs the chosen command.
class IKSOptionMenu : public IControl {
 public:
  static constexpr int kMidiSubmenuItem = 14, kMidiFirstCommand = 19;
  static constexpr int kOnlineSubmenuItem = 18, kOnlineFirstCommand = 21;
  static constexpr int kVisitWebSite = 22;

  explicit IKSOptionMenu(Quarvi* plug);
  void OnMouseDown(int x, int y, const MouseMods& mods) override;
  bool Draw(IGraphics*) override { return true; }

 private:
  Quarvi* mQuarvi;
};
