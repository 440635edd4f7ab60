#include "IControl.h"

#include "IPlugBase.h"

IControl::IControl(IPlugBase* plug, const Rect& rect, int paramIdx, const ChannelBlend& blend)
    : mPlug(plug), mRect(rect), mTargetRect(rect), mParamIdx(paramIdx), mBlend(blend) {}

IControl::~IControl() = default;

// A right click would offer a value prompt, but every control of this
// editor has prompts disabled, so the base does nothing.
void IControl::OnMouseDown(int, int, const MouseMods&) {}

void IControl::OnMouseDoubleClick(int, int, const MouseMods&) {
  const double d = GetDefaultValue();
  if (d >= 0.0) {
    SetValue(d);
    SetDirty(true);
  }
}

void IControl::SetValueFromPlugin(double value) {
  if (GetDefaultValue() < 0.0) {
    // The first value the plug-in gives is the one a double-click returns to.
    mDefaultValue.store(value, std::memory_order_relaxed);
    SetValue(value);
  }
  const double cur = GetValue();
  if (value != cur || std::isnan(value) || std::isnan(cur)) {
    SetValue(value);
    SetDirty(false);
    RequestRedraw();
  }
}

void IControl::SetValueFromUser(double value) {
  if (value != GetValue()) {
    SetValue(value);
    SetDirty(true);
    RequestRedraw();
  }
}

void IControl::Hide(bool hide) {
  mHidden.store(hide, std::memory_order_relaxed);
  RequestRedraw();
  SetDirty(false);
}

void IControl::SetGrayed(bool grayed) {
  mGrayed = grayed;
  mBlend.weight = grayed ? 0.25f : 1.0f;
  SetDirty(false);
}

bool IControl::ContainsPoint(int x, int y) const {
  return !mTargetRect.Empty() && mTargetRect.Contains(x, y);
}

void IControl::SetDirty(bool pushToPlug) {
  double v = GetValue();
  // Written so that a NaN ends at the upper bound rather than staying NaN.
  v = v < mClampLo ? mClampLo : (v < mClampHi ? v : mClampHi);
  SetValue(v);
  mDirty.store(true, std::memory_order_relaxed);
  if (pushToPlug && mPlug && mParamIdx >= 0) mPlug->SetParameterFromEditor(mParamIdx, v);
}

void IControl::SetClean() {
  mDirty.store(mRedraw.load(std::memory_order_relaxed), std::memory_order_relaxed);
  mRedraw.store(false, std::memory_order_relaxed);
}

IGraphics* IControl::GUI() const { return mPlug ? mPlug->GetGUI() : nullptr; }

void IControl::SetAuxValueFromPlugin(int auxIndex, double value) {
  AuxParam* aux = GetAuxParam(auxIndex);
  if (!aux) return;
  if (aux->value.load(std::memory_order_relaxed) != value) {
    aux->value.store(value, std::memory_order_relaxed);
    SetDirty(false);
    RequestRedraw();
  }
}

// ---- IBitmapControl --------------------------------------------------------------

Rect StripRect(int x, int y, const BitmapStrip& s) {
  return Rect(x, y, x + s.FrameWidth(), y + s.FrameHeight());
}

int StripFrameFor(const BitmapStrip& strip, double v) {
  const int n = strip.N;
  if (n < 2) return 1;
  if (!(v > 0.0)) v = 0.0;  // also a NaN
  if (v > 1.0) v = 1.0;
  const int frame = static_cast<int>((n - 1) * v + 0.5) + 1;
  return frame < 1 ? 1 : (frame > n ? n : frame);
}

IBitmapControl::IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx,
                               const BitmapStrip& strip, int blendMethod)
    : IControl(plug, StripRect(x, y, strip), paramIdx, ChannelBlend(blendMethod)), mBitmap(strip) {}

IBitmapControl::~IBitmapControl() = default;

bool IBitmapControl::Draw(IGraphics* graphics) {
  return graphics->DrawBitmapFrame(mBitmap, mRect, FrameFor(GetValue()), &mBlend);
}

// ---- ISwitchControl, IContactControl ------------------------------------------------

void ISwitchControl::StepValue() {
  const double step = mBitmap.N < 2 ? 1.0 : 1.0 / (mBitmap.N - 1);
  double v = GetValue() + step;
  // The tolerance keeps the last frame reachable despite rounding (0.5 + 0.5
  // of a three-frame switch is exactly 1, but 1/3 + 1/3 + 1/3 need not be).
  if (v > 1.001) v = 0.0;
  SetValue(v);
  SetDirty(true);
}

void ISwitchControl::OnMouseDown(int, int, const MouseMods&) { StepValue(); }

// The second press of a double-click arrives here instead of as a press:
// it steps once more, whatever the subclass does on a press.
void ISwitchControl::OnMouseDoubleClick(int x, int y, const MouseMods& mods) {
  OnMouseDown(x, y, mods);
}

void IContactControl::OnMouseUp(int, int, const MouseMods&) {
  SetValue(0.0);
  SetDirty(true);
}

// ---- IKnobControl, IKnobMultiControl --------------------------------------------------

IKnobControl::IKnobControl(IPlugBase* plug, const Rect& rect, int paramIdx, int direction,
                           double gearing)
    : IControl(plug, rect, paramIdx), mDirection(direction), mGearing(gearing) {}

void IKnobControl::OnMouseDrag(int, int, int dX, int dY, const MouseMods& mods) {
  const double g = FineAdjust(mods) ? mGearing * 10.0 : mGearing;
  double v = GetValue();
  if (mDirection == kVertical) {
    v += static_cast<double>(dY) / static_cast<double>(mRect.T - mRect.B) / g;
  } else {
    v += static_cast<double>(dX) / static_cast<double>(mRect.R - mRect.L) / g;
  }
  SetValue(v);
  SetDirty(true);  // clamps
}

IKnobMultiControl::IKnobMultiControl(IPlugBase* plug, int x, int y, int paramIdx,
                                     const BitmapStrip& strip, int direction, double gearing)
    : IKnobControl(plug, StripRect(x, y, strip), paramIdx, direction, gearing), mBitmap(strip) {}

IKnobMultiControl::~IKnobMultiControl() = default;

bool IKnobMultiControl::Draw(IGraphics* graphics) {
  return graphics->DrawBitmapFrame(mBitmap, mRect, StripFrameFor(mBitmap, GetValue()), &mBlend);
}

void IKnobMultiControl::OnMouseWheel(int, int, const MouseMods& mods, int d) {
  SetValue(GetValue() + d * (FineAdjust(mods) ? 0.001 : 0.01));
  SetDirty(true);
}

// ---- ITextControl -----------------------------------------------------------------------

ITextControl::ITextControl(IPlugBase* plug, const Rect& rect, const TextStyle& style,
                           const char* text)
    : IControl(plug, rect), mStr(text ? text : "") {
  mText = style;
}

ITextControl::~ITextControl() = default;

bool ITextControl::Draw(IGraphics* graphics) {
  // Held while drawing: a new text then waits for at most one draw, and the
  // draw needs no copy of the string.
  std::lock_guard<std::mutex> lock(mTextLock);
  if (!mStr.empty()) graphics->DrawTextInRect(&mText, mStr.c_str(), &mRect);
  return true;
}

void ITextControl::SetTextFromPlugin(const char* text) {
  {
    std::lock_guard<std::mutex> lock(mTextLock);
    const char* t = text ? text : "";
    if (mStr == t) return;
    mStr = t;
  }
  SetDirty(false);
  // A draw running now may have drawn the old text: draw once more.
  RequestRedraw();
}

std::string ITextControl::Text() const {
  std::lock_guard<std::mutex> lock(mTextLock);
  return mStr;
}
