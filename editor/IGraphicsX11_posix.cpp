#include "IGraphicsX11.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "IControl.h"
#include "IGraphicsX11Internal.h"
#include "WindowViews.h"
#include "lice/lice.h"
#include "platform/Folders.h"
#include "platform/Module.h"

// ---- process-wide pieces -------------------------------------------------------------

namespace x11 {

namespace {

std::mutex gRegistryLock;
struct DisplayErrors {
  Display* dpy;
  unsigned long errors;
};
std::vector<DisplayErrors> gDisplays;
XErrorHandler gPrevious = nullptr;
bool gInstalled = false;
thread_local int gChaining = 0;

int OnXError(Display* dpy, XErrorEvent* event) {
  XErrorHandler previous;
  {
    std::lock_guard<std::mutex> g(gRegistryLock);
    for (DisplayErrors& d : gDisplays) {
      if (d.dpy == dpy) {
        ++d.errors;
        return 0;
      }
    }
    previous = gPrevious;
  }
  // Not ours: the handler that was there before us decides. (A handler set
  // after ours that hands errors back to us must not send them round again.)
  if (!previous || previous == OnXError || gChaining > 0) return 0;
  ++gChaining;
  const int r = previous(dpy, event);
  --gChaining;
  return r;
}

unsigned long ErrorsOf(Display* dpy) {
  std::lock_guard<std::mutex> g(gRegistryLock);
  for (const DisplayErrors& d : gDisplays) {
    if (d.dpy == dpy) return d.errors;
  }
  return 0;
}

}  // namespace

void RegisterDisplay(Display* dpy) {
  std::lock_guard<std::mutex> g(gRegistryLock);
  gDisplays.push_back(DisplayErrors{dpy, 0});
  if (!gInstalled) {
    XErrorHandler previous = XSetErrorHandler(OnXError);
    if (previous != OnXError) gPrevious = previous;
    gInstalled = true;
  }
}

void UnregisterDisplay(Display* dpy) {
  std::lock_guard<std::mutex> g(gRegistryLock);
  gDisplays.erase(std::remove_if(gDisplays.begin(), gDisplays.end(),
                                 [dpy](const DisplayErrors& d) { return d.dpy == dpy; }),
                  gDisplays.end());
  if (gDisplays.empty() && gInstalled) {
    // Back to the handler we found, unless someone has put theirs in since
    // (then theirs stays).
    XErrorHandler current = XSetErrorHandler(gPrevious);
    if (current != OnXError) XSetErrorHandler(current);
    gInstalled = false;
  }
}

ErrorTrap::ErrorTrap(Display* dpy) : mDpy(dpy) {
  XSync(dpy, False);
  mErrorsBefore = ErrorsOf(dpy);
}

bool ErrorTrap::Failed() {
  XSync(mDpy, False);
  return ErrorsOf(mDpy) != mErrorsBefore;
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string FindProgram(const char* name) {
  const char* path = getenv("PATH");
  const std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = dirs.substr(start, end - start);
    start = end + 1;
    if (dir.empty() || dir[0] != '/') continue;  // relative entries would depend on the host's folder
    const std::string candidate = dir + "/" + name;
    struct stat st;
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
  }
  return std::string();
}

}  // namespace x11

namespace {

std::atomic<int> gWindowCount{0};

Window AsWindow(void* handle) { return static_cast<Window>(reinterpret_cast<uintptr_t>(handle)); }
void* AsHandle(Window w) { return reinterpret_cast<void*>(static_cast<uintptr_t>(w)); }

// Whether the machine has a network connection: an interface that is up and
// running, not the loopback, with an address. (The Windows layer asks
// WinINet the same question before it opens a web page.)
bool HasNetworkConnection() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool found = false;
  for (ifaddrs* a = list; a && !found; a = a->ifa_next) {
    if (!a->ifa_addr || (a->ifa_flags & IFF_LOOPBACK)) continue;
    if (!(a->ifa_flags & IFF_UP) || !(a->ifa_flags & IFF_RUNNING)) continue;
    found = a->ifa_addr->sa_family == AF_INET || a->ifa_addr->sa_family == AF_INET6;
  }
  freeifaddrs(list);
  return found;
}

std::string WithTrailingSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

// ---- the window --------------------------------------------------------------------------

bool IGraphicsX11::Impl::Open(Window parentWnd, int x, int y) {
  dpy = XOpenDisplay(nullptr);
  if (!dpy) return false;
  // Dialog programs started later must not inherit the connection.
  fcntl(ConnectionNumber(dpy), F_SETFD, FD_CLOEXEC);
  x11::RegisterDisplay(dpy);
  screen = DefaultScreen(dpy);
  root = RootWindow(dpy, screen);

  // A parent that does not exist (never did, or the host destroyed it) is
  // refused before anything is made.
  {
    x11::ErrorTrap trap(dpy);
    XWindowAttributes pa;
    const Status ok = XGetWindowAttributes(dpy, parentWnd, &pa);
    if (!ok || trap.Failed()) {
      CloseDisplay();
      return false;
    }
  }

  // A 24-bit true-colour visual of our own (with its colormap), whatever
  // visual the host's window has.
  XVisualInfo vi;
  if (XMatchVisualInfo(dpy, screen, 24, TrueColor, &vi)) {
    visual = vi.visual;
    depth = 24;
  } else if (DefaultVisual(dpy, screen)->c_class == TrueColor) {
    visual = DefaultVisual(dpy, screen);
    depth = DefaultDepth(dpy, screen);
  } else {
    CloseDisplay();
    return false;
  }
  bitsPerPixel = 0;
  int formats = 0;
  if (XPixmapFormatValues* f = XListPixmapFormats(dpy, &formats)) {
    for (int i = 0; i < formats; ++i) {
      if (f[i].depth == depth) bitsPerPixel = f[i].bits_per_pixel;
    }
    XFree(f);
  }
  const uint32_t probe = 1;
  const bool littleEndian = *reinterpret_cast<const unsigned char*>(&probe) == 1;
  directPixels = visual->red_mask == 0xff0000 && visual->green_mask == 0xff00 && visual->blue_mask == 0xff &&
                 bitsPerPixel == 32 && (ImageByteOrder(dpy) == LSBFirst) == littleEndian;
  colormap = XCreateColormap(dpy, root, visual, AllocNone);

  XSetWindowAttributes a;
  std::memset(&a, 0, sizeof(a));
  a.background_pixmap = None;  // we paint every pixel: no flash of a background colour
  a.border_pixel = 0;
  a.colormap = colormap;
  a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | ButtonMotionMask | KeyPressMask |
                 KeyReleaseMask | StructureNotifyMask;
  // The server may keep the pixels while the window is covered, so a host
  // that calls idle rarely still shows the editor when it is uncovered.
  a.backing_store = WhenMapped;
  a.bit_gravity = NorthWestGravity;
  x11::ErrorTrap trap(dpy);
  wnd = XCreateWindow(dpy, parentWnd, x, y, static_cast<unsigned>(g->Width()), static_cast<unsigned>(g->Height()),
                      0, depth, InputOutput, visual,
                      CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask | CWBackingStore | CWBitGravity, &a);
  if (wnd) gc = XCreateGC(dpy, wnd, 0, nullptr);
  if (!wnd || trap.Failed()) {
    if (gc) XFreeGC(dpy, gc);
    gc = nullptr;
    wnd = 0;
    CloseDisplay();
    return false;
  }
  parent = parentWnd;

  const char* names[] = {"CLIPBOARD", "UTF8_STRING",         "STRING",
                         "QUARVI_CLIP", "WM_STATE",           "_NET_WM_WINDOW_TYPE",
                         "_NET_WM_WINDOW_TYPE_POPUP_MENU", "INCR"};
  Atom atoms[8];
  XInternAtoms(dpy, const_cast<char**>(names), 8, False, atoms);
  aClipboard = atoms[0];
  aUtf8String = atoms[1];
  aString = atoms[2];
  aTransfer = atoms[3];
  aWmState = atoms[4];
  aNetWmWindowType = atoms[5];
  aNetWmTypeMenu = atoms[6];
  aIncr = atoms[7];

  ReadDesktopSettings();
  SetUpPresentation();
  im = XOpenIM(dpy, nullptr, nullptr, nullptr);
  XMapWindow(dpy, wnd);
  published = wnd;
  XFlush(dpy);
  clock.Reset();
  cycles = 0;
  invalid = Rect();
  captured = false;
  clicks.Forget();
  return true;
}

void IGraphicsX11::Impl::SetUpPresentation() {
  shm = false;
  if (!directPixels || !XShmQueryExtension(dpy)) return;
  const int w = g->Width(), h = g->Height();
  shmImage = XShmCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &shmInfo,
                             static_cast<unsigned>(w), static_cast<unsigned>(h));
  if (!shmImage) return;
  shmInfo.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(shmImage->bytes_per_line) * h, IPC_CREAT | 0600);
  if (shmInfo.shmid < 0) {
    XDestroyImage(shmImage);
    shmImage = nullptr;
    return;
  }
  shmInfo.shmaddr = shmImage->data = static_cast<char*>(shmat(shmInfo.shmid, nullptr, 0));
  shmInfo.readOnly = False;
  bool attached = false;
  if (shmInfo.shmaddr != reinterpret_cast<char*>(-1)) {
    // A display on another machine refuses the segment; the refusal comes
    // back as an error.
    x11::ErrorTrap trap(dpy);
    attached = XShmAttach(dpy, &shmInfo) && !trap.Failed();
  }
  // Marked for removal at once: it goes when both sides have detached, even
  // if the host dies.
  shmctl(shmInfo.shmid, IPC_RMID, nullptr);
  if (!attached) {
    if (shmInfo.shmaddr != reinterpret_cast<char*>(-1)) shmdt(shmInfo.shmaddr);
    shmImage->data = nullptr;
    XDestroyImage(shmImage);
    shmImage = nullptr;
    return;
  }
  shm = true;
}

void IGraphicsX11::Impl::ReadDesktopSettings() {
  clicks.timeMs = 400;
  clicks.distance = 5;
  char name[64];
  std::snprintf(name, sizeof(name), "_XSETTINGS_S%d", screen);
  const Atom selection = XInternAtom(dpy, name, False);
  const Window owner = XGetSelectionOwner(dpy, selection);
  if (!owner) return;
  const Atom settings = XInternAtom(dpy, "_XSETTINGS_SETTINGS", False);
  x11::ErrorTrap trap(dpy);  // the manager may go away meanwhile
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(dpy, owner, settings, 0, 1 << 16, False, settings, &type, &format, &count, &after,
                         &data) == Success &&
      data && format == 8) {
    int value = 0;
    if (windowlogic::XSettingsInteger(data, count, "Net/DoubleClickTime", &value) && value > 0) clicks.timeMs = value;
    if (windowlogic::XSettingsInteger(data, count, "Net/DoubleClickDistance", &value) && value >= 0) {
      clicks.distance = value;
    }
  }
  if (data) XFree(data);
  trap.Failed();
}

Window IGraphicsX11::Impl::HostTopLevel() {
  if (!dpy || !parent) return 0;
  // The host's own top-level window: walking up from the parent, the
  // highest window a window manager marked as a client (WM_STATE); with no
  // window manager, the last window before the root.
  x11::ErrorTrap trap(dpy);
  Window w = parent, top = 0, client = 0;
  for (int guard = 0; w && w != root && guard < 64; ++guard) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy, w, aWmState, 0, 0, False, AnyPropertyType, &type, &format, &count, &after,
                           &data) == Success &&
        type != None) {
      client = w;
    }
    if (data) XFree(data);
    top = w;
    Window rootReturn = 0, up = 0, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(dpy, w, &rootReturn, &up, &children, &n)) {
      top = 0;
      break;
    }
    if (children) XFree(children);
    w = up;
  }
  if (trap.Failed()) return 0;
  return client ? client : top;
}

void IGraphicsX11::Impl::DestroyWindowNow() {
  if (!dpy) return;
  if (entryWnd) CloseEntry(false);
  if (wnd) {
    // The host may have destroyed it already; that error is ours to swallow.
    XDestroyWindow(dpy, wnd);
    XFlush(dpy);
    wnd = 0;
    published = 0;
    --gWindowCount;
  }
  captured = false;
  g->ReleaseMouseCapture();
}

void IGraphicsX11::Impl::ForgetWindow() {
  // The entry box went with its parent.
  if (ic) XDestroyIC(ic);
  ic = nullptr;
  entryWnd = 0;
  entryControl = nullptr;
  entryParam = nullptr;
  entryState = kEntryNone;
  if (wnd) --gWindowCount;
  wnd = 0;
  published = 0;
  captured = false;
  invalid = Rect();
  g->ReleaseMouseCapture();
}

void IGraphicsX11::Impl::CloseDisplay() {
  if (!dpy) return;
  if (shmImage) {
    XShmDetach(dpy, &shmInfo);
    XSync(dpy, False);
    shmdt(shmInfo.shmaddr);
    shmImage->data = nullptr;
    XDestroyImage(shmImage);
    shmImage = nullptr;
  }
  shm = false;
  if (ic) XDestroyIC(ic);
  ic = nullptr;
  if (im) XCloseIM(im);
  im = nullptr;
  if (gc) XFreeGC(dpy, gc);
  gc = nullptr;
  if (blankCursor) XFreeCursor(dpy, blankCursor);
  blankCursor = 0;
  if (colormap) XFreeColormap(dpy, colormap);
  colormap = 0;
  XSync(dpy, False);
  x11::UnregisterDisplay(dpy);
  XCloseDisplay(dpy);
  dpy = nullptr;
  root = parent = 0;
  closeDisplayLater = false;
}

// ---- the loop -------------------------------------------------------------------------------

void IGraphicsX11::Impl::Pump() {
  ReapStrays();
  if (!dpy) return;
  ++loopDepth;
  // (A window the host destroyed leaves events to be read and dropped.)
  DrainEvents(!Alive());
  RunCycle();
  --loopDepth;
  if (loopDepth == 0 && closeDisplayLater) CloseDisplay();
}

void IGraphicsX11::Impl::DrainEvents(bool modal) {
  while (dpy && !closeRequested.load() && XPending(dpy) > 0) {
    XEvent ev;
    XNextEvent(dpy, &ev);
    if (ic && XFilterEvent(&ev, None)) continue;  // the input method's own (compose sequences)
    HandleEvent(ev, modal);
  }
}

void IGraphicsX11::Impl::HandleEvent(XEvent& ev, bool modal) {
  switch (ev.type) {
    case MappingNotify:
      // The keyboard's map changed (another client remapped a key).
      if (ev.xmapping.request != MappingPointer) XRefreshKeyboardMapping(&ev.xmapping);
      return;
    case Expose:
      if (wnd && ev.xexpose.window == wnd) {
        invalid = invalid.Union(Rect(ev.xexpose.x, ev.xexpose.y, ev.xexpose.x + ev.xexpose.width,
                                     ev.xexpose.y + ev.xexpose.height));
      } else if (entryWnd && ev.xexpose.window == entryWnd && ev.xexpose.count == 0) {
        PaintEntry();
      }
      return;
    case DestroyNotify:
      if (wnd && ev.xdestroywindow.window == wnd) ForgetWindow();
      return;
    case FocusIn:
    case FocusOut:
      if (!entryWnd || ev.xfocus.window != entryWnd) return;
      // Grabs (a menu, a window manager's move) come and go without the
      // entry losing anything; nor does the pointer's own focus.
      if (ev.xfocus.mode == NotifyGrab || ev.xfocus.mode == NotifyUngrab || ev.xfocus.detail == NotifyPointer ||
          ev.xfocus.detail == NotifyInferior) {
        return;
      }
      if (ev.type == FocusIn) {
        if (entryState == kEntryNone || entryState == kEntryUpdate) entryState = kEntryEditing;
      } else if (entryState == kEntryEditing) {
        entryState = kEntryCommit;  // the user went elsewhere: what was typed counts
      }
      return;
    default:
      break;
  }
  if (modal) return;  // a menu or a dialog has the user now
  switch (ev.type) {
    case ButtonPress:
      if (entryWnd && ev.xbutton.window == entryWnd) OnEntryButton(ev.xbutton);
      else if (wnd && ev.xbutton.window == wnd) OnButtonPress(ev.xbutton);
      return;
    case ButtonRelease:
      if (wnd && ev.xbutton.window == wnd) OnButtonRelease(ev.xbutton);
      return;
    case MotionNotify:
      if (wnd && ev.xmotion.window == wnd) OnMotion(ev);
      return;
    case KeyPress:
    case KeyRelease:
      if (entryWnd && ev.xkey.window == entryWnd) OnEntryKey(ev.xkey);
      else if (wnd && ev.xkey.window == wnd) OnKey(ev.xkey);
      return;
    default:
      return;
  }
}

void IGraphicsX11::Impl::RunCycle() {
  if (!Alive()) return;
  if (clock.Due(x11::NowMs())) Tick();
  PaintInvalid();
}

void IGraphicsX11::Impl::Tick() {
  ++cycles;
  if (entryWnd && entryState != kEntryNone) {
    // While the box is being edited the editor stands still; a finished
    // entry is applied on a cycle of its own.
    if (entryState == kEntryEditing) return;
    const int state = entryState;
    entryState = kEntryNone;
    if (state == kEntryCommit || state == kEntryCancel) CloseEntry(state == kEntryCommit);
    return;
  }
  Rect r;
  if (!g->CollectDirty(&r)) return;
  invalid = invalid.Union(r);
  if (entryWnd) entryState = kEntryUpdate;
}

void IGraphicsX11::Impl::PaintInvalid() {
  if (!Alive() || invalid.Empty()) return;
  Rect r = invalid.Intersect(Rect(0, 0, g->Width(), g->Height()));
  invalid = Rect();
  if (r.Empty()) return;
  g->PrepareDraw();
  // Without controls, or while the entry box is being edited, the window
  // shows what the back buffer holds; otherwise the controls in the rect are
  // drawn first (DrawDirty presents the rect).
  if (g->NControls() == 0 || (entryWnd && entryState == kEntryEditing)) g->PresentRect(r);
  else g->DrawDirty(r);
}

bool IGraphicsX11::Impl::Wait(int maxMs, int fd) {
  if (!dpy) return false;
  XFlush(dpy);
  const bool queued = XEventsQueued(dpy, QueuedAlready) > 0;
  int timeout = maxMs;
  const int64_t untilCycle = clock.MsUntilDue(x11::NowMs());
  if (untilCycle < timeout) timeout = static_cast<int>(untilCycle);
  if (queued || timeout < 0) timeout = 0;
  pollfd fds[2];
  fds[0].fd = ConnectionNumber(dpy);
  fds[0].events = POLLIN;
  fds[0].revents = 0;
  fds[1].fd = fd;
  fds[1].events = POLLIN;
  fds[1].revents = 0;
  if (poll(fds, fd >= 0 ? 2 : 1, timeout) <= 0) return false;
  return fd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

void IGraphicsX11::Impl::ReapStrays() {
  strays.erase(std::remove_if(strays.begin(), strays.end(),
                              [](pid_t pid) {
                                int status = 0;
                                const pid_t r = waitpid(pid, &status, WNOHANG);
                                return r == pid || (r < 0 && errno == ECHILD);
                              }),
               strays.end());
}

// ---- input ----------------------------------------------------------------------------------

void IGraphicsX11::Impl::OnButtonPress(const XButtonEvent& e) {
  const int x = e.x, y = e.y;
  const int notches = windowlogic::WheelNotchesForButton(static_cast<int>(e.button));
  const bool wheel = e.button >= 4 && e.button <= 7;
  // Every press on the editor counts toward a double click, also one that
  // only closes the entry box (as the system counts clicks on Windows).
  const bool doubleClick = !wheel && clicks.Press(static_cast<int>(e.button), e.time, x, y);
  if (entryWnd) {
    // A click on the editor while the box is edited cancels it; once the
    // box has lost the edit (it only shows), a click commits it and the
    // wheel cancels it.
    if (wheel) {
      if (notches != 0) entryState = kEntryCancel;
    } else if (entryState == kEntryEditing) {
      if (e.button == 1 || e.button == 3) entryState = kEntryCancel;
    } else if (e.button <= 3) {
      entryState = kEntryCommit;
    }
    return;
  }
  if (wheel) {
    if (notches != 0) g->OnMouseWheel(x, y, windowlogic::MouseModsFromXState(e.state), notches);
    return;
  }
  if (e.button < 1 || e.button > 3) return;
  const MouseMods mods = windowlogic::MouseModsFromXState(e.state, static_cast<int>(e.button));
  // The press holds the pointer for the editor until its release (the
  // server's implicit grab): that is the capture.
  if (e.button == 1 && doubleClick) {
    captured = g->OnMouseDoubleClick(x, y, mods);
    return;
  }
  captured = true;
  g->OnMouseDown(x, y, mods);
}

void IGraphicsX11::Impl::OnButtonRelease(const XButtonEvent& e) {
  if (e.button < 1 || e.button > 3) return;
  // While the box is edited only the release that ends the click which
  // opened it goes through (the control's gesture ends).
  if (entryWnd && entryState == kEntryEditing && !captured) return;
  captured = false;
  g->OnMouseUp(e.x, e.y, windowlogic::MouseModsFromXState(e.state, 0, static_cast<int>(e.button)));
}

void IGraphicsX11::Impl::OnMotion(XEvent& ev) {
  // Only the latest of a run of moves counts: a drag follows the mouse
  // without working through every step it took.
  while (XEventsQueued(dpy, QueuedAfterReading) > 0) {
    XEvent next;
    XPeekEvent(dpy, &next);
    if (next.type != MotionNotify || next.xmotion.window != ev.xmotion.window) break;
    XNextEvent(dpy, &ev);
  }
  const XMotionEvent& m = ev.xmotion;
  const MouseMods mods = windowlogic::MouseModsFromXState(m.state);
  if (!(m.state & (Button1Mask | Button3Mask))) {
    g->OnMouseOver(m.x, m.y, mods);
    return;
  }
  if (captured && !entryWnd) g->OnMouseDrag(m.x, m.y, mods);
}

void IGraphicsX11::Impl::OnKey(XKeyEvent& e) {
  if (e.type == KeyPress) {
    KeySym keysym = NoSymbol;
    char text[16];
    XLookupString(&e, text, sizeof(text), &keysym, nullptr);
    const int key = windowlogic::KeyCodeForKeysym(keysym);
    // The position is the mouse's, in the editor (the event carries it).
    if (key >= 0 && g->OnKeyDown(e.x, e.y, key)) return;
  }
  // Keys the editor does not use belong to the host (its shortcuts, the
  // space bar for the transport): they go on up from the host's window as
  // if the editor had not been there.
  ForwardKey(e);
}

void IGraphicsX11::Impl::ForwardKey(const XKeyEvent& e) {
  if (!parent) return;
  XEvent out;
  std::memset(&out, 0, sizeof(out));
  out.xkey = e;
  out.xkey.window = parent;
  out.xkey.subwindow = None;
  XSendEvent(dpy, parent, True, e.type == KeyPress ? KeyPressMask : KeyReleaseMask, &out);
  XFlush(dpy);
}

// ---- the entry box --------------------------------------------------------------------------

Window IGraphicsX11::Impl::MakeChildWindow(Window in, int x, int y, int w, int h, long events) {
  XSetWindowAttributes a;
  std::memset(&a, 0, sizeof(a));
  a.background_pixmap = None;
  a.border_pixel = 0;
  a.colormap = colormap;
  a.event_mask = events;
  return XCreateWindow(dpy, in, x, y, static_cast<unsigned>(std::max(1, w)), static_cast<unsigned>(std::max(1, h)),
                       0, depth, InputOutput, visual, CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &a);
}

Window IGraphicsX11::Impl::MakeOverrideWindow(int x, int y, int w, int h, long events) {
  XSetWindowAttributes a;
  std::memset(&a, 0, sizeof(a));
  a.background_pixmap = None;
  a.border_pixel = 0;
  a.colormap = colormap;
  a.event_mask = events;
  a.override_redirect = True;
  a.save_under = True;
  const Window w2 = XCreateWindow(dpy, root, x, y, static_cast<unsigned>(std::max(1, w)),
                                  static_cast<unsigned>(std::max(1, h)), 0, depth, InputOutput, visual,
                                  CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask | CWOverrideRedirect |
                                      CWSaveUnder,
                                  &a);
  // What it is, for compositors (and for anyone looking: the GUI rig).
  XClassHint hint;
  hint.res_name = const_cast<char*>("quarvi-menu");
  hint.res_class = const_cast<char*>("Quarvi");
  XSetClassHint(dpy, w2, &hint);
  XChangeProperty(dpy, w2, aNetWmWindowType, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&aNetWmTypeMenu), 1);
  return w2;
}

void IGraphicsX11::Impl::PutBitmap(Window target, LICE_IBitmap* bitmap, int x, int y, int w, int h) {
  if (!dpy || !target || !bitmap || !bitmap->GetBits() || !gc) return;
  const int bw = bitmap->GetWidth(), bh = bitmap->GetHeight();
  if (x < 0) {
    w += x;
    x = 0;
  }
  if (y < 0) {
    h += y;
    y = 0;
  }
  w = std::min(w, bw - x);
  h = std::min(h, bh - y);
  if (w <= 0 || h <= 0) return;
  if (directPixels) {
    // The image is the bitmap's own memory: no copy.
    XImage* image = XCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                                 reinterpret_cast<char*>(bitmap->GetBits()), static_cast<unsigned>(bw),
                                 static_cast<unsigned>(bh), 32, bitmap->GetRowSpan() * 4);
    if (!image) return;
    XPutImage(dpy, target, gc, image, x, y, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
    image->data = nullptr;
    XDestroyImage(image);
    return;
  }
  // Another pixel layout: converted pixel by pixel into an image of the
  // server's format.
  XImage* image = XCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                               static_cast<unsigned>(w), static_cast<unsigned>(h), 32, 0);
  if (!image) return;
  image->data = static_cast<char*>(std::malloc(static_cast<size_t>(image->bytes_per_line) * h));
  if (!image->data) {
    XDestroyImage(image);
    return;
  }
  auto channel = [](unsigned value, unsigned long mask) -> unsigned long {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    int bits = 0;
    while ((mask >> (shift + bits)) & 1) ++bits;
    return (static_cast<unsigned long>(value >> (8 - std::min(bits, 8))) << shift) & mask;
  };
  for (int row = 0; row < h; ++row) {
    const LICE_pixel* src = bitmap->GetBits() + static_cast<size_t>(y + row) * bitmap->GetRowSpan() + x;
    for (int col = 0; col < w; ++col) {
      const LICE_pixel p = src[col];
      XPutPixel(image, col, row,
                channel(LICE_GETR(p), visual->red_mask) | channel(LICE_GETG(p), visual->green_mask) |
                    channel(LICE_GETB(p), visual->blue_mask));
    }
  }
  XPutImage(dpy, target, gc, image, 0, 0, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
  XDestroyImage(image);  // frees the pixels too
}

void IGraphicsX11::Impl::TakeFocus(Window w) {
  XGetInputFocus(dpy, &focusBefore, &revertBefore);
  x11::ErrorTrap trap(dpy);  // a window not on screen cannot take it
  XSetInputFocus(dpy, w, RevertToParent, CurrentTime);
  trap.Failed();
}

void IGraphicsX11::Impl::GiveFocusBack(Window from) {
  Window now = 0;
  int revert = 0;
  XGetInputFocus(dpy, &now, &revert);
  // Only when it is still ours: focus the user gave elsewhere stays there.
  if (now != from) return;
  x11::ErrorTrap trap(dpy);
  XSetInputFocus(dpy, focusBefore ? focusBefore : PointerRoot, revertBefore ? revertBefore : RevertToPointerRoot,
                 CurrentTime);
  if (trap.Failed()) XSetInputFocus(dpy, PointerRoot, RevertToPointerRoot, CurrentTime);
}

void IGraphicsX11::Impl::PaintEntry() {
  if (!entryWnd) return;
  const int w = entryRect.W() + 1, h = entryRect.H() + 1;
  LICE_MemBitmap bitmap(w, h);
  windowviews::PaintEntry(&bitmap, w, h, &entryStyle, entry);
  PutBitmap(entryWnd, &bitmap, 0, 0, w, h);
  XFlush(dpy);
}

std::string IGraphicsX11::Impl::TypedText(XKeyEvent& e, KeySym* keysym) {
  *keysym = NoSymbol;
  std::string text;
  if (ic) {
    char buf[64];
    Status status = 0;
    int n = Xutf8LookupString(ic, &e, buf, sizeof(buf) - 1, keysym, &status);
    if (status == XBufferOverflow && n > 0) {
      std::vector<char> big(static_cast<size_t>(n) + 1);
      n = Xutf8LookupString(ic, &e, big.data(), n, keysym, &status);
      if (status == XLookupChars || status == XLookupBoth) text.assign(big.data(), static_cast<size_t>(n));
    } else if ((status == XLookupChars || status == XLookupBoth) && n > 0) {
      text.assign(buf, static_cast<size_t>(n));
    }
    if (status != XLookupKeySym && status != XLookupBoth) *keysym = NoSymbol;
    return text;
  }
  char buf[16];
  XLookupString(&e, buf, sizeof(buf), keysym, nullptr);
  windowlogic::AppendUtf8(&text, windowlogic::KeysymToUnicode(*keysym));
  return text;
}

void IGraphicsX11::Impl::OnEntryKey(XKeyEvent& e) {
  if (e.type != KeyPress) return;  // the box takes the keys; none reach the host
  KeySym keysym = NoSymbol;
  const std::string typed = TypedText(e, &keysym);
  const bool shift = (e.state & ShiftMask) != 0, control = (e.state & ControlMask) != 0;
  switch (keysym) {
    case XK_Return:
    case XK_KP_Enter:
      entryState = kEntryCommit;
      return;
    case XK_Escape:
      entryState = kEntryCancel;
      return;
    case XK_BackSpace: entry.Backspace(); break;
    case XK_Delete: case XK_KP_Delete: entry.Delete(); break;
    case XK_Home: case XK_KP_Home: entry.Home(shift); break;
    case XK_End: case XK_KP_End: entry.End(shift); break;
    case XK_Left: case XK_KP_Left: entry.Left(shift); break;
    case XK_Right: case XK_KP_Right: entry.Right(shift); break;
    case XK_Tab: case XK_ISO_Left_Tab: case XK_Up: case XK_Down: case XK_KP_Up: case XK_KP_Down: return;
    default:
      if (control) {
        if (keysym == XK_a || keysym == XK_A) {
          entry.SelectAll();
        } else if (keysym == XK_v || keysym == XK_V) {
          std::string pasted;
          if (g->ClipboardText(&pasted)) entry.Insert(pasted.substr(0, pasted.find_first_of("\r\n")));
        } else {
          return;
        }
      } else if (!typed.empty()) {
        entry.Insert(typed);
      } else {
        return;
      }
      break;
  }
  PaintEntry();
}

void IGraphicsX11::Impl::OnEntryButton(const XButtonEvent& e) {
  if (e.button == 4 || e.button == 5) {
    entryState = kEntryCancel;  // the wheel, as over the editor
    return;
  }
  if (e.button != 1) return;
  entry.SetCaret(windowviews::EntryOffsetAt(&entryStyle, entry, entryRect.W() + 1, e.x), (e.state & ShiftMask) != 0);
  PaintEntry();
}

void IGraphicsX11::Impl::CloseEntry(bool commit) {
  const Window w = entryWnd;
  IControl* control = entryControl;
  const bool hadParam = entryParam != nullptr;
  // At most 31 characters are taken, as from the Windows box.
  const std::string text = commit ? entry.CommitText(31) : std::string();
  if (ic) XDestroyIC(ic);
  ic = nullptr;
  if (dpy && w) {
    GiveFocusBack(w);
    XDestroyWindow(dpy, w);
    XFlush(dpy);
  }
  entryWnd = 0;
  entryControl = nullptr;
  entryParam = nullptr;
  entryState = kEntryNone;
  // The editor under the box shows again.
  invalid = invalid.Union(Rect(entryRect.L, entryRect.T, entryRect.R + 1, entryRect.B + 1));
  if (commit && !hadParam && control) control->OnTextEntered(text.c_str());
}

// ---- IGraphicsX11 ------------------------------------------------------------------------------

IGraphicsX11::IGraphicsX11(IPlugBase* plug, int w, int h, int fps)
    : IGraphics(plug, w, h, fps), mImpl(new Impl(this)) {
  mImpl->clock = windowlogic::RedrawClock(1000 / (fps > 0 ? fps : 1));
}

IGraphicsX11::~IGraphicsX11() {
  CloseWindow();
  mImpl->ReapStrays();
}

int IGraphicsX11::OpenWindowCount() { return gWindowCount.load(); }

void* IGraphicsX11::OpenWindow(void* parent) {
  const Window parentWnd = AsWindow(parent);
  if (!parentWnd) return nullptr;
  Impl& m = *mImpl;
  // A menu or dialog of this editor on another thread ends: its window is
  // about to be replaced.
  m.closeRequested = true;
  std::lock_guard<std::recursive_mutex> lock(m.xLock);
  m.closeRequested = false;
  // Not from inside a menu or a dialog of this editor: their loop still
  // uses the display.
  if (m.loopDepth > 0) return nullptr;
  int x = 0, y = 0;
  if (m.wnd) {
    // A second open replaces the window, keeping its place in the parent.
    Window rootReturn = 0;
    unsigned w = 0, h = 0, border = 0, depthReturn = 0;
    x11::ErrorTrap trap(m.dpy);
    if (!XGetGeometry(m.dpy, m.wnd, &rootReturn, &x, &y, &w, &h, &border, &depthReturn) || trap.Failed()) x = y = 0;
  }
  if (m.dpy) CloseWindow();
  PrepareDraw();
  if (!m.Open(parentWnd, x, y)) return nullptr;
  ++gWindowCount;
  SetAllControlsDirty();  // the first cycle paints everything
  return AsHandle(m.wnd);
}

void IGraphicsX11::CloseWindow() {
  Impl& m = *mImpl;
  // A menu or dialog of this editor running on another thread sees the
  // request and ends, so that the lock comes free.
  m.closeRequested = true;
  std::lock_guard<std::recursive_mutex> lock(m.xLock);
  m.closeRequested = false;
  if (!m.dpy) return;
  if (mCursorHidden) ShowCursor();
  m.DestroyWindowNow();
  if (m.loopDepth > 0) m.closeDisplayLater = true;
  else m.CloseDisplay();
}

void* IGraphicsX11::WindowHandle() { return AsHandle(mImpl->published.load()); }

void IGraphicsX11::IdleHook() {
  Impl& m = *mImpl;
  // Another thread in a menu or dialog of this editor holds the display:
  // this call has nothing to do.
  std::unique_lock<std::recursive_mutex> lock(m.xLock, std::try_to_lock);
  if (!lock.owns_lock()) return;
  m.Pump();
}

bool IGraphicsX11::PresentRect(const Rect& rect) {
  Impl& m = *mImpl;
  std::lock_guard<std::recursive_mutex> lock(m.xLock);
  LICE_SysBitmap* back = BackBuffer();
  if (!m.Alive() || !back || !back->GetBits()) return true;
  const Rect r = rect.Intersect(Rect(0, 0, std::min(Width(), back->GetWidth()), std::min(Height(), back->GetHeight())));
  if (r.Empty()) return true;
  if (m.shm && m.shmImage && m.shmImage->width >= r.R && m.shmImage->height >= r.B) {
    // The rows of the rect into the shared image, then the server copies
    // them to the window; the sync keeps the next copy from overtaking it.
    const size_t bytes = static_cast<size_t>(r.W()) * 4;
    for (int y = r.T; y < r.B; ++y) {
      std::memcpy(m.shmImage->data + static_cast<size_t>(y) * m.shmImage->bytes_per_line + static_cast<size_t>(r.L) * 4,
                  back->GetBits() + static_cast<size_t>(y) * back->GetRowSpan() + r.L, bytes);
    }
    XShmPutImage(m.dpy, m.wnd, m.gc, m.shmImage, r.L, r.T, r.L, r.T, static_cast<unsigned>(r.W()),
                 static_cast<unsigned>(r.H()), False);
    XSync(m.dpy, False);
    return true;
  }
  m.PutBitmap(m.wnd, back, r.L, r.T, r.W(), r.H());
  XFlush(m.dpy);
  return true;
}

void IGraphicsX11::Resize(int w, int h) {
  if (w == Width() && h == Height()) return;
  Impl& m = *mImpl;
  std::lock_guard<std::recursive_mutex> lock(m.xLock);
  const int dw = w - Width(), dh = h - Height();
  if (m.entryWnd) m.CloseEntry(false);  // its control goes with the others
  IGraphics::Resize(w, h);
  if (!m.Alive()) return;
  // The shared image has the old size.
  if (m.shmImage) {
    XShmDetach(m.dpy, &m.shmInfo);
    XSync(m.dpy, False);
    shmdt(m.shmInfo.shmaddr);
    m.shmImage->data = nullptr;
    XDestroyImage(m.shmImage);
    m.shmImage = nullptr;
  }
  m.SetUpPresentation();
  // The editor window, and the host's window holding it, grow by the
  // difference.
  x11::ErrorTrap trap(m.dpy);
  XResizeWindow(m.dpy, m.wnd, static_cast<unsigned>(w), static_cast<unsigned>(h));
  Window rootReturn = 0;
  int px = 0, py = 0;
  unsigned pw = 0, ph = 0, border = 0, d = 0;
  if (XGetGeometry(m.dpy, m.parent, &rootReturn, &px, &py, &pw, &ph, &border, &d)) {
    XResizeWindow(m.dpy, m.parent, static_cast<unsigned>(std::max(1, static_cast<int>(pw) + dw)),
                  static_cast<unsigned>(std::max(1, static_cast<int>(ph) + dh)));
  }
  trap.Failed();
  m.invalid = Rect(0, 0, w, h);
}

// ---- text entry --------------------------------------------------------------------------------

void IGraphicsX11::ShowValueEntry(IControl* control, const TextStyle& style, const Rect& rect,
                                  const char* initialText, IPlugParam* param) {
  Impl& m = *mImpl;
  std::lock_guard<std::recursive_mutex> lock(m.xLock);
  if (!control || m.entryWnd || !m.Alive()) return;
  m.entryWnd = m.MakeChildWindow(m.wnd, rect.L, rect.T, rect.W() + 1, rect.H() + 1,
                                 ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask | FocusChangeMask);
  if (!m.entryWnd) return;
  m.entryControl = control;
  m.entryParam = param;
  m.entryStyle = style;
  m.entryRect = rect;
  m.entry.Reset(initialText ? initialText : "", control->TextEntryLength());
  if (m.im) {
    m.ic = XCreateIC(m.im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, m.entryWnd,
                     XNFocusWindow, m.entryWnd, nullptr);
    if (m.ic) XSetICFocus(m.ic);
  }
  XMapRaised(m.dpy, m.entryWnd);
  XSync(m.dpy, False);
  // The box is being edited from the start: a click on the editor cancels it.
  m.entryState = kEntryEditing;
  m.TakeFocus(m.entryWnd);
  m.PaintEntry();
}

void IGraphicsX11::EndValueEntry() {
  Impl& m = *mImpl;
  std::lock_guard<std::recursive_mutex> lock(m.xLock);
  if (m.entryWnd) m.entryState = kEntryCancel;
}

bool IGraphicsX11::EntryOpen() const { return mImpl->entryWnd != 0; }
int IGraphicsX11::GetEntryState() const { return mImpl->entryState; }
bool IGraphicsX11::UsesSharedMemory() const { return mImpl->shm; }
int IGraphicsX11::Cycles() const { return mImpl->cycles; }

// ---- menus and questions (X11Menu_posix.cpp, X11Dialogs_posix.cpp) ---------------------------

PopupMenu* IGraphicsX11::ShowPopupMenu(PopupMenu* menu, const Rect& rect) {
  Impl& m = *mImpl;
  std::lock_guard<std::recursive_mutex> lock(m.xLock);
  return m.RunMenu(menu, rect);
}

int IGraphicsX11::ShowMessageBox(const char* text, const char* caption, int type) {
  Impl& m = *mImpl;
  std::lock_guard<std::recursive_mutex> lock(m.xLock);
  return m.MessageBox(text, caption, type);
}

bool IGraphicsX11::OpenUrl(const char* url, const char* caption, const char* confirmText,
                           const char* errorText) {
  if (confirmText && ShowMessageBox(confirmText, caption, MB_TYPE_YESNO) != MB_RESULT_YES) return false;
  if (url && *url && HasNetworkConnection()) {
    const std::string opener = x11::FindProgram("xdg-open");
    Impl& m = *mImpl;
    std::lock_guard<std::recursive_mutex> lock(m.xLock);
    if (!opener.empty() && m.StartDetached({opener, url})) return true;
  }
  if (errorText) ShowMessageBox(errorText, caption, MB_TYPE_OK);
  return false;
}

// ---- system services ------------------------------------------------------------------------------

void IGraphicsX11::HostFolder(std::string* folder) {
  folder->clear();
  char path[PATH_MAX + 1];
  const ssize_t n = readlink("/proc/self/exe", path, PATH_MAX);
  if (n <= 0) return;
  *folder = windowlogic::ModuleFolderOf(std::string(path, static_cast<size_t>(n)), '/');
}

void IGraphicsX11::PluginFolder(std::string* folder) {
  const std::string f = ModuleFolder();
  *folder = f.empty() ? std::string() : WithTrailingSlash(f);
}

void IGraphicsX11::DesktopFolder(std::string* folder) { *folder = UserDesktopFolder(); }

void IGraphicsX11::AppDataFolder(std::string* folder, bool allUsers) {
  if (!allUsers) {
    // Where the instrument keeps its settings: $XDG_CONFIG_HOME or ~/.config.
    *folder = UserSettingsBaseFolder();
    return;
  }
  // The system-wide counterpart: the first of $XDG_CONFIG_DIRS (/etc/xdg).
  const char* dirs = getenv("XDG_CONFIG_DIRS");
  std::string first = dirs && *dirs ? std::string(dirs).substr(0, std::string(dirs).find(':')) : std::string();
  if (first.empty() || first[0] != '/') first = "/etc/xdg";
  *folder = first;
}

bool IGraphicsX11::ClipboardText(std::string* text) {
  text->clear();
  Impl& m = *mImpl;
  std::lock_guard<std::recursive_mutex> lock(m.xLock);
  if (!m.Alive() || XGetSelectionOwner(m.dpy, m.aClipboard) == None) return false;
  for (const Atom target : {m.aUtf8String, m.aString}) {
    XDeleteProperty(m.dpy, m.wnd, m.aTransfer);
    XConvertSelection(m.dpy, m.aClipboard, target, m.aTransfer, m.wnd, CurrentTime);
    XFlush(m.dpy);
    // The owner answers with SelectionNotify; other events stay queued.
    XEvent ev;
    bool answered = false;
    const int64_t end = x11::NowMs() + 1000;
    while (!(answered = XCheckTypedWindowEvent(m.dpy, m.wnd, SelectionNotify, &ev))) {
      const int64_t left = end - x11::NowMs();
      if (left <= 0) break;
      pollfd fd;
      fd.fd = ConnectionNumber(m.dpy);
      fd.events = POLLIN;
      fd.revents = 0;
      poll(&fd, 1, static_cast<int>(std::min<int64_t>(left, 20)));
      XEventsQueued(m.dpy, QueuedAfterReading);
    }
    if (!answered) return false;
    if (ev.xselection.property == None) continue;  // not in this form
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(m.dpy, m.wnd, m.aTransfer, 0, 1 << 22, True, AnyPropertyType, &type,
                                          &format, &count, &after, &data);
    if (status != Success || type == m.aIncr || format != 8) {
      // Texts too large for one piece (INCR) are not taken.
      if (data) XFree(data);
      return false;
    }
    std::string bytes(reinterpret_cast<const char*>(data), count);
    if (data) XFree(data);
    if (target == m.aString) {
      // Latin-1.
      std::string utf8;
      for (unsigned char c : bytes) windowlogic::AppendUtf8(&utf8, c);
      bytes = utf8;
    }
    *text = bytes;
    return true;
  }
  return false;
}

void IGraphicsX11::HideCursor() {
  if (mCursorHidden) return;
  Impl& m = *mImpl;
  std::lock_guard<std::recursive_mutex> lock(m.xLock);
  if (!m.Alive()) return;
  Window rootReturn = 0, child = 0;
  int rx = 0, ry = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  if (XQueryPointer(m.dpy, m.root, &rootReturn, &child, &rx, &ry, &wx, &wy, &mask)) {
    mHiddenCursorX = rx;
    mHiddenCursorY = ry;
  }
  if (!m.blankCursor) {
    static const char kNoBits[1] = {0};
    Pixmap empty = XCreateBitmapFromData(m.dpy, m.wnd, kNoBits, 1, 1);
    XColor black;
    std::memset(&black, 0, sizeof(black));
    m.blankCursor = XCreatePixmapCursor(m.dpy, empty, empty, &black, &black, 0, 0);
    XFreePixmap(m.dpy, empty);
  }
  XDefineCursor(m.dpy, m.wnd, m.blankCursor);
  XFlush(m.dpy);
  mCursorHidden = true;
}

void IGraphicsX11::ShowCursor() {
  if (!mCursorHidden) return;
  mCursorHidden = false;
  Impl& m = *mImpl;
  std::lock_guard<std::recursive_mutex> lock(m.xLock);
  if (!m.dpy) return;
  XWarpPointer(m.dpy, None, m.root, 0, 0, 0, 0, mHiddenCursorX, mHiddenCursorY);
  if (m.wnd) XUndefineCursor(m.dpy, m.wnd);
  XFlush(m.dpy);
}
