#include "GuiDriver_win32.h"

#include <cstdlib>

namespace gui {

namespace {

// Pause after each injected event, so that the window sees separate messages
// (several drag steps, not one coalesced move).
constexpr int kEventPauseMs = 15;

DWORD gLastClickTick = 0;
Point gLastClick = {-100, -100};

std::wstring Widen(const std::string& s) {
  if (s.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
  return w;
}

std::string Narrow(const wchar_t* w) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w, -1, &s[0], n, nullptr, nullptr);
  s.resize(static_cast<size_t>(n - 1));
  return s;
}

// With shift, a Shift press goes in the same SendInput call, right before
// the mouse event: wine re-reads the modifiers from X on every pointer move,
// which drops an injected Shift, so it has to be pressed again each time and
// as close to the mouse event as possible.
void SendMouse(Point p, DWORD flags, DWORD data = 0, bool shift = false) {
  // Absolute coordinates span 0..65535 over the screen; wine maps them back
  // with (v * width) >> 16, so rounding up lands exactly on the pixel.
  const LONG w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  INPUT in[2] = {};
  in[0].type = INPUT_KEYBOARD;
  in[0].ki.wVk = VK_SHIFT;
  INPUT& m = in[1];
  m.type = INPUT_MOUSE;
  m.mi.dx = static_cast<LONG>((static_cast<int64_t>(p.x) * 65536 + w - 1) / w);
  m.mi.dy = static_cast<LONG>((static_cast<int64_t>(p.y) * 65536 + h - 1) / h);
  m.mi.mouseData = data;
  m.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  if (shift) SendInput(2, in, sizeof(INPUT));
  else SendInput(1, &m, sizeof(INPUT));
  SleepMs(kEventPauseMs);
}

void SendKey(WORD vk, WORD scan, DWORD flags) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = scan;
  in.ki.dwFlags = flags;
  SendInput(1, &in, sizeof(in));
  SleepMs(kEventPauseMs);
}

void LeftPress(Point p) {
  SendMouse(p, MOUSEEVENTF_LEFTDOWN);
  SendMouse(p, MOUSEEVENTF_LEFTUP);
}

// A press at p close in time and place to the previous one would arrive as a
// double-click: wait the double-click time out first.
void WaitOutDoubleClick(Point p) {
  const int wait = static_cast<int>(GetDoubleClickTime()) + 50 - static_cast<int>(GetTickCount() - gLastClickTick);
  if (std::abs(p.x - gLastClick.x) <= 4 && std::abs(p.y - gLastClick.y) <= 4 && wait > 0) SleepMs(wait);
}

DWORD ThisProcess() { return GetCurrentProcessId(); }

}  // namespace

// ---- input ---------------------------------------------------------------------------

void MoveTo(Point p) { SendMouse(p, 0); }

void Click(Point p) {
  WaitOutDoubleClick(p);
  MoveTo(p);
  LeftPress(p);
  gLastClickTick = GetTickCount();
  gLastClick = p;
}

void DoubleClick(Point p) {
  Click(p);
  LeftPress(p);
  gLastClickTick = GetTickCount();
}

void Drag(Point from, Point to, int steps, bool shift) {
  WaitOutDoubleClick(from);
  SendMouse(from, 0, 0, shift);
  SendMouse(from, MOUSEEVENTF_LEFTDOWN, 0, shift);
  gLastClickTick = GetTickCount();
  gLastClick = from;
  for (int i = 1; i <= steps; ++i) {
    const Point p = {from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps};
    SendMouse(p, 0, 0, shift);
  }
  SendMouse(to, MOUSEEVENTF_LEFTUP, 0, shift);
  if (shift) SendKey(VK_SHIFT, 0, KEYEVENTF_KEYUP);
}

void Wheel(Point p, int notches) {
  MoveTo(p);
  SendMouse(p, MOUSEEVENTF_WHEEL, static_cast<DWORD>(notches * WHEEL_DELTA));
}

std::string WheelIgnored(Point p) {
  MoveTo(p);
  SendMouse(p, MOUSEEVENTF_WHEEL, WHEEL_DELTA / 2);
  return "a wheel turn of 60 units (half a notch)";
}

void VirtualKey(WORD vk) {
  SendKey(vk, 0, 0);
  SendKey(vk, 0, KEYEVENTF_KEYUP);
}

void Press(Key key) {
  static const WORD vk[] = {VK_RETURN, VK_ESCAPE, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN,
                            VK_HOME,   VK_END,    VK_DELETE, VK_BACK, VK_F1, 'Q'};
  VirtualKey(vk[static_cast<int>(key)]);
}

void Type(const std::string& utf8) {
  for (wchar_t c : Widen(utf8)) {
    SendKey(0, static_cast<WORD>(c), KEYEVENTF_UNICODE);
    SendKey(0, static_cast<WORD>(c), KEYEVENTF_UNICODE | KEYEVENTF_KEYUP);
  }
}

void AimKeys(Point p) { Click(p); }  // the window clicked takes the keyboard

Point CursorPos() {
  POINT p = {};
  GetCursorPos(&p);
  return Point{p.x, p.y};
}

// ---- windows ----------------------------------------------------------------------------

Box ClientBox(Win w) {
  RECT r = {};
  POINT origin = {0, 0};
  GetClientRect(H(w), &r);
  ClientToScreen(H(w), &origin);
  return Box{origin.x, origin.y, r.right, r.bottom};
}

Box WindowBox(Win w) {
  RECT r = {};
  GetWindowRect(H(w), &r);
  return Box{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

bool Exists(Win w) { return IsWindow(H(w)) != 0; }
bool Visible(Win w) { return IsWindowVisible(H(w)) != 0; }

Box Screen() { return Box{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

std::string ClassOf(HWND wnd) {
  wchar_t buf[256] = {0};
  GetClassNameW(wnd, buf, 256);
  return Narrow(buf);
}

std::string TextOf(HWND wnd) {
  wchar_t buf[1024] = {0};
  // WM_GETTEXT rather than GetWindowText: it reads other threads' controls too.
  SendMessageW(wnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf));
  return Narrow(buf);
}

namespace {
struct WindowSearch {
  std::string cls;
  std::vector<HWND> found;
};
BOOL CALLBACK CollectTopLevel(HWND wnd, LPARAM lp) {
  auto* s = reinterpret_cast<WindowSearch*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  if (pid == ThisProcess() && IsWindowVisible(wnd) && ClassOf(wnd) == s->cls) s->found.push_back(wnd);
  return TRUE;
}
BOOL CALLBACK CollectStaticText(HWND child, LPARAM lp) {
  auto* t = reinterpret_cast<std::string*>(lp);
  if (ClassOf(child) == "Static") {
    const std::string s = TextOf(child);
    if (!s.empty()) *t += (t->empty() ? "" : "\n") + s;
  }
  return TRUE;
}
}  // namespace

std::vector<HWND> TopLevelWindows(const char* className) {
  WindowSearch s{className, {}};
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

HWND FindTopLevel(const char* className, const char* title) {
  for (HWND w : TopLevelWindows(className)) {
    if (!title || TextOf(w) == title) return w;
  }
  return nullptr;
}

std::string DialogMessage(HWND dialog) {
  std::string text;
  EnumChildWindows(dialog, CollectStaticText, reinterpret_cast<LPARAM>(&text));
  return text;
}

// ---- menus --------------------------------------------------------------------------------

HMENU MenuOfWindow(HWND menuWnd) {
  constexpr UINT kGetMenu = 0x01E1;  // MN_GETHMENU
  return reinterpret_cast<HMENU>(SendMessageW(menuWnd, kGetMenu, 0, 0));
}

std::vector<MenuItem> ReadMenu(HMENU menu) {
  std::vector<MenuItem> items;
  const int n = GetMenuItemCount(menu);
  for (int i = 0; i < n; ++i) {
    MenuItem item;
    wchar_t buf[512] = {0};
    GetMenuStringW(menu, static_cast<UINT>(i), buf, 512, MF_BYPOSITION);
    item.text = Narrow(buf);
    const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
    item.submenu = GetSubMenu(menu, i) != nullptr;
    item.separator = (state & MF_SEPARATOR) != 0;
    item.checked = (state & MF_CHECKED) != 0;
    item.grayed = (state & MF_GRAYED) != 0;
    item.disabled = (state & MF_DISABLED) != 0;
    item.highlighted = (state & MF_HILITE) != 0;
    items.push_back(item);
  }
  return items;
}

bool HighlightMenuItem(HWND menuWnd, int index) {
  HMENU menu = MenuOfWindow(menuWnd);
  const int n = GetMenuItemCount(menu);
  if (index < 0 || index >= n) return false;
  for (int tries = 0; tries <= n; ++tries) {
    const std::vector<MenuItem> items = ReadMenu(menu);
    int at = -1;
    for (int i = 0; i < n; ++i) {
      if (items[i].highlighted) at = i;
    }
    if (at == index) return true;
    // With nothing highlighted, Down starts at the first item and Up at the last.
    const int down = at < 0 ? index + 1 : (index - at + n) % n;
    const int up = at < 0 ? n - index : (at - index + n) % n;
    VirtualKey(down <= up ? VK_DOWN : VK_UP);
    SleepMs(30);
  }
  return false;
}

// ---- pixels --------------------------------------------------------------------------------

namespace {
// The pixels of a device context's area, through a top-down 32-bit DIB.
Picture CopyPixels(HDC source, int x, int y, int w, int h) {
  Picture pic;
  pic.width = w;
  pic.height = h;
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  HDC mem = CreateCompatibleDC(source);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib && bits) {
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, w, h, source, x, y, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    pic.pixels.assign(p, p + static_cast<size_t>(w) * h);
    for (uint32_t& px : pic.pixels) px &= 0xFFFFFF;
    SelectObject(mem, old);
  }
  if (dib) DeleteObject(dib);
  DeleteDC(mem);
  return pic;
}
}  // namespace

Picture Capture(HWND wnd) {
  RECT r;
  if (!GetClientRect(wnd, &r)) return Picture();
  HDC dc = GetDC(wnd);
  Picture pic = CopyPixels(dc, 0, 0, r.right, r.bottom);
  ReleaseDC(wnd, dc);
  return pic;
}

Picture CaptureScreen(const Box& b) {
  HDC dc = GetDC(nullptr);
  Picture pic = CopyPixels(dc, b.x, b.y, b.w, b.h);
  ReleaseDC(nullptr, dc);
  return pic;
}

}  // namespace gui
