#include "IGraphics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "IControl.h"
#include "IPlugBase.h"
#include "lice/lice_text.h"

// ---- value types --------------------------------------------------------------

Rect Rect::Union(const Rect& o) const {
  if (Empty()) return o;
  if (o.Empty()) return *this;
  return Rect(std::min(L, o.L), std::min(T, o.T), std::max(R, o.R), std::max(B, o.B));
}

Rect Rect::Intersect(const Rect& o) const {
  if (!Intersects(o)) return Rect();
  return Rect(std::max(L, o.L), std::max(T, o.T), std::min(R, o.R), std::min(B, o.B));
}

int ChannelBlend::LiceMode() const {
  switch (method) {
    case kClobber: return LICE_BLIT_MODE_COPY;
    case kAdd: return LICE_BLIT_MODE_ADD | LICE_BLIT_USE_ALPHA;
    case kColorDodge: return LICE_BLIT_MODE_DODGE | LICE_BLIT_USE_ALPHA;
    default: return LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA;
  }
}

TextStyle::TextStyle(const char* faceName, int sizePx, const Color& c, int styleFlags,
                     int alignment, int orientationDeg, int q)
    : size(sizePx), color(c), style(styleFlags), align(alignment), orientation(orientationDeg),
      quality(q) {
  std::snprintf(face, sizeof(face), "%s", faceName ? faceName : "");
}

// ---- popup menus ----------------------------------------------------------------

PopupMenuItem* PopupMenu::AddItem(const std::string& text, int flags) {
  mItems.emplace_back();
  mItems.back().text = text;
  mItems.back().flags = flags;
  return &mItems.back();
}

PopupMenuItem* PopupMenu::AddSubmenu(const std::string& text, std::unique_ptr<PopupMenu> submenu) {
  PopupMenuItem* item = AddItem(text);
  item->submenu = std::move(submenu);
  return item;
}

void PopupMenu::AddSeparator() { AddItem("", PopupMenuItem::kSeparator); }

void PopupMenu::CheckItemAlone(int index) {
  for (int i = 0; i < NItems(); ++i) SetItemFlag(i, PopupMenuItem::kChecked, i == index);
}

void PopupMenu::SetItemFlag(int index, int flag, bool on) {
  PopupMenuItem* item = GetItem(index);
  if (!item) return;
  item->flags = on ? (item->flags | flag) : (item->flags & ~flag);
}

std::string PopupMenu::DisplayText(int index) const {
  const PopupMenuItem* item = GetItem(index);
  if (!item) return std::string();
  static const char* const kFormats[] = {nullptr, "%1d: %s", "%02d: %s", "%03d: %s"};
  if (mPrefix < 1 || mPrefix > 3) return item->text;
  char buf[1100];
  std::snprintf(buf, sizeof(buf), kFormats[mPrefix], index + 1, item->text.c_str());
  return buf;
}

// ---- construction ------------------------------------------------------------------

IGraphics::IGraphics(IPlugBase* plug, int w, int h, int fps)
    : mPlug(plug), mWidth(w), mHeight(h), mFPS(fps) {}

IGraphics::~IGraphics() {
  // Controls go last to first, as they were stacked.
  while (!mControls.empty()) mControls.pop_back();
}

void IGraphics::PrepareDraw() {
  if (!mDrawBitmap) mDrawBitmap = std::make_unique<LICE_SysBitmap>(mWidth, mHeight);
  if (!mTmpBitmap) mTmpBitmap = std::make_unique<LICE_MemBitmap>();
}

void IGraphics::Resize(int w, int h) {
  mWidth = w;
  mHeight = h;
  mMouseCapture = -1;
  mMouseX = -1;
  while (!mControls.empty()) mControls.pop_back();
  mDrawBitmap.reset();
  mTmpBitmap.reset();
  PrepareDraw();
  if (mPlug) mPlug->ResizeEditor();
}

// ---- bitmaps and controls ------------------------------------------------------------

namespace {
bool EndsWithPng(const char* name) {
  if (!name) return false;
  const size_t n = std::strlen(name);
  if (n < 4) return false;
  const char* ext = name + n - 4;
  return ext[0] == '.' && (ext[1] == 'p' || ext[1] == 'P') && (ext[2] == 'n' || ext[2] == 'N') &&
         (ext[3] == 'g' || ext[3] == 'G');
}

struct LoadContext {
  IGraphics* graphics;
  const char* name;
};

LICE_IBitmap* LoadThroughGraphics(void* ctx, int id) {
  auto* c = static_cast<LoadContext*>(ctx);
  return c->graphics->LoadBitmapResource(id, c->name);
}
}  // namespace

LICE_IBitmap* IGraphics::LoadBitmapResource(int id, const char* name) {
  if (!EndsWithPng(name)) return nullptr;
  return LICE_LoadPNGFromResource(id);
}

BitmapStrip IGraphics::LoadBitmapStrip(int id, const char* name, int frames) {
  LoadContext ctx{this, name};
  BitmapStrip strip;
  strip.bitmap = EditorCaches::FindOrLoadBitmap(id, &LoadThroughGraphics, &ctx);
  if (strip.bitmap) {
    strip.W = strip.bitmap->GetWidth();
    strip.H = strip.bitmap->GetHeight();
  }
  strip.N = frames;
  strip.sideBySide = false;
  return strip;
}

void IGraphics::SetBackground(int id, const char* name) {
  BitmapStrip strip = LoadBitmapStrip(id, name, 1);
  auto bg = std::make_unique<IBitmapControl>(mPlug, 0, 0, -1, strip, ChannelBlend::kClobber);
  mControls.insert(mControls.begin(), std::move(bg));
}

IControl* IGraphics::AddControl(IControl* control) {
  mControls.emplace_back(control);
  return control;
}

void IGraphics::SetControlsFromParam(int paramIdx, double value, bool isNormalized) {
  if (!isNormalized) {
    const IPlugParam* p = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
    if (!p) return;
    value = p->ToNormalized(value);
  }
  for (auto& c : mControls) {
    if (c->ParamIdx() == paramIdx) c->SetValueFromPlugin(value);
    for (int a = 0; a < c->NAuxParams(); ++a) {
      if (c->GetAuxParam(a)->paramIdx == paramIdx) {
        c->SetAuxValueFromPlugin(a, value);
        break;
      }
    }
  }
}

void IGraphics::SetAllControlsDirty() {
  for (auto& c : mControls) c->SetDirty(false);
}

// ---- redraw ------------------------------------------------------------------------------

bool IGraphics::CollectDirty(Rect* out) {
  *out = Rect();
  bool dirty = false;
  for (auto& c : mControls) {
    if (c->IsDirty()) {
      *out = out->Union(c->GetRect());
      dirty = true;
    }
  }
  if (dirty) {
    mIdleTicks = 0;
    return true;
  }
  if (++mIdleTicks > kIdleTicks) {
    if (mPlug) mPlug->EditorIdle();
    mIdleTicks = 0;
  }
  return false;
}

bool IGraphics::DrawDirty(const Rect& rect) {
  if (mControls.empty()) return true;
  PrepareDraw();
  if (mStrict) {
    mDrawRect = rect;
    for (auto& c : mControls) {
      const Rect& r = c->GetRect();
      // A rect that only touches a control's left or top edge still draws
      // it: the comparisons are kept as the editor has always made them.
      const bool visible = !c->IsHidden() && !r.Empty();
      if (visible && !rect.Empty() && rect.R >= r.L && rect.L < r.R && rect.B >= r.T && rect.T < r.B) {
        c->Draw(this);
      } else if (visible && c->IsDirty()) {
        // Changed but outside this paint (a window uncovered before the
        // timer collected the change): it stays dirty for the next tick.
        // Cleaning it here would leave its old picture on screen.
        continue;
      }
      c->SetClean();
    }
  } else {
    IControl* bg = mControls[0].get();
    if (bg->IsDirty()) {
      mDrawRect = bg->GetRect();
      for (size_t i = 0; i < mControls.size(); ++i) {
        IControl* c = mControls[i].get();
        if (i == 0 || !c->IsHidden()) {
          c->Draw(this);
          c->SetClean();
        }
      }
    } else {
      for (size_t i = 1; i < mControls.size(); ++i) {
        IControl* dirty = mControls[i].get();
        if (!dirty->IsDirty()) continue;
        const Rect d = dirty->GetRect();
        mDrawRect = d;
        for (size_t j = 0; j < mControls.size(); ++j) {
          IControl* c = mControls[j].get();
          const Rect& r = c->GetRect();
          const bool overlaps = !r.Empty() && !(r.R < d.L) && !(r.L >= d.R) && !(r.B < d.T) &&
                                !(r.T >= d.B);
          if (j == i || (!c->IsHidden() && overlaps)) c->Draw(this);
        }
        dirty->SetClean();
      }
    }
  }
  return PresentRect(rect);
}

// ---- input ---------------------------------------------------------------------------------

int IGraphics::HitTest(int x, int y, bool forMouseOver) const {
  for (int i = NControls() - 1; i >= 0; --i) {
    const IControl* c = mControls[i].get();
    if (c->IsHidden()) continue;
    if (c->IsGrayed() && !(forMouseOver && c->GetMOWhenGrayed())) continue;
    if (c->ContainsPoint(x, y)) return i;
  }
  return -1;
}

void IGraphics::OnMouseDown(int x, int y, const MouseMods& mods) {
  ReleaseMouseCapture();
  const int i = HitTest(x, y);
  if (i < 0) return;
  mMouseCapture = i;
  mMouseX = x;
  mMouseY = y;
  IControl* c = mControls[i].get();
  if (c->ParamIdx() >= 0 && mPlug) mPlug->BeginParamEdit(c->ParamIdx());
  c->OnMouseDown(x, y, mods);
}

void IGraphics::OnMouseUp(int x, int y, const MouseMods& mods) {
  const int i = mMouseCapture >= 0 ? mMouseCapture : HitTest(x, y);
  mMouseCapture = -1;
  IControl* c = GetControl(i);
  if (!c) return;
  c->OnMouseUp(x, y, mods);
  if (c->ParamIdx() >= 0 && mPlug) mPlug->EndParamEdit(c->ParamIdx());
}

void IGraphics::OnMouseDrag(int x, int y, const MouseMods& mods) {
  IControl* c = GetControl(mMouseCapture);
  if (!c || (x == mMouseX && y == mMouseY)) return;
  const int dX = x - mMouseX, dY = y - mMouseY;
  mMouseX = x;
  mMouseY = y;
  c->OnMouseDrag(x, y, dX, dY, mods);
}

bool IGraphics::OnMouseDoubleClick(int x, int y, const MouseMods& mods) {
  ReleaseMouseCapture();
  const int i = HitTest(x, y);
  if (i < 0) return false;
  IControl* c = mControls[i].get();
  if (c->DblAsSingleClick()) {
    mMouseCapture = i;
    mMouseX = x;
    mMouseY = y;
    c->OnMouseDown(x, y, mods);
    return true;
  }
  c->OnMouseDoubleClick(x, y, mods);
  return false;
}

void IGraphics::OnMouseWheel(int x, int y, const MouseMods& mods, int d) {
  IControl* c = GetControl(mMouseCapture >= 0 ? mMouseCapture : HitTest(x, y));
  if (c) c->OnMouseWheel(x, y, mods, d);
}

bool IGraphics::OnMouseOver(int x, int y, const MouseMods& mods) {
  if (!mHandleMouseOver) return false;
  const int i = mMouseCapture >= 0 ? mMouseCapture : HitTest(x, y, true);
  mMouseX = x;
  mMouseY = y;
  if (IControl* c = GetControl(i)) c->OnMouseOver(x, y, mods);
  if (mMouseOver >= 0 && mMouseOver != i) {
    if (IControl* old = GetControl(mMouseOver)) old->OnMouseOut();
  }
  mMouseOver = i;
  return i >= 0;
}

void IGraphics::OnMouseOut() {
  for (auto& c : mControls) c->OnMouseOut();
  mMouseOver = -1;
}

bool IGraphics::OnKeyDown(int x, int y, int key) {
  const int i = mMouseCapture >= 0 ? mMouseCapture : HitTest(x, y);
  if (i <= 0) return mKeyCatcher ? mKeyCatcher->OnKeyDown(x, y, key) : false;
  return mControls[i]->OnKeyDown(x, y, key);
}

// ---- drawing ----------------------------------------------------------------------------------

bool IGraphics::DrawBitmapAt(const BitmapStrip& strip, const Rect& dest, int srcX, int srcY,
                             const ChannelBlend* blend) {
  const Rect r = dest.Intersect(mDrawRect);
  if (r.Empty() || !strip.bitmap || !mDrawBitmap) return false;
  LICE_Rect src;
  src.x = srcX + (r.L - dest.L);
  src.y = srcY + (r.T - dest.T);
  src.w = r.W();
  src.h = r.H();
  const float weight = blend ? blend->weight : 1.0f;
  const int mode = blend ? blend->LiceMode() : ChannelBlend().LiceMode();
  LICE_Blit(mDrawBitmap.get(), strip.bitmap, r.L, r.T, &src, weight, mode);
  return true;
}

bool IGraphics::DrawBitmapFrame(const BitmapStrip& strip, const Rect& dest, int frame,
                                const ChannelBlend* blend) {
  int srcX = 0, srcY = 0;
  if (strip.N >= 2 && frame >= 2) {
    if (strip.sideBySide) {
      srcX = static_cast<int>(static_cast<double>(strip.W) * (frame - 1) / strip.N + 0.5);
    } else {
      srcY = static_cast<int>(static_cast<double>(strip.H) * (frame - 1) / strip.N + 0.5);
    }
  }
  return DrawBitmapAt(strip, dest, srcX, srcY, blend);
}

bool IGraphics::DrawLine(const Color& color, int x1, int y1, int x2, int y2,
                         const ChannelBlend* blend) {
  if (!mDrawBitmap) return false;
  const float weight = blend ? blend->weight : 1.0f;
  const int mode = blend ? blend->LiceMode() : ChannelBlend().LiceMode();
  LICE_Line(mDrawBitmap.get(), x1, y1, x2, y2, color.Pixel(), weight, mode);
  return true;
}

bool IGraphics::MeasureText(TextStyle* style, const char* text, Rect* rect) {
  return DrawTextInRect(style, text, rect, true);
}

LICE_CachedFont* IGraphics::CachedFontFor(TextStyle* style) {
  if (!style) return nullptr;
  LICE_CachedFont* font = style->font;
  if (font) return font;
  font = EditorCaches::FindFont(style->size, style->orientation, style->style, style->face);
  if (!font) {
    LICE_FontDesc desc;
    desc.height = style->size;
    desc.orientationTenths = style->orientation * 10;
    desc.weight = style->style == TextStyle::kBold ? 700 : 400;
    desc.italic = style->style == TextStyle::kItalic;
    desc.quality = style->quality;
    std::snprintf(desc.face, sizeof(desc.face), "%s", style->face);
    LICE_SystemFont sys = LICE_CreateSystemFont(desc);
    if (!sys) return nullptr;  // the next draw tries again
    auto* made = new LICE_CachedFont();
    made->SetFromSystemFont(sys, LICE_FONT_FLAG_OWNS_HFONT | LICE_FONT_FLAG_FORCE_NATIVE);
    font = EditorCaches::AddFont(style->size, style->orientation, style->style, style->face, made);
  }
  style->font = font;
  return font;
}

bool IGraphics::DrawTextInRect(TextStyle* style, const char* text, Rect* rect, bool measure) {
  if (!text || !text[0] || !style || !rect) return true;
  LICE_CachedFont* font = CachedFontFor(style);
  if (!font) return false;
  std::lock_guard<std::mutex> textLock(EditorCaches::TextLock());
  font->SetTextColor(style->color.Pixel());
  unsigned flags = LICE_DT_NOCLIP;
  if (style->color.A != 255) flags |= LICE_DT_USEFGALPHA;
  if (style->align == TextStyle::kAlignCenter) flags |= LICE_DT_CENTER;
  else if (style->align == TextStyle::kAlignFar) flags |= LICE_DT_RIGHT;

  if (!measure) {
    if (!mDrawBitmap) return false;
    LICE_TextRect r;
    r.left = rect->L;
    r.top = rect->T;
    r.right = rect->R;
    r.bottom = rect->B;
    font->DrawTextUtf8(mDrawBitmap.get(), text, -1, &r, flags);
    return true;
  }
  LICE_TextRect r;
  font->DrawTextUtf8(mDrawBitmap.get(), text, -1, &r, flags | LICE_DT_CALCRECT);
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (style->align == TextStyle::kAlignCenter) {
    const int sum = rect->L + rect->R;
    const int mid = sum >= 0 ? sum / 2 : -((-sum + 1) / 2);  // floor of the half
    rect->L = mid - width / 2;
    rect->R = rect->L + width;
  } else if (style->align == TextStyle::kAlignFar) {
    rect->L = rect->R - width;
  } else {
    rect->R = rect->L + width;
  }
  rect->B = rect->T + height;
  return true;
}
