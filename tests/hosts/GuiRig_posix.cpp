// quarvi-gui-rig (Linux): the X11 part of the GUI rig (the scenarios are
// GuiScenarios.cpp), under Xvfb in the test step.
//
//   quarvi-gui-rig LIBRARY.so PICTURES
//
// A host with its own X connection that calls effEditIdle from its loop;
// zenity found and answered; every picture the headless window layer's
// drawing of the same state. Its own checks: no display, and a test layout
// linked in (PICTURES.png), compared picture by picture with the same
// layout in the headless editor. Pictures: PICTURES-dll.png and
// PICTURES-host.png (the first editor), PICTURES-screen.png (a new
// instance with the utility menu open: docs/editor/linux-host.png),
// PICTURES-instrument.png (the editor after all that).

#include <dirent.h>
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
#include "GuiScenarios.h"
#include "IControl.h"
#include "IGraphicsHeadless.h"
#include "IGraphicsX11.h"
#include "IKSControls.h"
#include "IPlugVST.h"
#include "Quarvi.h"
#include "WindowViews.h"
#include "lice/lice.h"

#include "GuiDriver_posix.h"
#define KeyCode XlibKeyCode
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#undef KeyCode

namespace rig {

using gui::Check;
using gui::CheckSoon;
using gui::Format;
using gui::Join;
using gui::Log;
using gui::Logged;
using gui::Mark;
using gui::Point;
using gui::Since;

std::string gBankFolder;  // gFileFolder + "Bässe Ω"
const char kSeparator = '/';
const bool kQuestionTextRead = false;

namespace {

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
std::atomic<int> gIdleMs{30};
std::atomic<bool> gQuit{false};
int gSocketsAtStart = 0;

void Post(std::function<void()> fn) {
  {
    std::lock_guard<std::mutex> g(gTaskLock);
    gTasks.push_back(std::move(fn));
  }
  const char c = 1;
  (void)!write(gWake[1], &c, 1);
}

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
      IdleEditors();
    }
  }
}

int OpenSockets() {
  int n = 0;
  DIR* dir = opendir("/proc/self/fd");
  while (dirent* e = dir ? readdir(dir) : nullptr) {
    char link[64] = {0};
    const std::string fd = std::string("/proc/self/fd/") + e->d_name;
    if (readlink(fd.c_str(), link, sizeof(link) - 1) > 0 && std::strncmp(link, "socket:", 7) == 0) ++n;
  }
  if (dir) closedir(dir);
  return n;
}

Point At(Win w, int x, int y) {
  const gui::Box b = gui::ClientBox(w);
  return Point{b.x + x, b.y + y};
}
void ClickIn(Win w, int x, int y) { gui::Click(At(w, x, y)); }

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
  else gui::WritePicture(gui::Capture(gui::Root()), gFailedPictures + "-no-zenity-" + std::to_string(++gZenityMisses) + ".png");
  return w;
}

}  // namespace

// ==== what the scenarios ask of the platform ===============================================

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
    gui::Summary();
    std::_Exit(1);
  }
}

void StartOnUi(std::function<void()> fn) { Post(std::move(fn)); }

Win CreateHostWindow(int x, int y, int w, int h) {
  const Window host = XCreateSimpleWindow(gHostDpy, DefaultRootWindow(gHostDpy), x, y, static_cast<unsigned>(w),
                                          static_cast<unsigned>(h), 0, 0, 0xffffff);
  XSelectInput(gHostDpy, host, KeyPressMask | KeyReleaseMask | ButtonPressMask);
  XStoreName(gHostDpy, host, "Quarvi GUI rig");
  XMapWindow(gHostDpy, host);
  XSync(gHostDpy, False);
  return host;
}

void DestroyHostWindow(Win host) {
  XDestroyWindow(gHostDpy, host);
  XSync(gHostDpy, False);
}

void MoveChild(Win child, int x, int y) {
  XMoveWindow(gHostDpy, child, x, y);
  XSync(gHostDpy, False);
}

std::vector<Win> EditorWindows(Win host) {
  const std::vector<Window> c = gui::ChildrenOf(host);
  return std::vector<Win>(c.begin(), c.end());
}

gui::Picture Capture(Win w) { return gui::Capture(w); }
gui::Picture CaptureScreen(const gui::Box& b) {
  return gui::Capture(gui::Root()).Crop(b.x, b.y, b.x + b.w, b.y + b.h);
}

Library OpenLibrary(const std::string& path) {
  Library lib;
  lib.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib.handle) lib.entry = reinterpret_cast<VstPluginMainProc>(dlsym(lib.handle, "VSTPluginMain"));
  return lib;
}
void CloseLibrary(const Library& library) { dlclose(library.handle); }
int WindowLayerHoldings(const Library&) { return OpenSockets() - gSocketsAtStart; }

std::string ExeFolder() {
  char exe[4096] = {0};
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  const std::string path(exe, n > 0 ? static_cast<size_t>(n) : 0u);
  return path.substr(0, path.rfind('/') + 1);
}

// The headless picture of an instance's state: a second instance of the
// instrument in this process, given the first one's bank (every program,
// the current one as it is now) and its program number, its editor built
// into the headless window layer and drawn as quarvi-picture draws it:
// opened, the host's idle call, the ticks, a full paint.
gui::Picture Reference(Plugin& p, Win) {
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

gui::Picture Look(const Editor&, const LayoutRect&) { return gui::Picture(); }

bool ShowsState(const Editor& ed, const LayoutRect&, const gui::Picture&, bool, std::string* why) {
  return Shows(ed.wnd, Reference(ed.p, ed.wnd), why);
}

std::vector<Win> Menus() {
  const std::vector<Window> m = gui::TopLevels("quarvi-menu");
  return std::vector<Win>(m.begin(), m.end());
}

bool MenuShows(Win menu, const PopupMenu& items, int highlight, std::string* why) {
  return Shows(menu, MenuPicture(items, highlight), why);
}

bool HighlightMenuItem(Win menu, const PopupMenu& items, int item) {
  // Where the highlight is, told by the picture; after a key, once it moved.
  std::vector<gui::Picture> pictures;
  for (int h = -1; h < items.NItems(); ++h) pictures.push_back(MenuPicture(items, h));
  auto highlighted = [&](int before) {
    int at = -2;
    gui::WaitFor([&] {
      const gui::Picture now = gui::Capture(menu);
      at = -2;
      for (int h = -1; h < items.NItems() && at == -2; ++h) at = now == pictures[h + 1] ? h : -2;
      return at != -2 && at != before;
    }, 1000);
    return at;
  };
  int at = highlighted(-2);
  for (int n = 0; at != -2 && at != item && n <= items.NItems(); ++n) {
    gui::Press(gui::Key::Down);
    at = highlighted(at);
  }
  return at == item;
}

Win EntryBox(Win editor) {
  const std::vector<Window> c = gui::ChildrenOf(editor);
  return !c.empty() && gui::Viewable(c.back()) ? c.back() : 0;
}

bool EntryBoxHolds(Win box, const std::string& text, std::string* why) {
  // As the program name's control asks for it.
  TextStyle style("Arial", 15, Color(160, 255, 255, 255));
  style.font = nullptr;
  windowlogic::TextEntryModel model;
  model.Reset(text, IKSPresetMenu::kNameLength);
  const gui::Box b = gui::ClientBox(box);
  return Shows(box, EntryPicture(style, model, b.w, b.h), why);
}

Question Answer(const char* title, bool yes) {
  Question q;
  const Window z = WaitForZenity(title);
  if (!z) return q;
  q.shown = true;
  q.owner = gui::TransientFor(z);
  gui::Focus(z);
  gui::Press(yes ? gui::Key::Return : gui::Key::Escape);
  gui::WaitFor([&] { return gui::TopLevels("zenity", title).empty(); }, 5000);
  return q;
}

bool Dismiss(const char* title) {
  const Window z = WaitForZenity(title);
  if (z) {
    gui::Focus(z);
    gui::Press(gui::Key::Escape);
  }
  return z != 0;
}

bool UseFileDialog(bool save, const std::string* typed, bool cancel) {
  const Window z = WaitForZenity(save ? "Save As" : "Open");
  if (!z) return false;
  if (typed && !save) gui::SleepMs(500);
  gui::Focus(z);
  if (cancel) {
    gui::Press(gui::Key::Escape);
    return true;
  }
  if (typed) gui::Type(*typed);
  if (typed && !save) gui::SleepMs(300);
  gui::Press(gui::Key::Return);
  return true;
}

// The file chooser's own question, or ours when the name had no extension.
bool AnswerReplace(std::string* text) {
  Window question = 0;
  gui::WaitFor([&] {
    for (Window w : gui::TopLevels("zenity")) {
      if (gui::NameOf(w) != "Save As") question = w;
    }
    return question != 0;
  }, 5000);
  if (!question) return false;
  *text = gui::NameOf(question);
  gui::SleepMs(300);
  gui::Focus(question);
  gui::Press(gui::Key::Return);
  return true;
}

bool DialogsGone() {
  return gui::WaitFor([&] { return gui::TopLevels("zenity").empty(); }, 5000);
}

bool NoErrorBox() {
  gui::SleepMs(150);
  const std::vector<Window> errors = gui::TopLevels("zenity", "Error");
  for (Window e : errors) {
    gui::Focus(e);
    gui::Press(gui::Key::Return);
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

bool ClipboardRoundTrip(IGraphics* g, Win, const std::string& text, std::string* got) {
  Display* u = gui::Dpy();
  const Window owner = XCreateSimpleWindow(u, gui::Root(), 0, 0, 1, 1, 0, 0, 0);
  const Atom clipboard = XInternAtom(u, "CLIPBOARD", False), utf8 = XInternAtom(u, "UTF8_STRING", False);
  XSetSelectionOwner(u, clipboard, owner, CurrentTime);
  XSync(u, False);
  std::atomic<bool> done{false};
  bool ok = false;
  StartOnUi([&] {
    ok = g->ClipboardText(got);
    done = true;
  });
  // The owner answers the request (the user's connection serves it).
  while (!done.load()) {
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
                        reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
        reply.property = ev.xselectionrequest.property;
      }
      XSendEvent(u, reply.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
      XFlush(u);
    }
    gui::SleepMs(5);
  }
  XDestroyWindow(u, owner);
  return ok;
}

bool CommonAppDataFolderOk(const std::string& common, const std::string&) { return common == "/etc/xdg"; }

namespace {

// ---- part 2: the test layout in-process -------------------------------------------------------

constexpr int kRigWidth = 480, kRigHeight = 320;
const Rect kFader(20, 20, 220, 50), kMenuButton(240, 20, 330, 50), kEntryButton(350, 20, 460, 50),
    kAskButton(20, 70, 110, 100), kOpenButton(130, 70, 220, 100), kSaveButton(240, 70, 330, 100),
    kColorButton(350, 70, 460, 100);
constexpr uint32_t kBackground = 0x323232, kTrack = 0x28285A, kBar = 0xE6B428, kButton = 0x5A825A;
std::string gFileFolder;  // with a trailing slash
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

// The reference picture: the headless editor with the fader at value.
std::unique_ptr<RigPlug> gMirror;
gui::Picture LayoutPicture(double value) {
  gui::Picture p;
  OnUi([&] {
    auto* g = static_cast<IGraphicsHeadless*>(gMirror->GetGUI());
    g->SetControlsFromParam(0, value, true);
    g->DrawAll();
    p = gui::FromBitmap(g->BackBuffer(), kRigWidth, kRigHeight);
  });
  return p;
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
  int w = 0, h = 0;
  p.EditorSize(&w, &h);
  Check(w == kRigWidth && h == kRigHeight, Format("effEditGetRect: %dx%d", w, h));
  p.NewHostWindow(10, 10);
  Check(p.OpenEditor(), "effEditOpen");
  const Window editor = p.EditorWindow();
  if (!editor) return;
  bool shm = false;
  OnUi([&] { shm = g->UsesSharedMemory(); });
  Check(shm, "the window is presented through MIT-SHM");
  const int fy = (kFader.T + kFader.B) / 2;
  auto at = [&](int x, int y) { return At(editor, x, y); };
  std::string why;
  CheckShows(editor, LayoutPicture(0.5), "the first cycles paint the layout, as the headless editor draws it");

  // Drags: begin, automation, end, in order; Shift for fine steps.
  size_t mark = Mark();
  auto a0 = at(120, fy), a1 = at(150, fy);
  gui::Drag(a0, a1, 6, false);
  gui::WaitFor([&] { return Logged(mark, "end 0"); });
  std::vector<std::string> host = Since(mark, {"begin", "automate", "end"});
  double last = -1.0;
  Check(IsGesture(mark, 0, &last) && std::fabs(last - 0.8) < 1e-3,
        "a drag of 30 pixels sends begin, automate... and end to the host, ending at 0.800: " + Join(host));
  CheckShows(editor, LayoutPicture(0.8), "the window shows the fader at 0.800 as the headless editor does");
  gui::WritePicture(gui::Capture(editor), pictures + ".png");

  mark = Mark();
  a0 = at(150, fy);
  a1 = at(110, fy);
  gui::Drag(a0, a1, 4, true);
  gui::WaitFor([&] { return Logged(mark, "end 0"); });
  const std::vector<std::string> drags = Since(mark, {"drag"});
  bool allShift = !drags.empty();
  for (const std::string& d : drags) allShift = allShift && d == "drag shift";
  Check(IsGesture(mark, 0, &last) && allShift && std::fabs(last - 0.76) < 1e-3,
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
    gui::WheelButton(a0, w.button);
    CheckSoon([&] { return Since(mark, {"wheel"}) == std::vector<std::string>{w.logged} &&
                           std::fabs(LastAutomation(Since(mark)) - w.value) < 1e-3; },
              [&] { return Format("wheel button %d turns one notch: ", w.button) + Join(Since(mark)); });
  }
  mark = Mark();
  gui::WheelButton(a0, 6);
  gui::WheelButton(a0, 7);
  gui::SleepMs(150);
  Check(Since(mark, {"wheel", "automate"}).empty(), "wheel buttons 6 and 7 (sideways) turn nothing");

  // Double-click (the desktop's time and distance) returns the fader to
  // the value it started with.
  mark = Mark();
  gui::DoubleClick(a0);
  CheckSoon([&] { return std::fabs(LastAutomation(Since(mark)) - 0.5) < 1e-3; },
            [&] { return "a double-click resets the fader to 0.500: " + Join(Since(mark, {"automate"})); });
  CheckShows(editor, LayoutPicture(0.5), "... and shows it");

  // Keys: 'q' goes through the core as key 31 (unhandled), F1 straight on.
  mark = Mark();
  CheckKeysReachTheHost(At(editor, 100, fy), "test layout");
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
    const gui::Box b = box ? gui::ClientBox(box) : gui::Box();
    const auto e = at(kEntryButton.L, kEntryButton.T);
    const bool ok = box && b.x == e.x && b.y == e.y && b.w == ew && b.h == eh &&
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
  gui::KeySymbol(XK_Home);
  model.Home();
  gui::KeySymbol(XK_Delete);
  model.Delete();
  gui::KeySymbol(XK_End);
  model.End();
  gui::Type(accented);
  model.Insert(accented);
  gui::KeySymbol(XK_Left);
  model.Left();
  gui::KeySymbol(XK_BackSpace);
  model.Backspace();
  gui::KeySymbol(XK_Right);
  model.Right();
  gui::Type("!");
  model.Insert("!");
  bool ok = model.Text() == "yz\xC3\xA4\xCE\xA9!" && box && Shows(box, EntryPicture(entryStyle, model, ew, eh), &why);
  Check(ok,
        "typing, Home, Delete, End, UTF-8, Left, Backspace, Right: the box shows \"" + model.Text() + "\": " + why);
  gui::KeySymbol(XK_Return);
  CheckSoon([&] { return entryClosed() && Logged(mark, "entered yz\xC3\xA4\xCE\xA9!"); },
            [&] { return "Enter commits the text " + Join(Since(mark, {"entered"})); });

  mark = Mark();
  openEntry("limit");
  gui::Type("0123456789ABCDEF");
  gui::KeySymbol(XK_Return);
  CheckSoon([&] { return entryClosed() && Logged(mark, "entered 0123456789AB"); },
            [&] { return "the box takes 12 characters, its control's limit " + Join(Since(mark, {"entered"})); });

  mark = Mark();
  openEntry("Escape");
  gui::Type("no");
  gui::KeySymbol(XK_Escape);
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
  CheckShows(editor, LayoutPicture(0.5), "the editor under the closed box is painted again");

  // Menus, drawn by us: what they show, where, keyboard and mouse.
  const PopupMenu *first = nullptr, *second = nullptr;
  std::unique_ptr<PopupMenu> expected = TestMenu(&first, &second);
  const Point menuButton = at(280, 35), below = at(kMenuButton.L, kMenuButton.B);
  mark = Mark();
  const Win menu = OpenMenuAt(menuButton);
  CheckMenu(menu, *expected, -1, "the menu shows its items (check mark, grayed item, separator, submenu arrows): ");
  const gui::Box mb = gui::ClientBox(menu);
  Check(menu && mb.x == below.x && mb.y == below.y, "... at the control's bottom left corner");
  for (int i = 0; i < 4; ++i) gui::KeySymbol(XK_Down);  // Alpha, Beta, (separator), First, Second
  CheckMenu(menu, *expected, 4, "Down moves to \"Second\", past the separator: ");
  gui::KeySymbol(XK_Right);
  std::vector<Win> menus;
  gui::WaitFor([&] { return (menus = Menus()).size() == 2; });
  CheckMenu(menus.size() == 2 ? menus[1] : 0, *second, 0,
            "Right opens the submenu, numbered \"%02d: \", on its first item: ");
  gui::KeySymbol(XK_Left);
  const bool leftCloses = gui::WaitFor([&] { return Menus().size() == 1; });
  gui::KeySymbol(XK_Right);
  Check(leftCloses && gui::WaitFor([&] { return Menus().size() == 2; }), "Left closes the submenu, Right opens it again");
  gui::KeySymbol(XK_Down);
  gui::KeySymbol(XK_Return);
  CheckSoon([&] { return Since(mark, {"menu"}) == std::vector<std::string>{"menu Second 1"}; },
            [&] { return "Enter on Green returns the second submenu with position 1: " + Join(Since(mark, {"menu"})); });
  Check(gui::WaitFor([&] { return Menus().empty(); }), "the menu is gone");

  mark = Mark();
  OpenMenuAt(menuButton);
  const auto item = [&](size_t level, int index) {
    const gui::Box b = gui::ClientBox(Menus()[level]);
    const windowviews::MenuLayout l = windowviews::LayoutMenu(level == 0 ? *expected : *first);
    const Rect& r = l.items[static_cast<size_t>(index)];
    return Point{b.x + (r.L + r.R) / 2, b.y + (r.T + r.B) / 2};
  };
  auto beta = item(0, 1);
  gui::Click(beta);
  gui::SleepMs(100);
  Check(Menus().size() == 1 && Since(mark, {"menu"}).empty(), "a click on a grayed item chooses nothing");
  auto firstItem = item(0, 3);
  gui::MoveTo({firstItem.x, firstItem.y});
  Check(gui::WaitFor([&] { return Menus().size() == 2; }), "resting on \"First\" opens its submenu");
  auto two = item(1, 1);
  gui::MoveTo({two.x, firstItem.y});
  gui::Click(two);
  CheckSoon([&] { return Since(mark, {"menu"}) == std::vector<std::string>{"menu First 1"}; },
            [&] { return "a click on \"Two\" returns the first submenu with position 1: " + Join(Since(mark, {"menu"})); });

  mark = Mark();
  OpenMenuAt(menuButton);
  gui::KeySymbol(XK_Escape);
  Check(gui::WaitFor([&] { return Logged(mark, "menu none"); }), "a menu closed with Escape chooses nothing");
  mark = Mark();
  OpenMenuAt(menuButton);
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
  OpenMenuAt(at(280, 35));
  for (int i = 0; i < 3; ++i) gui::KeySymbol(XK_Down);
  gui::KeySymbol(XK_Right);
  gui::WaitFor([&] { return (menus = Menus()).size() == 2; });
  bool onScreen = menus.size() == 2;
  for (Win m : menus) {
    const gui::Box b = gui::ClientBox(m);
    onScreen = onScreen && b.x >= 0 && b.y >= 0 && b.x + b.w <= sw && b.y + b.h <= sh;
  }
  Check(onScreen, "at the screen's corner the menu and its submenu open where they stay on the screen");
  gui::KeySymbol(XK_Escape);
  gui::KeySymbol(XK_Escape);
  gui::WaitFor([&] { return Logged(mark, "menu none"); });
  OnUi([&] {
    XMoveWindow(gHostDpy, p.host, 10, 10);
    XSync(gHostDpy, False);
  });
  gui::SleepMs(100);

  // A message box in zenity, transient for the host's window; the editor
  // keeps painting while it is open.
  const gui::Picture atHalf = LayoutPicture(0.5);
  for (bool yes : {true, false}) {
    mark = Mark();
    ClickIn(editor, 60, 85);
    if (yes && WaitForZenity("Quarvi")) {
      // Scribbled over and exposed, the editor paints itself again.
      GC gc = XCreateGC(gui::Dpy(), editor, 0, nullptr);
      XSetForeground(gui::Dpy(), gc, 0xff00ff);
      XFillRectangle(gui::Dpy(), editor, gc, 0, 0, kRigWidth, kRigHeight);
      XFreeGC(gui::Dpy(), gc);
      XClearArea(gui::Dpy(), editor, 0, 0, 0, 0, True);
      CheckShows(editor, atHalf, "while the dialog is open the editor still repaints itself");
    }
    const Question q = Answer("Quarvi", yes);
    Check(q.shown && q.owner == p.host, "the question opens in zenity, transient for the host's window");
    CheckSoon([&] { return Logged(mark, yes ? "answer 6" : "answer 7"); },
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
  gui::KeySymbol(XK_Right);
  gui::KeySymbol(XK_Return);
  CheckSoon([&] { return Logged(mark, "answer 7") && entryWindow() == 0; },
            [&] { return "Right and Enter answer No " + Join(Since(mark, {"answer"})); });
  mark = Mark();
  ClickIn(editor, 175, 85);
  gui::WaitFor([&] { return (drawn = entryWindow()) != 0 && gui::Viewable(drawn); });
  gui::KeySymbol(XK_Return);
  CheckSoon([&] { return Logged(mark, "open  | " + gFileFolder); },
            [&] { return "a file dialog without a program says so and is cancelled " + Join(Since(mark, {"open"})); });
  OnUi([&] { setenv("PATH", path.c_str(), 1); });

  // File dialogs in zenity: the chosen file comes back as its full path
  // (UTF-8); cancel gives an empty name; a saved name gets its extension.
  mark = Mark();
  ClickIn(editor, 175, 85);
  const std::string typed = gFileFolder + kBankName, neu = "Neu";
  Check(UseFileDialog(false, &typed, false), "the open dialog appears in zenity");
  CheckSoon([&] { return Logged(mark, "open " + typed + " | " + gFileFolder); },
            [&] { return "the file typed in the open dialog comes back as its full path: " + Join(Since(mark, {"open"})); },
            8000);
  mark = Mark();
  ClickIn(editor, 175, 85);
  UseFileDialog(false, nullptr, true);
  CheckSoon([&] { return Logged(mark, "open  | " + gFileFolder); },
            [&] { return "a cancelled open dialog gives an empty name: " + Join(Since(mark, {"open"})); }, 8000);
  mark = Mark();
  ClickIn(editor, 285, 85);
  UseFileDialog(true, &neu, false);
  CheckSoon([&] { return Logged(mark, "save " + gFileFolder + "Neu.fxb | " + gFileFolder); },
            [&] { return "a name saved without an extension gets .fxb: " + Join(Since(mark, {"save"})); }, 8000);

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

  CheckWindowServices(p, g, editor, kRigWidth, kRigHeight);

  p.Close();
  p.DestroyHostWindow();
  OnUi([] { gMirror.reset(); });
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

// No display, no editor.
void CheckNoDisplay(Plugin& a) {
  const std::string display = getenv("DISPLAY") ? getenv("DISPLAY") : "";
  OnUi([] { setenv("DISPLAY", ":199", 1); });
  const VstIntPtr noDisplay = a.Call(effEditOpen, 0, 0, reinterpret_cast<void*>(a.host));
  OnUi([&] { setenv("DISPLAY", display.c_str(), 1); });
  Check(noDisplay == 0 && EditorWindows(a.host).empty(), "effEditOpen fails when no display can be opened");
}

}  // namespace
}  // namespace rig

int main(int argc, char** argv) {
  using namespace rig;
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
  gSocketsAtStart = OpenSockets();
  gFailedPictures = pictures;
  MakeFileFolder();
  std::thread user([&] {
    RunLibrary(library, CheckNoDisplay, pictures);
    RunTestLayout(pictures);
    RunEditorByHand(library, Pictures{pictures + "-screen.png", "", pictures + "-instrument.png"});
    gQuit = true;
    const char c = 0;
    (void)!write(gWake[1], &c, 1);
  });
  HostLoop();
  user.join();
  RemoveFileFolder();
  gui::End();
  XCloseDisplay(gHostDpy);
  return gui::Summary();
}
