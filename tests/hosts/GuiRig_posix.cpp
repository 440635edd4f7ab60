// quarvi-gui-rig (Linux): the editor met the way a user meets it, as a real
// X11 window (under Xvfb in the test step), clicked, typed at and looked at.
//
//   quarvi-gui-rig LIBRARY.so PICTURES
//
// A small host with its own X connection: it makes top-level windows sized
// from effEditGetRect, opens editors in them with effEditOpen and calls
// effEditIdle from its loop. A second thread plays the user through XTest
// on a connection of its own (tests/hosts/GuiDriver_posix.*), reads windows
// and pixels, and answers zenity. Everything the host sees (gestures,
// automation, keys that reach its window) goes into one ordered log.
//
// Part 1 drives the plug-in library through its entry point: open, close,
// reopen ten times, two instances, bad parents and no display, keys to the
// host, the host destroying its window first, the picture against the
// headless drawing of the same state (PICTURES-dll.png, PICTURES-host.png).
// The headless pictures come from a second instance made in this process
// and given the library instance's bank.
// Part 2 links the editor in: a test layout whose every picture is
// compared with the same layout drawn by the headless editor; drags, wheel,
// double-click, keys, the entry box, drawn menus, zenity and the drawn
// fallback box, file and colour dialogs, services, the idle clock
// (PICTURES.png). Part 3 plays the library's editor as the wine rig plays
// the DLL's: a knob (drag, wheel), a button (new, old, new), the program
// arrows (they wrap), the utility menu and its MIDI submenu, the program
// name entry, copy and paste, bank save and load through zenity's file
// dialogs into a folder "Bässe Ω", init with its question answered No and
// Yes; each step's window compared with the headless picture
// (PICTURES-instrument.png; PICTURES-screen.png: a new instance's editor in
// the host window with the utility menu open, docs/editor/linux-host.png).
//
// Each check prints "ok: ..." or "FAILED: ..."; the last line is
// "N passed, N failed".

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The project's headers before Xlib's: its macros (None, Bool, Status)
// would break their declarations.
#include "EditorLayout.h"
#include "IControl.h"
#include "IGraphicsHeadless.h"
#include "IGraphicsX11.h"
#include "IKSControls.h"
#include "IPlugVST.h"
#include "ParamTable.h"
#include "Maker.h"
#include "ProgramCommands.h"
#include "Quarvi.h"
#include "WindowViews.h"
#include "lice/lice.h"
#include "vst2.h"

#include "GuiDriver_posix.h"
#define KeyCode XlibKeyCode
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#undef KeyCode

namespace {

// ---- checks and the log -------------------------------------------------------------

int gPassed = 0, gFailed = 0;

void Check(bool ok, std::string what) {
  for (char& c : what) c = c == '\n' ? ' ' : c;
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
  std::fflush(stdout);
  (ok ? gPassed : gFailed)++;
}

std::string Format(const char* fmt, ...) {
  char buf[1024];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(buf, sizeof(buf), fmt, args);
  va_end(args);
  return buf;
}

std::mutex gLogLock;
std::vector<std::string> gLog;

void Log(const std::string& entry) {
  std::lock_guard<std::mutex> g(gLogLock);
  gLog.push_back(entry);
}
size_t Mark() {
  std::lock_guard<std::mutex> g(gLogLock);
  return gLog.size();
}
std::vector<std::string> Since(size_t mark, std::vector<std::string> prefixes = {}) {
  std::lock_guard<std::mutex> g(gLogLock);
  std::vector<std::string> out;
  for (size_t i = mark; i < gLog.size(); ++i) {
    bool keep = prefixes.empty();
    for (const std::string& p : prefixes) keep = keep || gLog[i].compare(0, p.size(), p) == 0;
    if (keep) out.push_back(gLog[i]);
  }
  return out;
}
bool Logged(size_t mark, const std::string& entry) {
  for (const std::string& e : Since(mark)) {
    if (e == entry) return true;
  }
  return false;
}
void CheckSoon(const std::function<bool()>& cond, const std::function<std::string()>& what, int timeoutMs = 3000) {
  const bool ok = gui::WaitFor(cond, timeoutMs);
  Check(ok, what());
}
std::string Join(const std::vector<std::string>& v) {
  std::string s;
  for (const std::string& e : v) s += (s.empty() ? "" : ", ") + e;
  return "[" + s + "]";
}

// ---- the host -------------------------------------------------------------------------

// The host's user-interface thread (main): its X connection, its windows,
// the editor calls, effEditIdle every idleMs. Work for it comes from the
// script thread through a queue; while an editor sits in a menu or a dialog
// (inside effEditIdle) the queue waits, so the script then only looks and
// types through its own connection.
Display* gHostDpy = nullptr;
int gWake[2] = {-1, -1};
std::mutex gTaskLock;
std::deque<std::function<void()>> gTasks;
std::vector<AEffect*> gIdling;
std::atomic<int> gIdleMs{30};
std::atomic<long> gIdleCalls{0};
std::atomic<bool> gQuit{false};
constexpr int kHostMargin = 40;  // host window area below the editor, for clicks away from it

void Post(std::function<void()> fn) {
  {
    std::lock_guard<std::mutex> g(gTaskLock);
    gTasks.push_back(std::move(fn));
  }
  const char c = 1;
  (void)!write(gWake[1], &c, 1);
}
// Runs fn on the user-interface thread and waits for it.
void OnUi(const std::function<void()>& fn) {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  Post([&] {
    fn();
    std::lock_guard<std::mutex> g(m);
    done = true;
    cv.notify_one();
  });
  std::unique_lock<std::mutex> g(m);
  if (!cv.wait_for(g, std::chrono::seconds(60), [&] { return done; })) {
    // The host's thread is stuck (in a menu or a dialog nobody answers):
    // nothing more can be checked.
    Check(false, "the host's thread answers within a minute");
    std::printf("%d passed, %d failed\n", gPassed, gFailed);
    std::fflush(stdout);
    std::_Exit(1);
  }
}
// Starts fn there without waiting: for calls that sit in a menu or a dialog
// until the script answers.
void StartOnUi(std::function<void()> fn) { Post(std::move(fn)); }

void HostEvent(XEvent& ev) {
  if (ev.type == KeyPress || ev.type == KeyRelease) {
    const KeySym keysym = XLookupKeysym(&ev.xkey, 0);
    const char* name = XKeysymToString(keysym);
    Log(Format("host %s %s", ev.type == KeyPress ? "keydown" : "keyup", name ? name : "?"));
  } else if (ev.type == ButtonPress) {
    // As hosts do: a click on their own window takes the keyboard.
    XSetInputFocus(gHostDpy, ev.xbutton.window, RevertToPointerRoot, CurrentTime);
    Log("host click");
  }
}

void HostLoop() {
  long nextIdle = 0;
  auto now = [] {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count());
  };
  while (!gQuit.load()) {
    pollfd fds[2] = {{ConnectionNumber(gHostDpy), POLLIN, 0}, {gWake[0], POLLIN, 0}};
    const long wait = std::max(0L, nextIdle - now());
    if (XPending(gHostDpy) == 0) poll(fds, 2, static_cast<int>(std::min(wait, 50L)));
    char drain[64];
    while (read(gWake[0], drain, sizeof(drain)) > 0) {
    }
    for (;;) {
      std::function<void()> task;
      {
        std::lock_guard<std::mutex> g(gTaskLock);
        if (gTasks.empty()) break;
        task = std::move(gTasks.front());
        gTasks.pop_front();
      }
      task();
    }
    while (XPending(gHostDpy) > 0) {
      XEvent ev;
      XNextEvent(gHostDpy, &ev);
      HostEvent(ev);
    }
    if (now() >= nextIdle) {
      nextIdle = now() + gIdleMs.load();
      for (AEffect* e : std::vector<AEffect*>(gIdling)) {
        e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
        ++gIdleCalls;
      }
    }
  }
}

VstIntPtr VSTCALLBACK HostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void* ptr, float opt) {
  switch (opcode) {
    case audioMasterVersion: return 2400;
    case audioMasterAutomate: Log(Format("automate %d %.3f", index, opt)); return 0;
    case audioMasterBeginEdit: Log(Format("begin %d", index)); return 1;
    case audioMasterEndEdit: Log(Format("end %d", index)); return 1;
    case audioMasterGetProductString:
      if (ptr) std::snprintf(static_cast<char*>(ptr), 64, "Quarvi GUI rig");
      return 1;
    default: return 0;
  }
}

// A plug-in as the host holds it; every call runs on the user-interface thread.
struct Plugin {
  AEffect* effect = nullptr;
  Window host = 0;
  VstIntPtr Call(VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr) {
    VstIntPtr r = 0;
    AEffect* e = effect;
    OnUi([&] { r = e->dispatcher(e, op, index, value, ptr, 0.0f); });
    return r;
  }
  std::pair<int, int> EditorSize() {
    ERect* rect = nullptr;
    if (Call(effEditGetRect, 0, 0, &rect) != 1 || !rect) return {0, 0};
    return {rect->right - rect->left, rect->bottom - rect->top};
  }
  Window NewHostWindow(int x, int y) {
    const auto size = EditorSize();
    OnUi([&] {
      host = XCreateSimpleWindow(gHostDpy, DefaultRootWindow(gHostDpy), x, y, static_cast<unsigned>(size.first),
                                 static_cast<unsigned>(size.second + kHostMargin), 0, 0, 0xffffff);
      XSelectInput(gHostDpy, host, KeyPressMask | KeyReleaseMask | ButtonPressMask);
      XStoreName(gHostDpy, host, "Quarvi GUI rig");
      XMapWindow(gHostDpy, host);
      XSync(gHostDpy, False);
    });
    gui::WaitFor([&] { return gui::Viewable(host); });
    return host;
  }
  bool OpenEditor(void* parent = nullptr) {
    const bool ok = Call(effEditOpen, 0, 0, parent ? parent : reinterpret_cast<void*>(host)) == 1;
    AEffect* e = effect;
    OnUi([&] {
      if (std::find(gIdling.begin(), gIdling.end(), e) == gIdling.end()) gIdling.push_back(e);
    });
    return ok;
  }
  void CloseEditor() { Call(effEditClose); }
  Window Editor() const {
    const std::vector<Window> c = host ? gui::ChildrenOf(host) : std::vector<Window>{};
    return c.empty() ? 0 : c.front();
  }
  void Close() {
    AEffect* e = effect;
    OnUi([&] {
      gIdling.erase(std::remove(gIdling.begin(), gIdling.end(), e), gIdling.end());
      e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    });
    effect = nullptr;
  }
  std::string ProgramName(int index = -1) {
    char name[256] = {0};
    if (index < 0) Call(effGetProgramName, 0, 0, name);
    else Call(effGetProgramNameIndexed, index, 0, name);
    return name;
  }
  float Param(int index) {
    float v = 0;
    AEffect* e = effect;
    OnUi([&] { v = e->getParameter(e, index); });
    return v;
  }
  std::vector<float> Params() {
    std::vector<float> v;
    AEffect* e = effect;
    OnUi([&] {
      for (int i = 0; i < e->numParams; ++i) v.push_back(e->getParameter(e, i));
    });
    return v;
  }
  void DestroyHostWindow() {
    const Window h = host;
    OnUi([&] {
      XDestroyWindow(gHostDpy, h);
      XSync(gHostDpy, False);
    });
  }
};

// A point of a window on the screen.
std::pair<int, int> At(Window w, int x, int y) {
  const gui::Box b = gui::ScreenBox(w);
  return {b.x + x, b.y + y};
}
void ClickIn(Window w, int x, int y, int button = 1) {
  const auto p = At(w, x, y);
  gui::Click(p.first, p.second, button);
}

// The keys a user presses on the editor: 'q' (a letter the core maps, but
// no control of ours handles) and F1 (no mapping at all) both reach the host.
void CheckKeysReachTheHost(Window editor, int x, int y, const std::string& what) {
  const auto p = At(editor, x, y);
  gui::MoveTo(p.first, p.second);  // no window manager: the key goes to the window under the pointer
  size_t mark = Mark();
  gui::Key(XK_q);
  CheckSoon([&] { return Logged(mark, "host keydown q") && Logged(mark, "host keyup q"); },
            [&] { return what + ": 'q' reaches the host window, down and up " + Join(Since(mark)); });
  mark = Mark();
  gui::Key(XK_F1);
  CheckSoon([&] { return Logged(mark, "host keydown F1"); },
            [&] { return what + ": F1 reaches the host window " + Join(Since(mark)); });
}

// Waits until the window shows exactly the expected picture.
bool Shows(Window w, const gui::Picture& expected, std::string* why, int timeoutMs = 3000) {
  return gui::WaitFor([&] { return gui::Same(gui::Capture(w), expected, why); }, timeoutMs);
}

// Checks that the window comes to show exactly the expected picture.
std::string gPictures;  // the path prefix of the pictures
void CheckShows(Window w, const gui::Picture& expected, const std::string& what, int timeoutMs = 3000) {
  std::string why;
  const bool ok = Shows(w, expected, &why, timeoutMs);
  if (!ok) {
    // Both pictures, for a look at the difference.
    static int failures = 0;
    const std::string base = gPictures + "-failed-" + std::to_string(++failures);
    gui::WritePicture(gui::Capture(w), base + "-window.png");
    gui::WritePicture(expected, base + "-expected.png");
    why += " (pictures " + base + "-window.png, -expected.png)";
  }
  Check(ok, what + ": " + why);
}

int EditorWindowsOf(Window host) { return static_cast<int>(gui::ChildrenOf(host).size()); }

// ---- part 1: the plug-in library through its entry point -------------------------------------

// The headless picture of an instance's state: a second instance of the
// instrument in this process, given the first one's bank (every program,
// the current one as it is now) and its program number, its editor built into the headless window layer and
// drawn as quarvi-picture draws it: opened, the host's idle call, the
// ticks, a full paint.
gui::Picture HeadlessPictureOf(Plugin& p) {
  gui::Picture pic;
  void* chunk = nullptr;
  const VstIntPtr size = p.Call(effGetChunk, 0, 0, &chunk);
  std::string bytes(static_cast<const char*>(chunk), chunk && size > 0 ? static_cast<size_t>(size) : 0);
  const VstIntPtr program = p.Call(effGetProgram);
  OnUi([&] {
    IPlugVST* ref = CreateInstrument(HostCallback);
    AEffect* e = ref->GetAEffect();
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
    auto* g = new IGraphicsHeadless(ref);
    static_cast<Quarvi*>(ref)->InstallEditor(g);
    if (!bytes.empty()) e->dispatcher(e, effSetChunk, 0, static_cast<VstIntPtr>(bytes.size()), &bytes[0], 0.0f);
    e->dispatcher(e, effSetProgram, 0, program, nullptr, 0.0f);
    g->OpenWindow(nullptr);
    e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
    for (int tick = 0; tick < 4 && g->Tick(); ++tick) {
    }
    g->DrawAll();
    pic = gui::FromBitmap(g->BackBuffer(), g->Width(), g->Height());
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
  });
  return pic;
}

void RunLibrary(const std::string& path, const std::string& pictures) {
  std::printf("-- the library %s\n", path.c_str());
  void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  auto entry = lib ? reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(lib, "VSTPluginMain")) : nullptr;
  Check(entry != nullptr, "the library loads and exports VSTPluginMain");
  if (!entry) return;
  auto create = [&] {
    Plugin p;
    OnUi([&] { p.effect = entry(HostCallback); });
    if (p.effect) p.Call(effOpen);
    return p;
  };

  Plugin a = create();
  Check(a.effect && (a.effect->flags & effFlagsHasEditor), "the effect offers an editor");
  const auto size = a.EditorSize();
  Check(size.first == 1072 && size.second == 680, Format("effEditGetRect: %dx%d", size.first, size.second));
  a.Call(effEditIdle);
  Check(a.Call(effEditIdle) == 0, "effEditIdle before effEditOpen is a no-op");

  // Bad parents, no display, a close without open.
  Check(a.Call(effEditOpen, 0, 0, nullptr) == 0, "effEditOpen with no parent window fails");
  Check(a.Call(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(0x7654321))) == 0,
        "effEditOpen with a window id that names no window fails");
  std::string display = getenv("DISPLAY") ? getenv("DISPLAY") : "";
  a.NewHostWindow(10, 10);
  OnUi([] { setenv("DISPLAY", ":199", 1); });
  const VstIntPtr noDisplay = a.Call(effEditOpen, 0, 0, reinterpret_cast<void*>(a.host));
  OnUi([&] { setenv("DISPLAY", display.c_str(), 1); });
  Check(noDisplay == 0 && EditorWindowsOf(a.host) == 0, "effEditOpen fails when no display can be opened");
  a.CloseEditor();
  Check(EditorWindowsOf(a.host) == 0, "effEditClose without open is harmless");

  // Open, keys, the picture.
  Check(a.OpenEditor(), "effEditOpen in the host window");
  Window editor = a.Editor();
  gui::Box box = editor ? gui::ScreenBox(editor) : gui::Box();
  const gui::Box hostBox = gui::ScreenBox(a.host);
  Check(editor && box.w == 1072 && box.h == 680 && box.x == hostBox.x && box.y == hostBox.y &&
            gui::WaitFor([&] { return gui::Viewable(editor); }),
        Format("the editor is a mapped child window of the host, %dx%d at its top left", box.w, box.h));
  if (!editor) return;
  std::string why;
  const gui::Picture expected = HeadlessPictureOf(a);
  CheckShows(editor, expected, "the window shows the headless picture of the same state");
  gui::WritePicture(gui::Capture(editor), pictures + "-dll.png");
  gui::WritePicture(gui::Capture(a.host), pictures + "-host.png");
  CheckKeysReachTheHost(editor, 300, 300, "library");

  // A second open while open replaces the window, keeping its place.
  OnUi([&] {
    XMoveWindow(gHostDpy, editor, 8, 6);
    XSync(gHostDpy, False);
  });
  Check(a.OpenEditor(), "a second effEditOpen while open succeeds");
  const Window replaced = a.Editor();
  box = replaced ? gui::ScreenBox(replaced) : gui::Box();
  // (The new connection may well be given the same window id again.)
  Check(replaced && EditorWindowsOf(a.host) == 1 &&
            box.x == hostBox.x + 8 && box.y == hostBox.y + 6,
        Format("... and replaces the window, keeping its place (%d,%d)", box.x - hostBox.x, box.y - hostBox.y));

  // Open, close and reopen ten times: each window shows the editor.
  bool allGood = true;
  for (int i = 0; i < 10 && allGood; ++i) {
    a.CloseEditor();
    allGood = EditorWindowsOf(a.host) == 0 && a.OpenEditor() &&
              a.Editor() && Shows(a.Editor(), expected, &why);
  }
  Check(allGood, "closed and opened again ten times, each window shows the editor: " + (allGood ? std::string("identical") : why));

  // Two instances' editors at once.
  Plugin b = create();
  b.NewHostWindow(60, 60);
  bool ok = b.OpenEditor() && b.Editor() && a.Editor() && Shows(b.Editor(), expected, &why);
  Check(ok,
        "a second instance's editor opens next to the first: " + why);
  a.CloseEditor();
  ok = b.Editor() && Shows(b.Editor(), expected, &why);
  Check(ok, "closing one of two editors leaves the other working: " + why);
  CheckKeysReachTheHost(b.Editor(), 200, 200, "second instance");
  b.CloseEditor();

  // The host destroys its window while the editor is in it.
  Check(a.OpenEditor(), "editor opened again");
  const Window doomed = a.Editor();
  a.DestroyHostWindow();
  gui::SleepMs(150);  // idle calls meet the vanished window
  a.CloseEditor();
  Check(!gui::Exists(doomed),
        "the host destroyed its window under the editor: idle and effEditClose after it are harmless");
  // ... also when effEditClose follows at once, with no idle call between.
  a.NewHostWindow(10, 10);
  a.OpenEditor();
  const Window host = a.host;
  AEffect* ae = a.effect;
  OnUi([&] {
    XDestroyWindow(gHostDpy, host);
    XSync(gHostDpy, False);
    ae->dispatcher(ae, effEditClose, 0, 0, nullptr, 0.0f);
  });
  Check(!gui::Exists(host), "the host's window destroyed and effEditClose right after it: harmless");
  a.NewHostWindow(10, 10);
  ok = a.OpenEditor() && a.Editor() && Shows(a.Editor(), expected, &why);
  Check(ok,
        "... and the editor opens again in a new window");
  a.DestroyHostWindow();
  a.Close();
  Check(true, "effClose after the host destroyed the window holding the editor is harmless");

  // An instance destroyed while its editor is open closes the window first.
  b.OpenEditor();
  const Window bEditor = b.Editor();
  b.Close();
  Check(bEditor && !gui::Exists(bEditor),
        "effClose with the editor open closes its window");
  b.DestroyHostWindow();
  OnUi([&] { dlclose(lib); });
}

// ---- part 2: the test layout in-process -------------------------------------------------------

constexpr int kRigWidth = 480, kRigHeight = 320;
const Rect kFader(20, 20, 220, 50), kMenuButton(240, 20, 330, 50), kEntryButton(350, 20, 460, 50),
    kAskButton(20, 70, 110, 100), kOpenButton(130, 70, 220, 100), kSaveButton(240, 70, 330, 100),
    kColorButton(350, 70, 460, 100);
constexpr uint32_t kBackground = 0x323232, kTrack = 0x28285A, kBar = 0xE6B428, kButton = 0x5A825A;
std::string gFileFolder;  // with a trailing slash
std::string gBankFolder;  // gFileFolder + "Bässe Ω", no trailing slash
const char* const kBankName = "B\xC3\xA4sse \xCE\xA9.fxb";

void Fill(IGraphics* g, const Rect& r, uint32_t rgb) {
  LICE_FillRect(g->BackBuffer(), r.L, r.T, r.W(), r.H(), rgb | 0xFF000000u, 1.0f, LICE_BLIT_MODE_COPY);
}

class RigControl : public IControl {
 public:
  RigControl(IPlugBase* plug, const Rect& r, uint32_t rgb, const char* label = "")
      : IControl(plug, r), mRgb(rgb), mLabel(label) {
    mText = TextStyle("Verdana", 14, Color(255, 255, 255, 255));
  }
  bool Draw(IGraphics* g) override {
    Fill(g, mRect, mRgb);
    Rect r(mRect.L, mRect.T + (mRect.H() - 16) / 2, mRect.R, mRect.B);
    g->DrawTextInRect(&mText, mLabel, &r);
    return true;
  }
  void OnMouseDown(int, int, const MouseMods&) override {
    if (onDown) onDown(this);
  }
  void OnTextEntered(const char* text) override { Log(std::string("entered ") + text); }
  std::function<void(RigControl*)> onDown;

 private:
  uint32_t mRgb;
  const char* mLabel;
};

class Fader : public IControl {
 public:
  Fader(IPlugBase* plug, const Rect& r, int param) : IControl(plug, r, param) {}
  bool Draw(IGraphics* g) override {
    Fill(g, mRect, kTrack);
    const int w = static_cast<int>(std::lround(GetValue() * mRect.W()));
    if (w > 0) Fill(g, Rect(mRect.L, mRect.T, mRect.L + w, mRect.B), kBar);
    return true;
  }
  void OnMouseDrag(int, int, int dX, int, const MouseMods& mods) override {
    Log(mods.S ? "drag shift" : "drag");
    SetValue(GetValue() + dX * (mods.S ? 0.001 : 0.01));
    SetDirty(true);
  }
  void OnMouseWheel(int, int, const MouseMods&, int d) override {
    Log(Format("wheel %d", d));
    SetValue(GetValue() + 0.1 * d);
    SetDirty(true);
  }
  bool OnKeyDown(int, int, int key) override {
    Log(Format("key %d", key));
    return false;
  }
};

// The menu of the menu button; submenus returned for naming the choice.
std::unique_ptr<PopupMenu> TestMenu(const PopupMenu** first, const PopupMenu** second) {
  auto root = std::make_unique<PopupMenu>();
  root->AddItem("Alpha", PopupMenuItem::kChecked);
  root->AddItem("Beta", PopupMenuItem::kDisabled);
  root->AddSeparator();
  auto f = std::make_unique<PopupMenu>();
  f->AddItem("One");
  f->AddItem("Two");
  auto s = std::make_unique<PopupMenu>(2);
  s->AddItem("Red");
  s->AddItem("Green");
  s->AddItem("Blue", PopupMenuItem::kTitle);
  *first = f.get();
  *second = s.get();
  root->AddSubmenu("First", std::move(f));
  root->AddSubmenu("Second", std::move(s));
  root->AddItem("Last");
  return root;
}

void BuildTestLayout(IGraphics* g, IPlugBase* plug) {
  g->AddControl(new RigControl(plug, Rect(0, 0, kRigWidth, kRigHeight), kBackground));
  g->AddControl(new Fader(plug, kFader, 0));
  auto* menu = static_cast<RigControl*>(g->AddControl(new RigControl(plug, kMenuButton, kButton, "Menu")));
  menu->onDown = [g](RigControl*) {
    const PopupMenu *first = nullptr, *second = nullptr;
    std::unique_ptr<PopupMenu> root = TestMenu(&first, &second);
    PopupMenu* chosen = g->ShowPopupMenu(root.get(), kMenuButton);
    const char* name = chosen == root.get() ? "root" : chosen == first ? "First" : chosen == second ? "Second" : "?";
    Log(chosen ? Format("menu %s %d", name, chosen->GetChosenItemIdx()) : "menu none");
  };
  auto* entry = static_cast<RigControl*>(g->AddControl(new RigControl(plug, kEntryButton, kButton, "Entry")));
  entry->SetTextEntryLength(12);
  entry->onDown = [g](RigControl* c) { g->ShowValueEntry(c, c->Style(), kEntryButton, "abc", nullptr); };
  auto* ask = static_cast<RigControl*>(g->AddControl(new RigControl(plug, kAskButton, kButton, "Ask")));
  ask->onDown = [g](RigControl*) {
    Log(Format("answer %d", g->ShowMessageBox("Replace the program?", "Quarvi", MB_TYPE_YESNO)));
  };
  auto* open = static_cast<RigControl*>(g->AddControl(new RigControl(plug, kOpenButton, kButton, "Open")));
  open->onDown = [g](RigControl*) {
    std::string name, folder = gFileFolder;
    g->AskForFile(&name, kFileOpen, &folder, "fxp fxb");
    Log("open " + name + " | " + folder);
  };
  auto* save = static_cast<RigControl*>(g->AddControl(new RigControl(plug, kSaveButton, kButton, "Save")));
  save->onDown = [g](RigControl*) {
    std::string name = kBankName, folder = gFileFolder;
    g->AskForFile(&name, kFileSave, &folder, "fxb");
    Log("save " + name + " | " + folder);
  };
  auto* color = static_cast<RigControl*>(g->AddControl(new RigControl(plug, kColorButton, kButton, "Colour")));
  color->onDown = [g](RigControl*) {
    Color c(255, 10, 20, 30);
    Log(g->AskForColor(&c, "Pick a colour") ? "colour chosen" : "colour none");
  };
}

// The plug-in of part 2: one parameter, the test layout; with headless
// set, the same layout in the headless editor (the reference pictures).
class RigPlug : public IPlugVST {
 public:
  RigPlug(audioMasterCallback host, bool headless)
      : IPlugVST(host, 1, "0-2", 1, "Quarvi GUI rig", "", "Kestrel Sound Music", 0x00020004, 0x33333135, 0,
                 true, true, true) {
    GetParam(0)->SetupDouble("Level", 0.5, 0.0, 1.0, 0.001, 1.0);
    IGraphics* g = headless ? static_cast<IGraphics*>(new IGraphicsHeadless(this, kRigWidth, kRigHeight))
                            : new IGraphicsX11(this, kRigWidth, kRigHeight);
    BuildTestLayout(g, this);
    AttachEditor(g);
  }
  ~RigPlug() override { DestroyEditor(); }
};

double LastAutomation(const std::vector<std::string>& entries) {
  double v = -1.0;
  for (const std::string& e : entries) {
    int index = 0;
    double x = 0;
    if (std::sscanf(e.c_str(), "automate %d %lf", &index, &x) == 2) v = x;
  }
  return v;
}

bool IsGesture(const std::vector<std::string>& host, int param = 0) {
  const std::string begin = Format("begin %d", param), end = Format("end %d", param),
                    automate = Format("automate %d ", param);
  if (host.size() < 3 || host.front() != begin || host.back() != end) return false;
  for (size_t i = 1; i + 1 < host.size(); ++i) {
    if (host[i].compare(0, automate.size(), automate) != 0) return false;
  }
  return true;
}

// The reference picture: the headless editor with the fader at value.
std::unique_ptr<RigPlug> gMirror;
gui::Picture Reference(double value) {
  gui::Picture p;
  OnUi([&] {
    auto* g = static_cast<IGraphicsHeadless*>(gMirror->GetGUI());
    g->SetControlsFromParam(0, value, true);
    g->DrawAll();
    p = gui::FromBitmap(g->BackBuffer(), kRigWidth, kRigHeight);
  });
  return p;
}

// Drawn pictures of what the window layer shows itself.
gui::Picture MenuPicture(const PopupMenu& menu, int highlight) {
  const windowviews::MenuLayout layout = windowviews::LayoutMenu(menu);
  LICE_MemBitmap bitmap(layout.width, layout.height);
  windowviews::PaintMenu(&bitmap, menu, layout, highlight);
  return gui::FromBitmap(&bitmap, layout.width, layout.height);
}
gui::Picture EntryPicture(TextStyle style, const windowlogic::TextEntryModel& model, int w, int h) {
  LICE_MemBitmap bitmap(w, h);
  windowviews::PaintEntry(&bitmap, w, h, &style, model);
  return gui::FromBitmap(&bitmap, w, h);
}
std::vector<Window> Menus() { return gui::TopLevels("quarvi-menu"); }

int gZenityMisses = 0;
Window WaitForZenity(const char* title, int timeoutMs = 8000) {
  Window w = 0;
  gui::WaitFor(
      [&] {
        const std::vector<Window> found = gui::TopLevels("zenity", title);
        w = found.empty() ? 0 : found.back();
        return w != 0;
      },
      timeoutMs);
  if (w) gui::SleepMs(400);  // GTK takes keys only once it has drawn
  else gui::WritePicture(gui::Capture(gui::Root()), gPictures + "-no-zenity-" + std::to_string(++gZenityMisses) + ".png");
  return w;
}

void RunTestLayout(const std::string& pictures) {
  std::printf("-- the test layout in-process\n");
  Plugin p;
  OnUi([&] {
    p.effect = (new RigPlug(HostCallback, false))->GetAEffect();
    gMirror = std::make_unique<RigPlug>(HostCallback, true);
  });
  p.Call(effOpen);
  auto* g = static_cast<IGraphicsX11*>(static_cast<IPlugVST*>(p.effect->object)->GetGUI());
  const auto size = p.EditorSize();
  Check(size.first == kRigWidth && size.second == kRigHeight, Format("effEditGetRect: %dx%d", size.first, size.second));
  p.NewHostWindow(10, 10);
  Check(p.OpenEditor(), "effEditOpen");
  const Window editor = p.Editor();
  if (!editor) return;
  bool shm = false;
  OnUi([&] { shm = g->UsesSharedMemory(); });
  Check(shm, "the window is presented through MIT-SHM");
  const int fy = (kFader.T + kFader.B) / 2;
  auto at = [&](int x, int y) { return At(editor, x, y); };
  std::string why;
  CheckShows(editor, Reference(0.5), "the first cycles paint the layout, as the headless editor draws it");

  // Drags: begin, automation, end, in order; Shift for fine steps.
  size_t mark = Mark();
  auto a0 = at(120, fy), a1 = at(150, fy);
  gui::Drag(a0.first, a0.second, a1.first, a1.second, 6, false);
  gui::WaitFor([&] { return Logged(mark, "end 0"); });
  std::vector<std::string> host = Since(mark, {"begin", "automate", "end"});
  Check(IsGesture(host) && std::fabs(LastAutomation(host) - 0.8) < 1e-3,
        "a drag of 30 pixels sends begin, automate... and end to the host, ending at 0.800: " + Join(host));
  CheckShows(editor, Reference(0.8), "the window shows the fader at 0.800 as the headless editor does");
  gui::WritePicture(gui::Capture(editor), pictures + ".png");

  mark = Mark();
  a0 = at(150, fy);
  a1 = at(110, fy);
  gui::Drag(a0.first, a0.second, a1.first, a1.second, 4, true);
  gui::WaitFor([&] { return Logged(mark, "end 0"); });
  host = Since(mark, {"begin", "automate", "end"});
  const std::vector<std::string> drags = Since(mark, {"drag"});
  bool allShift = !drags.empty();
  for (const std::string& d : drags) allShift = allShift && d == "drag shift";
  Check(IsGesture(host) && allShift && std::fabs(LastAutomation(host) - 0.76) < 1e-3,
        "a drag with Shift held moves in fine steps (0.760): " + Join(Since(mark, {"drag", "end", "begin"})));

  // The wheel: buttons 4 and 5 one notch each, 6 and 7 (sideways) nothing.
  const struct {
    int button;
    const char* logged;
    double value;
  } wheels[] = {{4, "wheel 1", 0.86}, {5, "wheel -1", 0.76}};
  for (const auto& w : wheels) {
    mark = Mark();
    a0 = at(100, fy);
    gui::Wheel(a0.first, a0.second, w.button);
    CheckSoon([&] { return Since(mark, {"wheel"}) == std::vector<std::string>{w.logged} &&
                           std::fabs(LastAutomation(Since(mark)) - w.value) < 1e-3; },
              [&] { return Format("wheel button %d turns one notch: ", w.button) + Join(Since(mark)); });
  }
  mark = Mark();
  gui::Wheel(a0.first, a0.second, 6);
  gui::Wheel(a0.first, a0.second, 7);
  gui::SleepMs(150);
  Check(Since(mark, {"wheel", "automate"}).empty(), "wheel buttons 6 and 7 (sideways) turn nothing");

  // Double-click (the desktop's time and distance) returns the fader to
  // the value it started with.
  mark = Mark();
  gui::DoubleClick(a0.first, a0.second);
  CheckSoon([&] { return std::fabs(LastAutomation(Since(mark)) - 0.5) < 1e-3; },
            [&] { return "a double-click resets the fader to 0.500: " + Join(Since(mark, {"automate"})); });
  CheckShows(editor, Reference(0.5), "... and shows it");

  // Keys: 'q' goes through the core as key 31 (unhandled), F1 straight on.
  mark = Mark();
  CheckKeysReachTheHost(editor, 100, fy, "test layout");
  Check(Logged(mark, "key 31") && Since(mark, {"key "}).size() == 1,
        "'q' reached the control under the mouse as key 31 first; F1 did not " + Join(Since(mark, {"key "})));

  // The entry box.
  TextStyle entryStyle;
  OnUi([&] { entryStyle = g->GetControl(3)->Style(); });
  entryStyle.font = nullptr;
  const int ew = kEntryButton.W() + 1, eh = kEntryButton.H() + 1;
  auto entryWindow = [&] {
    const std::vector<Window> c = gui::ChildrenOf(editor);
    return c.empty() ? Window(0) : c.back();
  };
  auto openEntry = [&](const char* what) {
    ClickIn(editor, 400, 35);
    Window box = 0;
    gui::WaitFor([&] { return (box = entryWindow()) != 0 && gui::Viewable(box); });
    windowlogic::TextEntryModel model;
    model.Reset("abc", 12);
    const gui::Box b = box ? gui::ScreenBox(box) : gui::Box();
    const auto e = at(kEntryButton.L, kEntryButton.T);
    const bool ok = box && b.x == e.first && b.y == e.second && b.w == ew && b.h == eh &&
                    Shows(box, EntryPicture(entryStyle, model, ew, eh), &why);
    Check(ok,
          std::string("the entry box opens over the control (") + what + "), \"abc\" selected: " + why);
    return box;
  };
  auto entryClosed = [&] { return gui::WaitFor([&] { return entryWindow() == 0; }); };

  mark = Mark();
  Window box = openEntry("editing keys");
  // Typing replaces the selection; then Home, Delete, End, more text,
  // Left, Backspace, Right, one more character.
  windowlogic::TextEntryModel model;
  model.Reset("abc", 12);
  const std::string accented = "\xC3\xA4 \xCE\xA9";  // "ä Ω"
  gui::Type("xyz");
  model.Insert("xyz");
  gui::Key(XK_Home);
  model.Home();
  gui::Key(XK_Delete);
  model.Delete();
  gui::Key(XK_End);
  model.End();
  gui::Type(accented);
  model.Insert(accented);
  gui::Key(XK_Left);
  model.Left();
  gui::Key(XK_BackSpace);
  model.Backspace();
  gui::Key(XK_Right);
  model.Right();
  gui::Type("!");
  model.Insert("!");
  bool ok = model.Text() == "yz\xC3\xA4\xCE\xA9!" && box && Shows(box, EntryPicture(entryStyle, model, ew, eh), &why);
  Check(ok,
        "typing, Home, Delete, End, UTF-8, Left, Backspace, Right: the box shows \"" + model.Text() + "\": " + why);
  gui::Key(XK_Return);
  CheckSoon([&] { return entryClosed() && Logged(mark, "entered yz\xC3\xA4\xCE\xA9!"); },
            [&] { return "Enter commits the text " + Join(Since(mark, {"entered"})); });

  mark = Mark();
  openEntry("limit");
  gui::Type("0123456789ABCDEF");
  gui::Key(XK_Return);
  CheckSoon([&] { return entryClosed() && Logged(mark, "entered 0123456789AB"); },
            [&] { return "the box takes 12 characters, its control's limit " + Join(Since(mark, {"entered"})); });

  mark = Mark();
  openEntry("Escape");
  gui::Type("no");
  gui::Key(XK_Escape);
  Check(entryClosed() && Since(mark, {"entered"}).empty(), "Escape closes the entry without a text");

  mark = Mark();
  openEntry("click");
  gui::Type("zz");
  ClickIn(editor, 200, 250);
  Check(entryClosed() && Since(mark, {"entered"}).empty(), "a click on the editor closes the entry without a text");

  mark = Mark();
  openEntry("focus");
  gui::Type("fx");
  ClickIn(p.host, 200, kRigHeight + kHostMargin / 2);
  CheckSoon([&] { return entryClosed() && Logged(mark, "entered fx"); }, [&] {
    return "a click on the host's window (focus elsewhere) commits \"fx\" " + Join(Since(mark, {"entered", "host"}));
  });
  CheckShows(editor, Reference(0.5), "the editor under the closed box is painted again");

  // Menus, drawn by us: what they show, where, keyboard and mouse.
  const PopupMenu *first = nullptr, *second = nullptr;
  std::unique_ptr<PopupMenu> expected = TestMenu(&first, &second);
  mark = Mark();
  ClickIn(editor, 280, 35);
  std::vector<Window> menus;
  gui::WaitFor([&] { return (menus = Menus()).size() == 1; });
  const gui::Box mb = menus.empty() ? gui::Box() : gui::ScreenBox(menus[0]);
  const auto below = at(kMenuButton.L, kMenuButton.B);
  ok = !menus.empty() && Shows(menus[0], MenuPicture(*expected, -1), &why);
  Check(ok,
        "the menu shows its items (check mark, grayed item, separator, submenu arrows): " + why);
  Check(mb.x == below.first && mb.y == below.second, "... at the control's bottom left corner");
  for (int i = 0; i < 4; ++i) gui::Key(XK_Down);  // Alpha, Beta, (separator), First, Second
  ok = !menus.empty() && Shows(menus[0], MenuPicture(*expected, 4), &why);
  Check(ok, "Down moves to \"Second\", past the separator: " + why);
  gui::Key(XK_Right);
  gui::WaitFor([&] { return (menus = Menus()).size() == 2; });
  ok = menus.size() == 2 && Shows(menus[1], MenuPicture(*second, 0), &why);
  Check(ok,
        "Right opens the submenu, numbered \"%02d: \", on its first item: " + why);
  gui::Key(XK_Left);
  const bool leftCloses = gui::WaitFor([&] { return Menus().size() == 1; });
  gui::Key(XK_Right);
  Check(leftCloses && gui::WaitFor([&] { return Menus().size() == 2; }), "Left closes the submenu, Right opens it again");
  gui::Key(XK_Down);
  gui::Key(XK_Return);
  CheckSoon([&] { return Since(mark, {"menu"}) == std::vector<std::string>{"menu Second 1"}; },
            [&] { return "Enter on Green returns the second submenu with position 1: " + Join(Since(mark, {"menu"})); });
  Check(gui::WaitFor([&] { return Menus().empty(); }), "the menu is gone");

  mark = Mark();
  ClickIn(editor, 280, 35);
  gui::WaitFor([&] { return (menus = Menus()).size() == 1; });
  const auto item = [&](size_t level, int index) {
    const gui::Box b = gui::ScreenBox(Menus()[level]);
    const windowviews::MenuLayout l = windowviews::LayoutMenu(level == 0 ? *expected : *first);
    const Rect& r = l.items[static_cast<size_t>(index)];
    return std::make_pair(b.x + (r.L + r.R) / 2, b.y + (r.T + r.B) / 2);
  };
  auto beta = item(0, 1);
  gui::Click(beta.first, beta.second);
  gui::SleepMs(100);
  Check(Menus().size() == 1 && Since(mark, {"menu"}).empty(), "a click on a grayed item chooses nothing");
  auto firstItem = item(0, 3);
  gui::MoveTo(firstItem.first, firstItem.second);
  Check(gui::WaitFor([&] { return Menus().size() == 2; }), "resting on \"First\" opens its submenu");
  auto two = item(1, 1);
  gui::MoveTo(two.first, firstItem.second);
  gui::Click(two.first, two.second);
  CheckSoon([&] { return Since(mark, {"menu"}) == std::vector<std::string>{"menu First 1"}; },
            [&] { return "a click on \"Two\" returns the first submenu with position 1: " + Join(Since(mark, {"menu"})); });

  mark = Mark();
  ClickIn(editor, 280, 35);
  gui::WaitFor([&] { return Menus().size() == 1; });
  gui::Key(XK_Escape);
  Check(gui::WaitFor([&] { return Logged(mark, "menu none"); }), "a menu closed with Escape chooses nothing");
  mark = Mark();
  ClickIn(editor, 280, 35);
  gui::WaitFor([&] { return Menus().size() == 1; });
  ClickIn(p.host, 400, kRigHeight + kHostMargin / 2);
  Check(gui::WaitFor([&] { return Logged(mark, "menu none") && Menus().empty(); }) && !Logged(mark, "host click"),
        "a click outside closes the menu with no choice (and goes nowhere else)");

  // Near the screen's corner the menu opens where it fits.
  const int sw = DisplayWidth(gui::Dpy(), DefaultScreen(gui::Dpy())),
            sh = DisplayHeight(gui::Dpy(), DefaultScreen(gui::Dpy()));
  OnUi([&] {
    XMoveWindow(gHostDpy, p.host, sw - kMenuButton.R - 20, sh - kMenuButton.B - 10);
    XSync(gHostDpy, False);
  });
  gui::SleepMs(100);
  mark = Mark();
  ClickIn(editor, 280, 35);
  gui::WaitFor([&] { return (menus = Menus()).size() == 1; });
  gui::Key(XK_Down);
  gui::Key(XK_Down);
  gui::Key(XK_Down);
  gui::Key(XK_Right);
  gui::WaitFor([&] { return (menus = Menus()).size() == 2; });
  bool onScreen = menus.size() == 2;
  for (Window m : menus) {
    const gui::Box b = gui::ScreenBox(m);
    onScreen = onScreen && b.x >= 0 && b.y >= 0 && b.x + b.w <= sw && b.y + b.h <= sh;
  }
  Check(onScreen, "at the screen's corner the menu and its submenu open where they stay on the screen");
  gui::Key(XK_Escape);
  gui::Key(XK_Escape);
  gui::WaitFor([&] { return Logged(mark, "menu none"); });
  OnUi([&] {
    XMoveWindow(gHostDpy, p.host, 10, 10);
    XSync(gHostDpy, False);
  });
  gui::SleepMs(100);

  // A message box in zenity, transient for the host's window; the editor
  // keeps painting while it is open.
  const struct {
    KeySym key;
    const char* logged;
  } answers[] = {{XK_Return, "answer 6"}, {XK_Escape, "answer 7"}};
  const gui::Picture atHalf = Reference(0.5);
  for (const auto& a : answers) {
    mark = Mark();
    ClickIn(editor, 60, 85);
    const Window z = WaitForZenity("Quarvi");
    Check(z && gui::TransientFor(z) == p.host, "the question opens in zenity, transient for the host's window");
    if (!z) continue;
    if (a.key == XK_Return) {
      // Scribbled over and exposed, the editor paints itself again.
      GC gc = XCreateGC(gui::Dpy(), editor, 0, nullptr);
      XSetForeground(gui::Dpy(), gc, 0xff00ff);
      XFillRectangle(gui::Dpy(), editor, gc, 0, 0, kRigWidth, kRigHeight);
      XFreeGC(gui::Dpy(), gc);
      XClearArea(gui::Dpy(), editor, 0, 0, 0, 0, True);
      CheckShows(editor, atHalf, "while the dialog is open the editor still repaints itself");
    }
    gui::Focus(z);
    gui::Key(a.key);
    CheckSoon([&] { return Logged(mark, a.logged); },
              [&] { return std::string("its answer comes back: ") + Join(Since(mark, {"answer"})); }, 5000);
  }

  // Without zenity or kdialog: the box is drawn in the editor, and a file
  // dialog says there is none.
  const std::string path = getenv("PATH") ? getenv("PATH") : "";
  OnUi([] { setenv("PATH", "/nonexistent", 1); });
  mark = Mark();
  ClickIn(editor, 60, 85);
  Window drawn = 0;
  gui::WaitFor([&] { return (drawn = entryWindow()) != 0 && gui::Viewable(drawn); });
  const windowviews::MessageBoxLayout layout =
      windowviews::LayoutMessageBox("Replace the program?", "Quarvi", MB_TYPE_YESNO, std::min(460, kRigWidth - 40));
  LICE_MemBitmap boxBitmap(layout.width, layout.height);
  windowviews::PaintMessageBox(&boxBitmap, layout, "Quarvi", 0, -1);
  ok = drawn && Shows(drawn, gui::FromBitmap(&boxBitmap, layout.width, layout.height), &why);
  Check(ok,
        "without a dialog program the question is drawn in the editor: " + why);
  gui::Key(XK_Right);
  gui::Key(XK_Return);
  CheckSoon([&] { return Logged(mark, "answer 7") && entryWindow() == 0; },
            [&] { return "Right and Enter answer No " + Join(Since(mark, {"answer"})); });
  mark = Mark();
  ClickIn(editor, 175, 85);
  gui::WaitFor([&] { return (drawn = entryWindow()) != 0 && gui::Viewable(drawn); });
  gui::Key(XK_Return);
  CheckSoon([&] { return Logged(mark, "open  | " + gFileFolder); },
            [&] { return "a file dialog without a program says so and is cancelled " + Join(Since(mark, {"open"})); });
  OnUi([&] { setenv("PATH", path.c_str(), 1); });

  // File dialogs in zenity: the chosen file comes back as its full path
  // (UTF-8); cancel gives an empty name; a saved name gets its extension.
  mark = Mark();
  ClickIn(editor, 175, 85);
  Window z = WaitForZenity("Open");
  Check(z != 0, "the open dialog appears in zenity");
  if (z) {
    gui::SleepMs(600);
    gui::Focus(z);
    gui::Type(gFileFolder + kBankName);
    gui::SleepMs(300);
    gui::Key(XK_Return);
  }
  CheckSoon([&] { return Logged(mark, "open " + gFileFolder + kBankName + " | " + gFileFolder); },
            [&] { return "the file typed in the open dialog comes back as its full path: " + Join(Since(mark, {"open"})); },
            8000);
  mark = Mark();
  ClickIn(editor, 175, 85);
  if ((z = WaitForZenity("Open"))) {
    gui::Focus(z);
    gui::Key(XK_Escape);
  }
  CheckSoon([&] { return Logged(mark, "open  | " + gFileFolder); },
            [&] { return "a cancelled open dialog gives an empty name: " + Join(Since(mark, {"open"})); }, 8000);
  mark = Mark();
  ClickIn(editor, 285, 85);
  if ((z = WaitForZenity("Save As"))) {
    gui::SleepMs(600);
    gui::Focus(z);
    gui::Type("Neu");
    gui::Key(XK_Return);
  }
  CheckSoon([&] { return Logged(mark, "save " + gFileFolder + "Neu.fxb | " + gFileFolder); },
            [&] { return "a name saved without an extension gets .fxb: " + Join(Since(mark, {"save"})); }, 8000);
  mark = Mark();
  ClickIn(editor, 400, 85);
  if ((z = WaitForZenity("Pick a colour"))) {
    gui::Focus(z);
    gui::Key(XK_Escape);
  }
  Check(z && gui::WaitFor([&] { return Logged(mark, "colour none"); }, 5000),
        "the colour dialog carries the prompt as its title; cancelled, it returns false");

  // System services: folders, the clipboard, the hidden cursor, a web link
  // the user declines.
  std::string hostFolder, pluginFolder, desktop, appData, commonAppData;
  OnUi([&] {
    g->HostFolder(&hostFolder);
    g->PluginFolder(&pluginFolder);
    g->DesktopFolder(&desktop);
    g->UserAppDataFolder(&appData);
    g->AppDataFolder(&commonAppData, true);
  });
  char exe[4096] = {0};
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  const std::string exeFolder = std::string(exe, n > 0 ? static_cast<size_t>(n) : 0u).substr(0, std::string(exe).rfind('/') + 1);
  Check(hostFolder == exeFolder && pluginFolder == exeFolder && !desktop.empty() && !appData.empty() &&
            commonAppData == "/etc/xdg",
        "folders: host and plug-in " + hostFolder + ", desktop " + desktop + ", application data " + appData + " and " +
            commonAppData);

  const std::string unicode = "B\xC3\xA4sse \xCE\xA9";
  Display* u = gui::Dpy();
  const Window owner = XCreateSimpleWindow(u, gui::Root(), 0, 0, 1, 1, 0, 0, 0);
  const Atom clipboard = XInternAtom(u, "CLIPBOARD", False), utf8 = XInternAtom(u, "UTF8_STRING", False);
  XSetSelectionOwner(u, clipboard, owner, CurrentTime);
  XSync(u, False);
  std::atomic<bool> clipDone{false};
  std::string clip;
  bool clipOk = false;
  StartOnUi([&] {
    clipOk = g->ClipboardText(&clip);
    clipDone = true;
  });
  // The owner answers the request (the user's connection serves it).
  while (!clipDone.load()) {
    while (XPending(u) > 0) {
      XEvent ev;
      XNextEvent(u, &ev);
      if (ev.type != SelectionRequest) continue;
      XSelectionEvent reply;
      std::memset(&reply, 0, sizeof(reply));
      reply.type = SelectionNotify;
      reply.requestor = ev.xselectionrequest.requestor;
      reply.selection = ev.xselectionrequest.selection;
      reply.target = ev.xselectionrequest.target;
      reply.time = ev.xselectionrequest.time;
      reply.property = None;
      if (ev.xselectionrequest.target == utf8) {
        XChangeProperty(u, reply.requestor, ev.xselectionrequest.property, utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(unicode.data()), static_cast<int>(unicode.size()));
        reply.property = ev.xselectionrequest.property;
      }
      XSendEvent(u, reply.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
      XFlush(u);
    }
    gui::SleepMs(5);
  }
  XDestroyWindow(u, owner);
  Check(clipOk && clip == unicode, "the clipboard's UTF8_STRING text comes back: " + clip);

  const auto before = at(300, 200);
  gui::MoveTo(before.first, before.second);
  OnUi([&] { g->HideCursor(); });
  gui::MoveTo(5, 5);
  OnUi([&] { g->ShowCursor(); });
  Window r = 0, c = 0;
  int rx = 0, ry = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  XQueryPointer(u, gui::Root(), &r, &c, &rx, &ry, &wx, &wy, &mask);
  Check(rx == before.first && ry == before.second, "the cursor shown again is back where it was hidden");

  mark = Mark();
  StartOnUi([g] {
    Log(g->OpenUrl("http://quarvi.invalid/", "Quarvi", "Open the web page?", "No connection.") ? "url opened"
                                                                                             : "url refused");
  });
  if ((z = WaitForZenity("Quarvi"))) {
    gui::Focus(z);
    gui::Key(XK_Escape);
  }
  CheckSoon([&] { return Logged(mark, "url refused"); },
            [&] { return "a web link asks first; No opens nothing " + Join(Since(mark, {"url"})); }, 5000);

  // The redraw cycle runs by the clock: 25 a second when the host calls
  // idle every 20 ms, one per call when it calls every 66 ms.
  const struct {
    int idleMs, low, high;
  } rates[] = {{20, 22, 27}, {66, 13, 16}};
  for (const auto& rate : rates) {
    gIdleMs = rate.idleMs;
    gui::SleepMs(300);
    int c0 = 0, c1 = 0;
    OnUi([&] { c0 = g->Cycles(); });
    gui::SleepMs(1000);
    OnUi([&] { c1 = g->Cycles(); });
    Check(c1 - c0 >= rate.low && c1 - c0 <= rate.high,
          Format("idle every %d ms: %d redraw cycles in a second", rate.idleMs, c1 - c0));
  }
  gIdleMs = 30;

  // Resizing (the editor never does it, but the path works).
  OnUi([&] { g->Resize(kRigWidth + 20, kRigHeight + 10); });
  gui::SleepMs(100);
  const gui::Box grown = gui::ScreenBox(editor), hostGrown = gui::ScreenBox(p.host);
  Check(grown.w == kRigWidth + 20 && grown.h == kRigHeight + 10 && hostGrown.w == kRigWidth + 20 &&
            hostGrown.h == kRigHeight + 10 + kHostMargin && p.EditorSize().first == kRigWidth + 20,
        Format("Resize grows the editor to %dx%d and the host window by the same", grown.w, grown.h));

  p.Close();
  p.DestroyHostWindow();
  OnUi([] { gMirror.reset(); });
}


// ---- part 3: the library's editor played by a user ------------------------------------------

// The rows of the layout table this part clicks.
int RowOf(LayoutKind kind, int param) {
  for (int i = 0; i < kEditorControlCount; ++i) {
    const LayoutControl& c = kEditorControls[i];
    if (c.kind == kind && (param == LayoutCommand::kNone || c.param == param) && !c.startsHidden) return i;
  }
  return -1;
}
std::pair<int, int> CenterOf(const LayoutRect& r) { return {(r.L + r.R) / 2, (r.T + r.B) / 2}; }

// The utility menu as IKSOptionMenu builds it for an instance without a
// copied program or a startup bank.
std::unique_ptr<PopupMenu> UtilityMenu() {
  auto m = std::make_unique<PopupMenu>();
  const int none = PopupMenuItem::kNoFlags, off = PopupMenuItem::kDisabled;
  for (const char* t : {"Copy Program", "Paste Program", "Init Program", "", "Load Program", "Save Program",
                        "Load Bank", "Save Bank", "", "Select Startup Bank", "Load Startup Bank",
                        "Unselect Startup Bank", "", "Default Path for Program Files"}) {
    const std::string text = t;
    if (text.empty()) m->AddSeparator();
    else m->AddItem(text, text == "Paste Program" || text == "Load Startup Bank" || text == "Unselect Startup Bank" ? off : none);
  }
  auto midi = std::make_unique<PopupMenu>();
  midi->AddItem("MIDI Thru");
  midi->AddItem("Ignore Program Change");
  m->AddSubmenu("Global MIDI Settings...", std::move(midi));
  m->AddItem("Reload Configuration");
  m->AddItem("Save Configuration");
  m->AddSeparator();
  auto online = std::make_unique<PopupMenu>();
  online->AddItem("Check Online for Update");
  online->AddItem(std::string("Visit ") + kMakerWebSiteName);
  m->AddSubmenu("Go Online...", std::move(online));
  return m;
}

// A picture of the screen around some windows (a host window and the menus
// open over it).
gui::Picture ScreenAround(const std::vector<Window>& windows, int margin) {
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -(1 << 30), y1 = -(1 << 30);
  for (Window w : windows) {
    const gui::Box b = gui::ScreenBox(w);
    x0 = std::min(x0, b.x - margin);
    y0 = std::min(y0, b.y - margin);
    x1 = std::max(x1, b.x + b.w + margin);
    y1 = std::max(y1, b.y + b.h + margin);
  }
  const gui::Picture screen = gui::Capture(gui::Root());
  x0 = std::max(0, x0);
  y0 = std::max(0, y0);
  gui::Picture p;
  p.width = std::min(screen.width, x1) - x0;
  p.height = std::min(screen.height, y1) - y0;
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) p.pixels.push_back(screen.At(x0 + x, y0 + y));
  }
  return p;
}

// Opens the utility menu and moves its highlight to an item with Down.
bool OpenUtilityAt(Window editor, int item) {
  const auto util = CenterOf(kEditorControls[LayoutIndex::kUtilityMenu].rect);
  ClickIn(editor, util.first, util.second);
  if (!gui::WaitFor([&] { return Menus().size() == 1; })) return false;
  const std::unique_ptr<PopupMenu> menu = UtilityMenu();
  for (int at = windowviews::NextMenuItem(*menu, -1, 1);; at = windowviews::NextMenuItem(*menu, at, 1)) {
    gui::Key(XK_Down);
    if (at == item || at < 0) break;
  }
  return true;
}

// Chooses the item of a command (and, for the MIDI settings, the submenu
// item) with the keyboard.
void ChooseUtility(Plugin&, Window editor, int command) {
  const bool midi = command >= IKSOptionMenu::kMidiFirstCommand && command < IKSOptionMenu::kOnlineFirstCommand;
  if (!OpenUtilityAt(editor, midi ? IKSOptionMenu::kMidiSubmenuItem : command)) return;
  if (midi) {
    gui::Key(XK_Right);  // on the submenu's first item
    for (int i = IKSOptionMenu::kMidiFirstCommand; i < command; ++i) gui::Key(XK_Down);
  }
  gui::Key(XK_Return);
}

// Answers the zenity question with this title by a key (Return: Yes).
bool AnswerZenity(const char* title, KeySym key) {
  const Window z = WaitForZenity(title);
  if (!z) return false;
  gui::Focus(z);
  gui::Key(key);
  return gui::WaitFor([&] { return gui::TopLevels("zenity", title).empty(); }, 5000);
}

// No error box came up (one that did is answered).
bool NoErrorBox() {
  gui::SleepMs(150);
  const std::vector<Window> errors = gui::TopLevels("zenity", "Error");
  for (Window e : errors) {
    gui::Focus(e);
    gui::Key(XK_Return);
  }
  return errors.empty();
}

bool FileStartsWith(const std::string& path, const char* magic) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  char head[4] = {0};
  const bool ok = std::fread(head, 1, 4, f) == 4 && std::memcmp(head, magic, 4) == 0;
  std::fclose(f);
  return ok;
}

// The arrows wrap: 0 back to 63, 63 on to 0.
void CheckProgramArrows(Plugin& p, Window editor) {
  const auto next = CenterOf(kEditorControls[LayoutIndex::kNextProgram].rect);
  const auto prev = CenterOf(kEditorControls[LayoutIndex::kPreviousProgram].rect);
  const struct {
    std::pair<int, int> arrow;
    int program;
  } steps[] = {{next, 1}, {prev, 0}, {prev, 63}, {next, 0}};
  for (const auto& s : steps) {
    ClickIn(editor, s.arrow.first, s.arrow.second);
    CheckSoon([&] { return p.Call(effGetProgram) == s.program; },
              [&] { return Format("%s arrow: program %d", s.arrow == next ? "the next" : "the previous",
                                  static_cast<int>(p.Call(effGetProgram))); });
  }
  CheckShows(editor, HeadlessPictureOf(p), "the program display shows program 0 again");
}

// The utility menu as it shows, and "MIDI Thru" checked the next time
// after it was chosen.
void CheckUtilityMenu(Plugin& p, Window editor) {
  const auto util = CenterOf(kEditorControls[LayoutIndex::kUtilityMenu].rect);
  ClickIn(editor, util.first, util.second);
  std::vector<Window> menus;
  gui::WaitFor([&] { return (menus = Menus()).size() == 1; });
  std::unique_ptr<PopupMenu> utility = UtilityMenu();
  const auto click = At(editor, util.first, util.second);
  const gui::Box box = menus.empty() ? gui::Box() : gui::ScreenBox(menus[0]);
  Check(box.x == click.first && box.y == click.second, "a click on MENU opens the utility menu at the click");
  if (!menus.empty()) CheckShows(menus[0], MenuPicture(*utility, -1), "the utility menu shows its items");
  gui::Key(XK_Escape);
  gui::WaitFor([&] { return Menus().empty(); });

  ChooseUtility(p, editor, kCmdMidiThru);
  gui::WaitFor([&] { return Menus().empty(); });
  OpenUtilityAt(editor, IKSOptionMenu::kMidiSubmenuItem);
  gui::Key(XK_Right);
  gui::WaitFor([&] { return (menus = Menus()).size() == 2; });
  PopupMenu* midi = utility->GetItem(IKSOptionMenu::kMidiSubmenuItem)->submenu.get();
  midi->SetItemFlag(0, PopupMenuItem::kChecked, true);
  if (menus.size() == 2) {
    CheckShows(menus[1], MenuPicture(*midi, 0), "\"MIDI Thru\" chosen in the MIDI submenu shows its check mark the next time");
  } else {
    Check(false, "the MIDI submenu opens on Right");
  }
  for (int i = 0; i < 2; ++i) gui::Key(XK_Escape);
  Check(gui::WaitFor([&] { return Menus().empty(); }), "Escape closes the submenu, then the menu");
}

// The program name entry: Enter and a click on the host's window commit,
// Escape and a click on the editor cancel; the name holds at most 27 bytes
// of UTF-8, never cut inside a character.
void CheckNameEntry(Plugin& p, Window editor) {
  const std::string longName = "B\xC3\xA4sse \xCE\xA9 with a long name\xCE\xA9!!xyz";
  const std::string kept = "B\xC3\xA4sse \xCE\xA9 with a long name";
  const std::string renamed = "B\xC3\xA4sse \xCE\xA9";
  const struct {
    const char* how;
    std::string typed;
    std::function<void()> finish;
    std::string becomes;  // empty: the name stays
  } cases[] = {
      {"Enter", longName, [] { gui::Key(XK_Return); }, kept},
      {"Escape", "no", [] { gui::Key(XK_Escape); }, ""},
      {"a click on the editor", "zz", [&] { ClickIn(editor, 700, 50); }, ""},
      {"a click on the host's window", renamed, [&] { ClickIn(p.host, 200, kEditorHeight + kHostMargin / 2); }, renamed},
  };
  for (const auto& c : cases) {
    const std::string before = p.ProgramName();
    ClickIn(editor, kProgramNameRect.L + 20, (kProgramNameRect.T + kProgramNameRect.B) / 2);
    const bool opened = gui::WaitFor([&] { return gui::ChildrenOf(editor).size() == 1; });
    const size_t mark = Mark();
    gui::Type(c.typed);
    c.finish();
    const std::string expected = c.becomes.empty() ? before : c.becomes;
    const bool closed = gui::WaitFor([&] { return gui::ChildrenOf(editor).empty(); });
    CheckSoon([&] { return opened && closed && p.ProgramName() == expected; }, [&] {
      return std::string("the name entry, typing and ") + c.how + (c.becomes.empty() ? " keeps" : " renames") +
             " the program: \"" + p.ProgramName() + "\" " + Join(Since(mark, {"host"}));
    });
  }
  CheckShows(editor, HeadlessPictureOf(p), "the program display shows the new name");
}

// Copy on program 0 (before its rename), paste into 1 (asked first):
// program 1 gets the copied values and program 0's name as it is now.
void CheckCopyPaste(Plugin& p, Window editor, const std::vector<float>& copied) {
  const auto next = CenterOf(kEditorControls[LayoutIndex::kNextProgram].rect);
  ClickIn(editor, next.first, next.second);
  gui::WaitFor([&] { return p.Call(effGetProgram) == 1; });
  const std::string name0 = p.ProgramName(0);
  ChooseUtility(p, editor, kCmdPasteProgram);
  Check(AnswerZenity("Paste Program", XK_Return), "\"Paste Program\" asks in zenity; Yes");
  CheckSoon([&] { return p.ProgramName() == name0 && p.Params() == copied; },
            [&] { return "program 1 gets the copied values and program 0's name as it is now: \"" + p.ProgramName() + "\""; });
  CheckShows(editor, HeadlessPictureOf(p), "the editor shows the pasted program");
}

// Save Bank into the folder "Bässe Ω" (the path typed in the save dialog),
// again into the same file (the dialog starts there; the name gets its
// extension and replacing the file asks first), a change, Load Bank
// cancelled, then Load Bank of the file: the change is undone.
void CheckBankFiles(Plugin& p, Window editor) {
  const int volume = FindParamIndex("Volume");
  const std::string path = gBankFolder + "/Quarvi.fxb";
  const float saved = p.Param(volume);
  ChooseUtility(p, editor, kCmdSaveBank);
  Window z = WaitForZenity("Save As");
  if (z) {
    gui::Focus(z);
    gui::Type(path);
    gui::Key(XK_Return);
  }
  CheckSoon([&] { return z && FileStartsWith(path, "CcnK"); },
            [&] { return "Save Bank with the path typed in zenity's save dialog writes " + path; }, 8000);
  Check(NoErrorBox(), "... without an error");

  // Again: the dialog starts in that folder with "Quarvi", which the file
  // chooser completes to the file there; replacing it asks first (the file
  // chooser's own question, or ours when the name had no extension).
  ChooseUtility(p, editor, kCmdSaveBank);
  Window question = 0;
  if ((z = WaitForZenity("Save As"))) {
    gui::Focus(z);
    gui::Key(XK_Return);
    gui::WaitFor([&] {
      for (Window w : gui::TopLevels("zenity")) {
        if (w != z && gui::NameOf(w) != "Save As") question = w;
      }
      return question != 0;
    }, 5000);
  }
  if (question) {
    gui::SleepMs(300);
    gui::Focus(question);
    gui::Key(XK_Return);
  }
  Check(question && gui::WaitFor([&] { return gui::TopLevels("zenity").empty(); }, 5000) && NoErrorBox() &&
            FileStartsWith(path, "CcnK"),
        "Save Bank again into the same file asks before replacing it; Yes saves it");

  OnUi([&] { p.effect->setParameter(p.effect, volume, 0.1f); });
  ChooseUtility(p, editor, kCmdLoadBank);
  if ((z = WaitForZenity("Open"))) {
    gui::Focus(z);
    gui::Key(XK_Escape);
  }
  Check(z && gui::WaitFor([&] { return gui::TopLevels("zenity").empty(); }, 5000) && NoErrorBox() &&
            std::fabs(p.Param(volume) - 0.1f) < 1e-3,
        "a cancelled Load Bank changes nothing and says nothing");
  ChooseUtility(p, editor, kCmdLoadBank);
  if ((z = WaitForZenity("Open"))) {
    gui::SleepMs(500);
    gui::Focus(z);
    gui::Type("Quarvi.fxb");
    gui::SleepMs(300);
    gui::Key(XK_Return);
  }
  CheckSoon([&] { return z && std::fabs(p.Param(volume) - saved) < 1e-3; }, [&] {
    return Format("Load Bank of Quarvi.fxb (the dialog starts in the folder of the last save) brings \"Volume\" "
                  "back from 0.100 to %.3f", p.Param(volume));
  }, 8000);
  Check(NoErrorBox(), "... without an error");
}

void CheckInitProgram(Plugin& p, Window editor) {
  const std::string before = p.ProgramName();
  const std::vector<float> values = p.Params();
  ChooseUtility(p, editor, kCmdInitProgram);
  Check(AnswerZenity("Initialize Program", XK_Escape) && p.ProgramName() == before && p.Params() == values,
        "\"Init Program\" asks in zenity; No leaves the program as it was");
  ChooseUtility(p, editor, kCmdInitProgram);
  Check(AnswerZenity("Initialize Program", XK_Return), "... asked again, Yes");
  CheckSoon([&] { return p.ProgramName() == "Init"; }, [&] { return "... names the program \"" + p.ProgramName() + "\""; });
  CheckShows(editor, HeadlessPictureOf(p), "the editor shows the initialised program");
}

void RunInstrument(const std::string& path, const std::string& pictures) {
  std::printf("-- the library's editor played by a user\n");
  void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  auto entry = lib ? reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(lib, "VSTPluginMain")) : nullptr;
  if (!entry) return;
  Plugin p;
  OnUi([&] { p.effect = entry(HostCallback); });
  p.Call(effOpen);
  p.NewHostWindow(10, 10);
  Check(p.OpenEditor(), "effEditOpen");
  const Window editor = p.Editor();
  if (!editor) return;
  CheckShows(editor, HeadlessPictureOf(p), "the full editor, as the headless window layer draws it");

  // The picture for the documentation: the host window with the utility
  // menu open over it, on the factory program a new instance opens with.
  const auto util = CenterOf(kEditorControls[LayoutIndex::kUtilityMenu].rect);
  ClickIn(editor, util.first, util.second);
  if (gui::WaitFor([&] { return Menus().size() == 1; })) {
    for (int i = 0; i < 3; ++i) gui::Key(XK_Down);
    gui::SleepMs(100);
    std::vector<Window> shown = Menus();
    shown.push_back(p.host);
    gui::WritePicture(ScreenAround(shown, 10), pictures + "-screen.png");
    gui::Key(XK_Escape);
    gui::WaitFor([&] { return Menus().empty(); });
  }

  // A knob: dragged, then a wheel notch.
  const int volume = FindParamIndex("Volume");
  const LayoutControl& knob = kEditorControls[RowOf(LayoutKind::Knob, volume)];
  const auto k = CenterOf(knob.rect);
  size_t mark = Mark();
  auto a0 = At(editor, k.first, k.second), a1 = At(editor, k.first, k.second - 20);
  gui::Drag(a0.first, a0.second, a1.first, a1.second, 5, false);
  gui::WaitFor([&] { return Logged(mark, Format("end %d", volume)); });
  Check(IsGesture(Since(mark, {"begin", "automate", "end"}), volume),
        "the Volume knob dragged up sends begin, automate... and end: " + Join(Since(mark, {"begin", "automate", "end"})));
  mark = Mark();
  gui::Wheel(a1.first, a1.second, 4);
  CheckSoon([&] { return !Since(mark, {Format("automate %d ", volume)}).empty(); },
            [&] { return "a wheel notch on it automates it: " + Join(Since(mark)); });
  CheckShows(editor, HeadlessPictureOf(p), "the knob shows its new value");

  // A button: the host records new, old, new.
  const LayoutControl& button = kEditorControls[RowOf(LayoutKind::ButtonKick, LayoutCommand::kNone)];
  mark = Mark();
  const auto b = CenterOf(button.rect);
  ClickIn(editor, b.first, b.second);
  const std::string bp = Format("automate %d ", button.param);
  CheckSoon([&] {
              const std::vector<std::string> w = Since(mark, {bp});
              return w.size() == 3 && w[0] == w[2] && w[0] != w[1];
            },
            [&] { return "a button click writes new, old, new to the host: " + Join(Since(mark, {bp})); });
  CheckShows(editor, HeadlessPictureOf(p), "the button shows its new state");

  CheckProgramArrows(p, editor);
  CheckUtilityMenu(p, editor);
  const std::vector<float> copied = p.Params();
  ChooseUtility(p, editor, kCmdCopyProgram);
  CheckNameEntry(p, editor);
  CheckCopyPaste(p, editor, copied);
  CheckBankFiles(p, editor);
  CheckInitProgram(p, editor);
  CheckShows(editor, HeadlessPictureOf(p), "after all that the window still shows what the headless editor draws");
  gui::WritePicture(gui::Capture(editor), pictures + "-instrument.png");

  p.Close();
  p.DestroyHostWindow();
  OnUi([&] { dlclose(lib); });
}

// A folder with a bank file whose name is not ASCII, for the file dialogs.
void MakeFileFolder() {
  const char* tmp = getenv("TMPDIR");
  gFileFolder = std::string(tmp && *tmp ? tmp : "/tmp") + "/quarvi-gui-rig-" + std::to_string(getpid()) + "/";
  mkdir(gFileFolder.c_str(), 0700);
  gBankFolder = gFileFolder + "B\xC3\xA4sse \xCE\xA9";
  mkdir(gBankFolder.c_str(), 0700);
  if (FILE* f = std::fopen((gFileFolder + kBankName).c_str(), "wb")) {
    std::fwrite("CcnK", 1, 4, f);
    std::fclose(f);
  }
}

void RemoveFileFolder() {
  std::remove((gFileFolder + kBankName).c_str());
  std::remove((gFileFolder + "Neu.fxb").c_str());
  std::remove((gBankFolder + "/Quarvi.fxb").c_str());
  rmdir(gBankFolder.c_str());
  rmdir(gFileFolder.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: quarvi-gui-rig LIBRARY.so PICTURES (PICTURES.png, PICTURES-dll.png, ...)\n");
    return 2;
  }
  const std::string library = argv[1], pictures = argv[2];
  gHostDpy = XOpenDisplay(nullptr);
  if (!gHostDpy || !gui::Begin() || pipe2(gWake, O_NONBLOCK | O_CLOEXEC) != 0) {
    std::fprintf(stderr, "quarvi-gui-rig: no X display (or no XTest)\n");
    return 2;
  }
  gPictures = pictures;
  MakeFileFolder();
  std::thread user([&] {
    RunLibrary(library, pictures);
    RunTestLayout(pictures);
    RunInstrument(library, pictures);
    gQuit = true;
    const char c = 0;
    (void)!write(gWake[1], &c, 1);
  });
  HostLoop();
  user.join();
  RemoveFileFolder();
  gui::End();
  XCloseDisplay(gHostDpy);
  std::printf("%d passed, %d failed\n", gPassed, gFailed);
  return gFailed == 0 ? 0 : 1;
}
