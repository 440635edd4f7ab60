#pragma once
#include <atomic>
#include <cmath>
#include <mutex>
#include <string>
#include <vector>

#include "IGraphics.h"

// The base of every element of the editor: a rectangle that may be bound to
// one parameter, holds that parameter's normalized value, draws itself into
// the back buffer and reacts to the mouse and keys the core routes to it.
//
// Values are normalized to [0, 1]. The value, the default and the dirty
// marks are atomics: the plug-in pushes values from whichever thread changes
// a parameter (host automation, program loads, mapped controllers) while the
// user-interface thread draws. Relaxed order is enough: a value and its mark
// are re-read on every tick, and a mark set again after a draw only causes
// one more draw.
class IControl {
 public:
  struct AuxParam {
    std::atomic<double> value;
    int paramIdx;
    AuxParam(double v, int idx) : value(v), paramIdx(idx) {}
    AuxParam(const AuxParam& o) : value(o.value.load(std::memory_order_relaxed)), paramIdx(o.paramIdx) {}
  };

  IControl(IPlugBase* plug, const Rect& rect, int paramIdx = -1,
           const ChannelBlend& blend = ChannelBlend());

  // ---- virtual operations, in slot order ------------------------------------
  virtual ~IControl();                                                           // 1
  virtual void OnMouseDown(int x, int y, const MouseMods& mods);                 // 2
  virtual void OnMouseUp(int, int, const MouseMods&) {}                          // 3
  virtual void OnMouseDrag(int, int, int, int, const MouseMods&) {}              // 4
  virtual void OnMouseDoubleClick(int x, int y, const MouseMods& mods);          // 5
  virtual void OnMouseWheel(int, int, const MouseMods&, int) {}                  // 6
  virtual bool OnKeyDown(int, int, int) { return false; }                        // 7
  virtual void OnMouseOver(int, int, const MouseMods&) {}                        // 8
  virtual void OnMouseOut() {}                                                   // 9
  virtual bool Draw(IGraphics* graphics) = 0;                                    // 10
  virtual void SetValueFromPlugin(double value);                                 // 11
  virtual void SetValueFromUser(double value);                                   // 12
  virtual void OnTextEntered(const char*) {}                                     // 13
  virtual void Hide(bool hide);                                                  // 14
  virtual void SetGrayed(bool grayed);                                           // 15
  virtual bool ContainsPoint(int x, int y) const;                                // 16
  virtual void SetDirty(bool pushToPlug = true);                                 // 17
  virtual void SetClean();                                                       // 18
  virtual bool IsDirty() const { return mDirty.load(std::memory_order_relaxed); }  // 19
  virtual void ControlHook() {}                                                  // 20
  virtual void SetAuxValueFromPlugin(int auxIndex, double value);                // 21

  // ---- plain accessors -------------------------------------------------------
  int ParamIdx() const { return mParamIdx; }
  const Rect& GetRect() const { return mRect; }
  const Rect& GetTargetRect() const { return mTargetRect; }
  void SetTargetRect(const Rect& r) { mTargetRect = r; }
  double GetValue() const { return mValue.load(std::memory_order_relaxed); }
  void SetValue(double v) { mValue.store(v, std::memory_order_relaxed); }
  double GetDefaultValue() const { return mDefaultValue.load(std::memory_order_relaxed); }
  void SetClamp(double lo, double hi) { mClampLo = lo; mClampHi = hi; }
  bool IsHidden() const { return mHidden.load(std::memory_order_relaxed); }
  bool IsGrayed() const { return mGrayed; }
  bool GetMOWhenGrayed() const { return mMOWhenGrayed; }
  bool DblAsSingleClick() const { return mDblAsSingleClick; }
  void RequestRedraw() { mRedraw.store(true, std::memory_order_relaxed); }
  bool RedrawRequested() const { return mRedraw.load(std::memory_order_relaxed); }
  const ChannelBlend& Blend() const { return mBlend; }
  TextStyle& Style() { return mText; }
  int TextEntryLength() const { return mTextEntryLength; }
  void SetTextEntryLength(int n) { mTextEntryLength = n; }
  int NAuxParams() const { return static_cast<int>(mAuxParams.size()); }
  AuxParam* GetAuxParam(int i) { return i >= 0 && i < NAuxParams() ? &mAuxParams[i] : nullptr; }
  void AddAuxParam(int paramIdx) { mAuxParams.emplace_back(0.0, paramIdx); }
  IPlugBase* Plug() const { return mPlug; }
  // The editor the plug-in has attached (menus, text entry, bitmap loads
  // happen there), or null.
  IGraphics* GUI() const;

  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

 protected:
  int mTextEntryLength = 7;
  TextStyle mText;
  IPlugBase* mPlug;
  Rect mRect, mTargetRect;
  int mParamIdx;
  std::vector<AuxParam> mAuxParams;
  std::atomic<double> mValue{0.0};
  std::atomic<double> mDefaultValue{-1.0};
  double mClampLo = 0.0, mClampHi = 1.0;
  std::atomic<bool> mDirty{true};
  std::atomic<bool> mHidden{false};
  bool mGrayed = false;
  std::atomic<bool> mRedraw{false};
  bool mDisablePrompt = true;
  bool mDblAsSingleClick = false;
  bool mMOWhenGrayed = false;
  ChannelBlend mBlend;
};

// The 1-based frame of a strip that shows value v: 0 the first, 1 the last
// (values outside 0..1, NaN included, show the nearer end).
int StripFrameFor(const BitmapStrip& strip, double v);

// The rect of one frame of a strip placed at (x, y).
Rect StripRect(int x, int y, const BitmapStrip& strip);

// Shows one frame of a strip by value: value 0 the first frame, 1 the last.
class IBitmapControl : public IControl {
 public:
  IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx, const BitmapStrip& strip,
                 int blendMethod = ChannelBlend::kNone);
  ~IBitmapControl() override;
  bool Draw(IGraphics* graphics) override;
  const BitmapStrip& Strip() const { return mBitmap; }

 protected:
  int FrameFor(double v) const { return StripFrameFor(mBitmap, v); }
  BitmapStrip mBitmap;
};

// Each click steps to the next frame and wraps to the first after the last:
// a three-frame switch goes 0, 0.5, 1, 0 ... A double-click is two clicks.
class ISwitchControl : public IBitmapControl {
 public:
  using IBitmapControl::IBitmapControl;
  void OnMouseDown(int x, int y, const MouseMods& mods) override;
  void OnMouseDoubleClick(int x, int y, const MouseMods& mods) override;

 protected:
  // Advances the value by one frame, wrapping to 0; pushes it.
  void StepValue();
};

// A switch that springs back to its first frame when the button is released.
class IContactControl : public ISwitchControl {
 public:
  using ISwitchControl::ISwitchControl;
  void OnMouseUp(int x, int y, const MouseMods& mods) override;
};

// A control dragged like a knob: gearing control heights (or widths) of
// vertical (horizontal) movement sweep the whole range; Shift or Control
// makes it ten times finer. Upward and rightward drags raise the value.
class IKnobControl : public IControl {
 public:
  enum Direction { kVertical = 0, kHorizontal = 1 };
  static constexpr double kDefaultGearing = 4.0;

  IKnobControl(IPlugBase* plug, const Rect& rect, int paramIdx, int direction = kVertical,
               double gearing = kDefaultGearing);
  void OnMouseDrag(int x, int y, int dX, int dY, const MouseMods& mods) override;

 protected:
  int mDirection;
  double mGearing;
};

// A knob drawn from a filmstrip, one frame per position; the wheel moves it
// by 1/100 of the range a notch (1/1000 with Shift or Control).
class IKnobMultiControl : public IKnobControl {
 public:
  IKnobMultiControl(IPlugBase* plug, int x, int y, int paramIdx, const BitmapStrip& strip,
                    int direction = kVertical, double gearing = kDefaultGearing);
  ~IKnobMultiControl() override;
  bool Draw(IGraphics* graphics) override;
  void OnMouseWheel(int x, int y, const MouseMods& mods, int d) override;
  const BitmapStrip& Strip() const { return mBitmap; }

 protected:
  BitmapStrip mBitmap;
};

// A line of text. The plug-in may change it from any thread, so the text is
// guarded by its own small lock.
class ITextControl : public IControl {
 public:
  ITextControl(IPlugBase* plug, const Rect& rect, const TextStyle& style, const char* text);
  ~ITextControl() override;
  bool Draw(IGraphics* graphics) override;
  void SetTextFromPlugin(const char* text);
  std::string Text() const;

 private:
  mutable std::mutex mTextLock;
  std::string mStr;
};

// Whether Shift or Control asks for fine adjustment.
inline bool FineAdjust(const MouseMods& mods) { return mods.S || mods.C; }
