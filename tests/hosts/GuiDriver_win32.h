#pragma once
// The user's hands and eyes for the GUI rig: real input through SendInput
// (mouse moves, clicks, drags, wheel, keys, typed text), finding and reading
// the windows a user would look at (popup menus, message boxes, dialogs), and
// reading back the pixels a window shows. Everything here may be called from
// the script thread while the user-interface thread sits in a modal loop.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gui {

// ---- waiting --------------------------------------------------------------------
void SleepMs(int ms);
// Polls cond every 10 ms until it holds or timeoutMs passed; returns its last result.
bool WaitFor(const std::function<bool()>& cond, int timeoutMs = 3000);

// ---- input (screen coordinates) -------------------------------------------------
void MoveTo(POINT p);
void ButtonDown(POINT p, bool right = false);
void ButtonUp(POINT p, bool right = false);
// A click at p. A click that would follow the previous one at the same spot
// within the double-click time waits that time out first, so that it stays a
// single click.
void Click(POINT p, bool right = false);
void DoubleClick(POINT p);
// Left-button drag in steps; with shift the Shift key is pressed again before
// every mouse event (wine re-reads the modifiers from X on each pointer move).
// Like Click, it waits out the double-click time when its press would follow
// the previous one at the same spot.
void Drag(POINT from, POINT to, int steps, bool shift);
void Wheel(POINT p, int delta);
void KeyDown(WORD vk);
void KeyUp(WORD vk);
void Key(WORD vk);
// Types UTF-8 text as Unicode characters.
void Type(const std::string& utf8);

// A point of a window's client area on the screen.
POINT OnScreen(HWND wnd, int x, int y);
POINT CenterOf(HWND wnd);

// ---- windows ----------------------------------------------------------------------
std::string ClassOf(HWND wnd);
std::string TextOf(HWND wnd);
// Visible top-level windows of this process with the given class, newest
// (top of the z-order) first.
std::vector<HWND> TopLevelWindows(const char* className);
// The first visible top-level window of the class (and title, when given).
HWND FindTopLevel(const char* className, const char* title = nullptr);
// Texts of the static controls of a dialog that hold text (a message box's message).
std::string DialogMessage(HWND dialog);

// ---- popup menus ----------------------------------------------------------------
struct MenuItem {
  std::string text;
  bool checked = false, grayed = false, disabled = false, separator = false, submenu = false,
       highlighted = false;
};
HMENU MenuOfWindow(HWND menuWnd);  // MN_GETHMENU
std::vector<MenuItem> ReadMenu(HMENU menu);
// Moves the highlight of the open menu shown by menuWnd to item index with
// the arrow keys (down or up, whichever is shorter); false when it cannot get
// there.
bool HighlightMenuItem(HWND menuWnd, int index);

// ---- pixels -------------------------------------------------------------------------
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first
  uint32_t At(int x, int y) const {
    return x >= 0 && y >= 0 && x < width && y < height ? pixels[static_cast<size_t>(y) * width + x] : 0;
  }
  // The part from (l, t) to (r, b), exclusive (outside pixels read as 0).
  Picture Crop(int l, int t, int r, int b) const;
  bool operator==(const Picture& o) const {
    return width == o.width && height == o.height && pixels == o.pixels;
  }
  bool operator!=(const Picture& o) const { return !(*this == o); }
};
// What the window's client area shows now (call on the window's thread).
Picture Capture(HWND wnd);
// What the screen shows in r: menus and dialogs are windows of their own.
Picture CaptureScreen(RECT r);
// Writes it as a PNG (UTF-8 path).
bool WritePicture(const Picture& picture, const std::string& path);
std::string Hex(uint32_t rgb);

}  // namespace gui
