#include "GuiDriver_posix.h"

#define KeyCode XlibKeyCode
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#undef KeyCode

#include <algorithm>
#include <chrono>
#include <cstdlib>

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
Point gLastClick = {-100, -100};

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

void MoveTo(Point p) {
  XTestFakeMotionEvent(gDpy, DefaultScreen(gDpy), p.x, p.y, CurrentTime);
  Sync();
}

namespace {
void Button(int button, bool down) {
  XTestFakeButtonEvent(gDpy, static_cast<unsigned>(button), down ? True : False, CurrentTime);
  Sync();
}
}  // namespace

void Click(Point p) {
  const int64_t since = NowMs() - gLastClickAt;
  if (since <= kDoubleClickMs + 50 && std::abs(p.x - gLastClick.x) <= 6 && std::abs(p.y - gLastClick.y) <= 6) {
    SleepMs(static_cast<int>(kDoubleClickMs + 60 - since));
  }
  MoveTo(p);
  Button(1, true);
  Button(1, false);
  gLastClickAt = NowMs();
  gLastClick = p;
}

void DoubleClick(Point p) {
  MoveTo(p);
  for (int i = 0; i < 2; ++i) {
    Button(1, true);
    Button(1, false);
  }
  gLastClickAt = -100000;
}

void Drag(Point from, Point to, int steps, bool shift) {
  const XlibKeyCode shiftKey = XKeysymToKeycode(gDpy, XK_Shift_L);
  MoveTo(from);
  if (shift) FakeKey(shiftKey, true);
  Button(1, true);
  for (int i = 1; i <= steps; ++i) MoveTo({from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
  Button(1, false);
  if (shift) FakeKey(shiftKey, false);
  gLastClickAt = -100000;
}

void WheelButton(Point p, int button) {
  MoveTo(p);
  Button(button, true);
  Button(button, false);
}

void Wheel(Point p, int notches) {
  for (int i = 0; i < std::abs(notches); ++i) WheelButton(p, notches > 0 ? 4 : 5);
}

std::string WheelIgnored(Point p) {
  WheelButton(p, 6);
  WheelButton(p, 7);
  return "the sideways wheel buttons 6 and 7";
}

void KeySymbol(KeySym keysym, bool shift) {
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

void Press(Key key) {
  static const KeySym keysyms[] = {XK_Return, XK_Escape, XK_Left,   XK_Right,     XK_Up, XK_Down,
                                   XK_Home,   XK_End,    XK_Delete, XK_BackSpace, XK_F1, XK_q};
  KeySymbol(keysyms[static_cast<int>(key)]);
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
    KeySymbol(cp < 0x100 ? cp : 0x01000000u + cp);
  }
}

void Focus(Window w) {
  XSetInputFocus(gDpy, w, RevertToPointerRoot, CurrentTime);
  Sync();
}

void AimKeys(Point p) { MoveTo(p); }  // no window manager: keys go to the window under the pointer

Point CursorPos() {
  Window root = 0, child = 0;
  int x = 0, y = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  XQueryPointer(gDpy, Root(), &root, &child, &x, &y, &wx, &wy, &mask);
  return Point{x, y};
}

Box ClientBox(Win w) {
  Box b;
  XWindowAttributes a;
  if (!XGetWindowAttributes(gDpy, w, &a)) return b;
  Window child = 0;
  XTranslateCoordinates(gDpy, w, Root(), 0, 0, &b.x, &b.y, &child);
  b.w = a.width;
  b.h = a.height;
  return b;
}

Box WindowBox(Win w) { return ClientBox(w); }  // no window manager, no frames

Box Screen() {
  return Box{0, 0, DisplayWidth(gDpy, DefaultScreen(gDpy)), DisplayHeight(gDpy, DefaultScreen(gDpy))};
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
bool Visible(Win w) { return Viewable(w); }

bool Exists(Win w) {
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

}  // namespace gui
