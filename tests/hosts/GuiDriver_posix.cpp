#include "GuiDriver_posix.h"

#define KeyCode XlibKeyCode
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#undef KeyCode

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "WindowLogic.h"
#include "lice/lice.h"

namespace gui {

namespace {

Display* gDpy = nullptr;
// Pause after each event, so that the editor sees separate events (several
// drag steps, not one coalesced move).
constexpr int kEventPauseMs = 15;
constexpr int kDoubleClickMs = 400;  // the desktop default (no settings manager here)

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int64_t gLastClickAt = -100000;
int gLastClickX = -100, gLastClickY = -100;

void Sync() {
  XSync(gDpy, False);
  SleepMs(kEventPauseMs);
}

void FakeKey(XlibKeyCode code, bool down) {
  XTestFakeKeyEvent(gDpy, code, down ? True : False, CurrentTime);
  Sync();
}

// A keycode that types the keysym, with whether Shift is needed; a spare
// keycode is given the keysym when no key has it.
XlibKeyCode KeyFor(KeySym keysym, bool* shift, bool* remapped) {
  *shift = false;
  *remapped = false;
  XlibKeyCode code = XKeysymToKeycode(gDpy, keysym);
  if (code) {
    int per = 0;
    KeySym* syms = XGetKeyboardMapping(gDpy, code, 1, &per);
    if (syms) {
      *shift = per > 1 && syms[0] != keysym && syms[1] == keysym;
      XFree(syms);
    }
    return code;
  }
  int minCode = 0, maxCode = 0, per = 0;
  XDisplayKeycodes(gDpy, &minCode, &maxCode);
  KeySym* map = XGetKeyboardMapping(gDpy, static_cast<XlibKeyCode>(minCode), maxCode - minCode + 1, &per);
  if (!map) return 0;
  for (int c = maxCode; c >= minCode; --c) {
    bool empty = true;
    for (int i = 0; i < per; ++i) empty = empty && map[(c - minCode) * per + i] == NoSymbol;
    if (!empty) continue;
    KeySym both[2] = {keysym, keysym};
    XChangeKeyboardMapping(gDpy, c, 2, both, 1);
    XSync(gDpy, False);
    SleepMs(50);  // every client hears of the new map first
    code = static_cast<XlibKeyCode>(c);
    *remapped = true;
    break;
  }
  XFree(map);
  return code;
}

void Unmap(XlibKeyCode code) {
  KeySym none[2] = {NoSymbol, NoSymbol};
  XChangeKeyboardMapping(gDpy, code, 2, none, 1);
  XSync(gDpy, False);
}

int OnError(Display*, XErrorEvent*) { return 0; }  // windows vanish while we look at them

}  // namespace

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool WaitFor(const std::function<bool()>& cond, int timeoutMs) {
  const int64_t end = NowMs() + timeoutMs;
  for (;;) {
    if (cond()) return true;
    if (NowMs() >= end) return cond();
    SleepMs(10);
  }
}

bool Begin() {
  gDpy = XOpenDisplay(nullptr);
  if (!gDpy) return false;
  XSetErrorHandler(OnError);
  int event = 0, error = 0, major = 0, minor = 0;
  return XTestQueryExtension(gDpy, &event, &error, &major, &minor);
}

void End() {
  if (gDpy) XCloseDisplay(gDpy);
  gDpy = nullptr;
}

Display* Dpy() { return gDpy; }
Window Root() { return DefaultRootWindow(gDpy); }

void MoveTo(int x, int y) {
  XTestFakeMotionEvent(gDpy, DefaultScreen(gDpy), x, y, CurrentTime);
  Sync();
}

void ButtonDown(int button) {
  XTestFakeButtonEvent(gDpy, static_cast<unsigned>(button), True, CurrentTime);
  Sync();
}

void ButtonUp(int button) {
  XTestFakeButtonEvent(gDpy, static_cast<unsigned>(button), False, CurrentTime);
  Sync();
}

void Click(int x, int y, int button) {
  const int64_t since = NowMs() - gLastClickAt;
  if (since <= kDoubleClickMs + 50 && std::abs(x - gLastClickX) <= 6 && std::abs(y - gLastClickY) <= 6) {
    SleepMs(static_cast<int>(kDoubleClickMs + 60 - since));
  }
  MoveTo(x, y);
  ButtonDown(button);
  ButtonUp(button);
  gLastClickAt = NowMs();
  gLastClickX = x;
  gLastClickY = y;
}

void DoubleClick(int x, int y) {
  MoveTo(x, y);
  for (int i = 0; i < 2; ++i) {
    ButtonDown(1);
    ButtonUp(1);
  }
  gLastClickAt = -100000;
}

void Drag(int x0, int y0, int x1, int y1, int steps, bool shift) {
  const XlibKeyCode shiftKey = XKeysymToKeycode(gDpy, XK_Shift_L);
  MoveTo(x0, y0);
  if (shift) FakeKey(shiftKey, true);
  ButtonDown(1);
  for (int i = 1; i <= steps; ++i) MoveTo(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps);
  ButtonUp(1);
  if (shift) FakeKey(shiftKey, false);
  gLastClickAt = -100000;
}

void Wheel(int x, int y, int button) {
  MoveTo(x, y);
  ButtonDown(button);
  ButtonUp(button);
}

void Key(KeySym keysym, bool shift) {
  bool needShift = false, remapped = false;
  const XlibKeyCode code = KeyFor(keysym, &needShift, &remapped);
  if (!code) return;
  const XlibKeyCode shiftKey = XKeysymToKeycode(gDpy, XK_Shift_L);
  if (shift || needShift) FakeKey(shiftKey, true);
  FakeKey(code, true);
  FakeKey(code, false);
  if (shift || needShift) FakeKey(shiftKey, false);
  if (remapped) Unmap(code);
}

void Type(const std::string& utf8) {
  for (size_t at = 0; at < utf8.size();) {
    const size_t n = windowlogic::Utf8CharBytes(utf8, at);
    unsigned cp = static_cast<unsigned char>(utf8[at]);
    if (n > 1) {
      const unsigned char* s = reinterpret_cast<const unsigned char*>(utf8.data() + at);
      cp = n == 2 ? ((s[0] & 0x1f) << 6) | (s[1] & 0x3f)
           : n == 3 ? ((s[0] & 0x0f) << 12) | ((s[1] & 0x3f) << 6) | (s[2] & 0x3f)
                    : ((s[0] & 0x07) << 18) | ((s[1] & 0x3f) << 12) | ((s[2] & 0x3f) << 6) | (s[3] & 0x3f);
    }
    at += n;
    // Latin-1 characters are their own keysyms, the rest 0x01000000 + code.
    Key(cp < 0x100 ? cp : 0x01000000u + cp);
  }
}

void Focus(Window w) {
  XSetInputFocus(gDpy, w, RevertToPointerRoot, CurrentTime);
  Sync();
}

Box ScreenBox(Window w) {
  Box b;
  XWindowAttributes a;
  if (!XGetWindowAttributes(gDpy, w, &a)) return b;
  Window child = 0;
  XTranslateCoordinates(gDpy, w, Root(), 0, 0, &b.x, &b.y, &child);
  b.w = a.width;
  b.h = a.height;
  return b;
}

Window ParentOf(Window w) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned n = 0;
  if (!XQueryTree(gDpy, w, &root, &parent, &children, &n)) return 0;
  if (children) XFree(children);
  return parent;
}

std::vector<Window> ChildrenOf(Window w) {
  std::vector<Window> out;
  Window root = 0, parent = 0, *children = nullptr;
  unsigned n = 0;
  if (!XQueryTree(gDpy, w, &root, &parent, &children, &n)) return out;
  out.assign(children, children + n);
  if (children) XFree(children);
  return out;
}

bool Viewable(Window w) {
  XWindowAttributes a;
  return XGetWindowAttributes(gDpy, w, &a) && a.map_state == IsViewable;
}

bool Exists(Window w) {
  XWindowAttributes a;
  XSync(gDpy, False);
  return XGetWindowAttributes(gDpy, w, &a) != 0;
}

std::string NameOf(Window w) {
  std::string name;
  Atom utf8 = XInternAtom(gDpy, "UTF8_STRING", False), netName = XInternAtom(gDpy, "_NET_WM_NAME", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(gDpy, w, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) == Success &&
      data && count) {
    name.assign(reinterpret_cast<char*>(data), count);
  } else {
    char* plain = nullptr;
    if (XFetchName(gDpy, w, &plain) && plain) {
      name = plain;
      XFree(plain);
    }
  }
  if (data) XFree(data);
  return name;
}

std::string ClassOf(Window w) {
  XClassHint hint{nullptr, nullptr};
  if (!XGetClassHint(gDpy, w, &hint)) return std::string();
  std::string name = hint.res_name ? hint.res_name : "";
  if (hint.res_name) XFree(hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  return name;
}

Window TransientFor(Window w) {
  Window t = 0;
  return XGetTransientForHint(gDpy, w, &t) ? t : 0;
}

std::vector<Window> TopLevels(const char* className, const char* title) {
  std::vector<Window> out;
  for (Window w : ChildrenOf(Root())) {
    if (!Viewable(w)) continue;
    if (className && ClassOf(w) != className) continue;
    if (title && NameOf(w) != title) continue;
    out.push_back(w);
  }
  return out;
}

Picture Capture(Window w) {
  Picture p;
  XWindowAttributes a;
  XSync(gDpy, False);
  if (!XGetWindowAttributes(gDpy, w, &a)) return p;
  XImage* image = XGetImage(gDpy, w, 0, 0, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height), AllPlanes,
                            ZPixmap);
  if (!image) return p;
  p.width = a.width;
  p.height = a.height;
  p.pixels.resize(static_cast<size_t>(p.width) * p.height);
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) p.pixels[static_cast<size_t>(y) * p.width + x] = XGetPixel(image, x, y) & 0xffffff;
  }
  XDestroyImage(image);
  return p;
}

Picture FromBitmap(LICE_IBitmap* bitmap, int w, int h) {
  Picture p;
  if (!bitmap || !bitmap->GetBits()) return p;
  p.width = std::min(w, bitmap->GetWidth());
  p.height = std::min(h, bitmap->GetHeight());
  p.pixels.resize(static_cast<size_t>(p.width) * p.height);
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      p.pixels[static_cast<size_t>(y) * p.width + x] = bitmap->GetBits()[static_cast<size_t>(y) * bitmap->GetRowSpan() + x] & 0xffffff;
    }
  }
  return p;
}

bool Same(const Picture& a, const Picture& b, std::string* why) {
  char buf[160];
  if (a.width != b.width || a.height != b.height || a.pixels.empty()) {
    std::snprintf(buf, sizeof(buf), "sizes %dx%d and %dx%d", a.width, a.height, b.width, b.height);
    if (why) *why = buf;
    return false;
  }
  size_t differ = 0, first = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    if (a.pixels[i] != b.pixels[i] && differ++ == 0) first = i;
  }
  if (differ == 0) {
    if (why) *why = "identical";
    return true;
  }
  std::snprintf(buf, sizeof(buf), "%zu pixels differ, first at (%d,%d): %06X and %06X", differ,
                static_cast<int>(first % a.width), static_cast<int>(first / a.width), a.pixels[first], b.pixels[first]);
  if (why) *why = buf;
  return false;
}

bool WritePicture(const Picture& picture, const std::string& path) {
  if (picture.pixels.empty()) return false;
  LICE_MemBitmap bitmap(picture.width, picture.height);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      bitmap.GetBits()[static_cast<size_t>(y) * bitmap.GetRowSpan() + x] = picture.At(x, y) | 0xff000000u;
    }
  }
  return LICE_WritePNG(&bitmap, path.c_str(), false);
}

}  // namespace gui
