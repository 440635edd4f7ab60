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

namespace {
Rect StripRect(int x, int y, const BitmapStrip& s) {
  return Rect(x, y, x + s.FrameWidth(), y + s.FrameHeight());
}
}  // namespace

IBitmapControl::IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx,
                               const BitmapStrip& strip, int blendMethod)
    : IControl(plug, StripRect(x, y, strip), paramIdx, ChannelBlend(blendMethod)), mBitmap(strip) {}

IBitmapControl::~IBitmapControl() = default;

int IBitmapControl::FrameFor(double v) const {
  const int n = mBitmap.N;
  if (n < 2) return 1;
  if (!(v > 0.0)) v = 0.0;  // also a NaN
  if (v > 1.0) v = 1.0;
  int frame = static_cast<int>((n - 1) * v + 0.5) + 1;
  return frame < 1 ? 1 : (frame > n ? n : frame);
}

bool IBitmapControl::Draw(IGraphics* graphics) {
  return graphics->DrawBitmapFrame(mBitmap, mRect, FrameFor(GetValue()), &mBlend);
}
