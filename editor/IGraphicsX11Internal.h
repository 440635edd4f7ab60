#pragma once
// The inside of the X11 window layer, shared by its *_posix.cpp files only
// (IGraphicsX11_posix.cpp: window, events, drawing, entry box, services;
// X11Menu_posix.cpp: popup menus; X11Dialogs_posix.cpp: message boxes, file
// and colour dialogs, child processes). Portable code never includes it.
// Xlib's KeyCode (a key's number) is renamed on the way in: the editor has
// its own KeyCode (the keys the core understands).
#define KeyCode XlibKeyCode
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#undef KeyCode
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "IGraphicsX11.h"
#include "WindowLogic.h"

class IControl;
class IPlugParam;
class LICE_IBitmap;

namespace x11 {

// Our display connections and the process-wide error handler that keeps X
// errors on them (a request for a window the host has just destroyed) away
// from the host's handler, whose default ends the process. Errors on other
// connections go to the handler that was there before.
void RegisterDisplay(Display* dpy);
void UnregisterDisplay(Display* dpy);

// Whether any request made on the display since the trap was set failed
// (Failed() syncs with the server first).
class ErrorTrap {
 public:
  explicit ErrorTrap(Display* dpy);
  bool Failed();

 private:
  Display* mDpy;
  unsigned long mErrorsBefore;
};

// A monotonic clock in milliseconds.
int64_t NowMs();

// A program found on the PATH (full path), or "".
std::string FindProgram(const char* name);

}  // namespace x11

struct IGraphicsX11::Impl {
  explicit Impl(IGraphicsX11* graphics) : g(graphics) {}
  IGraphicsX11* g;

  // Every use of the display holds this lock. A host may call the editor
  // opcodes on more than one thread (Ardour opens the editor on one and idles
  // it on another); the lock keeps the connection to one at a time.
  std::recursive_mutex xLock;
  // Set by CloseWindow on another thread while a menu or a dialog holds the
  // lock: the nested loop ends and lets it in.
  std::atomic<bool> closeRequested{false};
  int loopDepth = 0;             // the idle pump and nested loops running now
  bool closeDisplayLater = false;  // the window closed inside a loop: the display goes when it unwinds

  // The window as other threads may ask for it (IsWindowOpen from the
  // plug-in's idle hook, under the instance lock, never under xLock).
  std::atomic<unsigned long> published{0};

  Display* dpy = nullptr;
  int screen = 0;
  Window root = 0, parent = 0, wnd = 0;
  Visual* visual = nullptr;
  int depth = 24;
  Colormap colormap = 0;
  GC gc = nullptr;
  bool directPixels = false;  // the visual's pixels are the drawing layer's (0x00RRGGBB, 32 bits, LSB first)
  int bitsPerPixel = 32;

  Atom aClipboard = 0, aUtf8String = 0, aString = 0, aTransfer = 0, aWmState = 0, aNetWmWindowType = 0,
       aNetWmTypeMenu = 0, aIncr = 0;

  // Presentation through MIT-SHM: one image of the editor's size.
  bool shm = false;
  XShmSegmentInfo shmInfo{};
  XImage* shmImage = nullptr;

  // The redraw cycle and what waits to be painted (exposed, or dirty).
  windowlogic::RedrawClock clock{40};
  Rect invalid;
  int cycles = 0;

  // Mouse.
  windowlogic::ClickTracker clicks;
  bool captured = false;  // a press on the editor whose release is still to come

  // The entry box: a child window of the editor drawn by us.
  Window entryWnd = 0;
  IControl* entryControl = nullptr;
  IPlugParam* entryParam = nullptr;
  TextStyle entryStyle;
  Rect entryRect;
  windowlogic::TextEntryModel entry;
  int entryState = kEntryNone;
  Window focusBefore = 0;
  int revertBefore = 0;
  XIM im = nullptr;
  XIC ic = nullptr;

  Cursor blankCursor = 0;
  std::vector<pid_t> strays;  // programs started and not waited for (the web browser)

  // ---- life cycle (IGraphicsX11_posix.cpp) ----------------------------------------------
  bool Open(Window parentWnd, int x, int y);
  void SetUpPresentation();
  void DestroyWindowNow();     // the editor and entry windows go, the display stays
  void CloseDisplay();
  void ForgetWindow();         // the host destroyed the window with its own
  bool Alive() const { return dpy && wnd; }
  Window HostTopLevel();
  void ReadDesktopSettings();

  // ---- the loop --------------------------------------------------------------------------
  // One effEditIdle: pending events, the cycle when due, painting.
  void Pump();
  // Handles what is queued; modal: a menu or dialog is up, so input to the
  // editor is ignored (expose and the redraw cycle go on).
  void DrainEvents(bool modal);
  void HandleEvent(XEvent& ev, bool modal);
  // The redraw cycle when due, then whatever is invalid gets painted.
  void RunCycle();
  void Tick();
  void PaintInvalid();
  // Waits for X events, the fd (when >= 0) or the next cycle, at most
  // maxMs. Returns whether fd became readable.
  bool Wait(int maxMs, int fd = -1);
  bool ShouldLeaveLoop() const { return closeRequested.load() || !Alive(); }
  void ReapStrays();

  // ---- input -------------------------------------------------------------------------------
  void OnButtonPress(const XButtonEvent& e);
  void OnButtonRelease(const XButtonEvent& e);
  void OnMotion(XEvent& ev);
  void OnKey(XKeyEvent& e);
  void ForwardKey(const XKeyEvent& e);

  // ---- the entry box --------------------------------------------------------------------------
  void CloseEntry(bool commit);
  void PaintEntry();
  void OnEntryKey(XKeyEvent& e);
  void OnEntryButton(const XButtonEvent& e);
  void TakeFocus(Window w);
  void GiveFocusBack(Window from);
  std::string TypedText(XKeyEvent& e, KeySym* keysym);

  // ---- drawing helpers ------------------------------------------------------------------------
  // Copies a drawing-layer bitmap (w x h from its top left) to (x, y) of a window.
  void PutBitmap(Window target, LICE_IBitmap* bitmap, int x, int y, int w, int h);
  Window MakeOverrideWindow(int x, int y, int w, int h, long events);
  Window MakeChildWindow(Window in, int x, int y, int w, int h, long events);

  // ---- menus (X11Menu_posix.cpp) ---------------------------------------------------------------
  PopupMenu* RunMenu(PopupMenu* menu, const Rect& rect);

  // ---- dialogs (X11Dialogs_posix.cpp) ------------------------------------------------------------
  int MessageBox(const char* text, const char* caption, int type);
  int DrawnMessageBox(const char* text, const char* caption, int type);
  // Runs a program (argv[0] its path) and waits for it while the editor keeps
  // painting; its standard output in *out. Returns the exit code, -1 when it
  // could not start or its end could not be learnt.
  int RunProgram(const std::vector<std::string>& argv, std::string* out);
  bool StartDetached(const std::vector<std::string>& argv);
};
