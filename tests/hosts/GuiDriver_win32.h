#pragma once
// The GUI rig's hands and eyes on Windows (GuiDriver.h), and what only the
// Windows rig uses: keys by virtual-key code, the windows a user would look
// at (popup menus, message boxes, dialogs) found and read, and the pixels a
// window or the screen shows.
#include <windows.h>

#include <string>
#include <vector>

#include "GuiDriver.h"

namespace gui {

inline HWND H(Win w) { return reinterpret_cast<HWND>(w); }
inline Win W(HWND h) { return reinterpret_cast<Win>(h); }

void VirtualKey(WORD vk);  // pressed and released

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
// What the window's client area shows now (call on the window's thread).
Picture Capture(HWND wnd);
// What the screen shows in the box: menus and dialogs are windows of their own.
Picture CaptureScreen(const Box& box);

}  // namespace gui
