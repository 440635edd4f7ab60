#pragma once
#include <atomic>
#include <cmath>
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

// Shows one frame of a strip by value: value 0 the first frame, 1 the last.
class IBitmapControl : public IControl {
 public:
  IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx, const BitmapStrip& strip,
                 int blendMethod = ChannelBlend::kNone);
  ~IBitmapControl() override;
  bool Draw(IGraphics* graphics) override;
  const BitmapStrip& Strip() const { return mBitmap; }

 protected:
  // The 1-based frame that shows value v.
  int FrameFor(double v) const;
  BitmapStrip mBitmap;
};
