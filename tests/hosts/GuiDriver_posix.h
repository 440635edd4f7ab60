#pragma once
// The user's hands and eyes for the Linux GUI rig: real input through the
// XTest extension (pointer moves, clicks, drags, the wheel, keys, typed
// UTF-8 text), finding and reading the windows a user would look at, and
// reading back the pixels a window shows. It has an X connection of its own
// (the user's), used only by the thread that plays the user, so it works
// while the host's thread sits in a menu or a dialog.
#define KeyCode XlibKeyCode
#include <X11/Xlib.h>
#undef KeyCode

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class LICE_IBitmap;

namespace gui {

// ---- waiting --------------------------------------------------------------------
void SleepMs(int ms);
// Polls cond every 10 ms until it holds or timeoutMs passed; returns its last result.
bool WaitFor(const std::function<bool()>& cond, int timeoutMs = 3000);

// ---- the user's connection ------------------------------------------------------
bool Begin();  // false without a display or without XTest
void End();
Display* Dpy();
Window Root();

// ---- input (screen coordinates) -------------------------------------------------
void MoveTo(int x, int y);
void ButtonDown(int button = 1);
void ButtonUp(int button = 1);
// A click at (x, y). A click that would follow the previous one at the same
// spot within the double-click time waits that time out first, so that it
// stays a single click.
void Click(int x, int y, int button = 1);
void DoubleClick(int x, int y);
// Left-button drag in steps, with Shift held when asked.
void Drag(int x0, int y0, int x1, int y1, int steps, bool shift);
// A wheel click: button 4 (away), 5 (toward), 6 and 7 (sideways).
void Wheel(int x, int y, int button);
void Key(KeySym keysym, bool shift = false);
// Types UTF-8 text; characters without a key get one for the moment.
void Type(const std::string& utf8);
// Gives the keyboard focus to a window (as a window manager would).
void Focus(Window w);

// ---- windows ----------------------------------------------------------------------
struct Box {
  int x = 0, y = 0, w = 0, h = 0;  // on the screen
};
Box ScreenBox(Window w);
Window ParentOf(Window w);
std::vector<Window> ChildrenOf(Window w);
bool Viewable(Window w);
bool Exists(Window w);
std::string NameOf(Window w);
std::string ClassOf(Window w);  // WM_CLASS res_name
Window TransientFor(Window w);
// Viewable top-level windows whose WM_CLASS name (or, when title is given,
// whose title) matches, newest last.
std::vector<Window> TopLevels(const char* className, const char* title = nullptr);

// ---- pixels -------------------------------------------------------------------------
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first
  uint32_t At(int x, int y) const {
    return x >= 0 && y >= 0 && x < width && y < height ? pixels[static_cast<size_t>(y) * width + x] : 0;
  }
};
Picture Capture(Window w);
// The top left w x h of a drawing-layer bitmap (alpha dropped).
Picture FromBitmap(LICE_IBitmap* bitmap, int w, int h);
// Identical pixels; otherwise *why names the first difference and the count.
bool Same(const Picture& a, const Picture& b, std::string* why);
bool WritePicture(const Picture& picture, const std::string& path);

}  // namespace gui
