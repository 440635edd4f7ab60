#include "GuiScenarios.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "IGraphics.h"
#include "IKSControls.h"
#include "Maker.h"
#include "ParamTable.h"
#include "ProgramCommands.h"

namespace rig {

using namespace gui;  // the checks and the user's hands

namespace {
std::vector<AEffect*> gIdling;  // the host thread's: the editors its idle call goes to
}  // namespace

std::string gFailedPictures;

// ---- the host ---------------------------------------------------------------------------

VstIntPtr VSTCALLBACK HostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void* ptr, float opt) {
  switch (opcode) {
    case audioMasterVersion: return 2400;
    case audioMasterAutomate: gui::Log(Format("automate %d %.3f", index, opt)); return 0;
    case audioMasterBeginEdit: gui::Log(Format("begin %d", index)); return 1;
    case audioMasterEndEdit: gui::Log(Format("end %d", index)); return 1;
    case audioMasterUpdateDisplay: gui::Log("update display"); return 1;
    case audioMasterGetProductString:
      if (ptr) std::snprintf(static_cast<char*>(ptr), 64, "Quarvi GUI rig");
      return 1;
    default: return 0;
  }
}

void IdleEditors() {
  for (AEffect* e : std::vector<AEffect*>(gIdling)) e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
}

VstIntPtr Plugin::Call(VstInt32 op, VstInt32 index, VstIntPtr value, void* ptr) {
  VstIntPtr r = 0;
  AEffect* e = effect;
  OnUi([&] { r = e->dispatcher(e, op, index, value, ptr, 0.0f); });
  return r;
}

void Plugin::EditorSize(int* w, int* h) {
  ERect* rect = nullptr;
  const bool ok = Call(effEditGetRect, 0, 0, &rect) == 1 && rect;
  *w = ok ? rect->right - rect->left : 0;
  *h = ok ? rect->bottom - rect->top : 0;
}

Win Plugin::NewHostWindow(int x, int y) {
  int w = 0, h = 0;
  EditorSize(&w, &h);
  OnUi([&] { host = CreateHostWindow(x, y, w, h + kHostMargin); });
  WaitFor([&] { return gui::Visible(host); });
  return host;
}

bool Plugin::OpenEditor() {
  const bool ok = Call(effEditOpen, 0, 0, reinterpret_cast<void*>(host)) == 1;
  AEffect* e = effect;
  OnUi([&] {
    if (std::find(gIdling.begin(), gIdling.end(), e) == gIdling.end()) gIdling.push_back(e);
  });
  return ok;
}

Win Plugin::EditorWindow() const {
  const std::vector<Win> w = host ? EditorWindows(host) : std::vector<Win>();
  return w.empty() ? 0 : w.front();
}

void Plugin::Close() {
  AEffect* e = effect;
  OnUi([&] {
    gIdling.erase(std::remove(gIdling.begin(), gIdling.end(), e), gIdling.end());
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
  });
  effect = nullptr;
}

void Plugin::DestroyHostWindow() {
  const Win h = host;
  OnUi([&] { rig::DestroyHostWindow(h); });
}

std::string Plugin::ProgramName(int index) {
  char name[256] = {0};
  if (index < 0) Call(effGetProgramName, 0, 0, name);
  else Call(effGetProgramNameIndexed, index, 0, name);
  return name;
}

std::string Plugin::ParamText(int index) {
  char text[64] = {0};
  Call(effGetParamDisplay, index, 0, text);
  return text;
}

float Plugin::Param(int index) {
  float v = 0.0f;
  AEffect* e = effect;
  OnUi([&] { v = e->getParameter(e, index); });
  return v;
}

std::vector<float> Plugin::Params() {
  std::vector<float> v;
  AEffect* e = effect;
  OnUi([&] {
    for (int i = 0; i < e->numParams; ++i) v.push_back(e->getParameter(e, i));
  });
  return v;
}

void Plugin::SetParam(int index, float v) {
  AEffect* e = effect;
  OnUi([&] { e->setParameter(e, index, v); });
}

Point Editor::At(int x, int y) const {
  const gui::Box b = gui::ClientBox(wnd);
  return Point{b.x + x, b.y + y};
}
Point Editor::At(const LayoutRect& r) const { return At((r.L + r.R) / 2, (r.T + r.B) / 2); }

// ---- looking ------------------------------------------------------------------------------

bool Shows(Win w, const Picture& expected, std::string* why, int timeoutMs) {
  return WaitFor([&] { return gui::Same(Capture(w), expected, why); }, timeoutMs);
}

void CheckShows(Win w, const Picture& expected, const std::string& what) {
  std::string why;
  const bool ok = Shows(w, expected, &why);
  if (!ok && !gFailedPictures.empty()) {
    static int failures = 0;
    const std::string base = gFailedPictures + "-failed-" + std::to_string(++failures);
    gui::WritePicture(Capture(w), base + "-window.png");
    gui::WritePicture(expected, base + "-expected.png");
    why += " (pictures " + base + "-window.png, -expected.png)";
  }
  Check(ok, what + ": " + why);
}

void KeepPicture(const Picture& picture, const std::string& path, const std::string& what) {
  Check(gui::WritePicture(picture, path),
        Format("%s: %dx%d picture written to %s", what.c_str(), picture.width, picture.height, path.c_str()));
}

Picture ScreenAround(const std::vector<Win>& windows, int margin) {
  const gui::Box screen = gui::Screen();
  int x0 = screen.w, y0 = screen.h, x1 = 0, y1 = 0;
  for (Win w : windows) {
    const gui::Box b = gui::WindowBox(w);
    x0 = std::min(x0, b.x - margin);
    y0 = std::min(y0, b.y - margin);
    x1 = std::max(x1, b.x + b.w + margin);
    y1 = std::max(y1, b.y + b.h + margin);
  }
  x0 = std::max(0, x0);
  y0 = std::max(0, y0);
  return CaptureScreen(gui::Box{x0, y0, std::min(screen.w, x1) - x0, std::min(screen.h, y1) - y0});
}

void CheckKeysReachTheHost(Point at, const std::string& what) {
  gui::AimKeys(at);
  size_t mark = Mark();
  gui::Press(Key::Q);
  CheckSoon([&] { return Logged(mark, "host keydown q") && Logged(mark, "host keyup q"); },
            [&] { return what + ": 'q' reaches the host window, down and up " + Join(Since(mark)); });
  mark = Mark();
  gui::Press(Key::F1);
  CheckSoon([&] { return Logged(mark, "host keydown F1"); },
            [&] { return what + ": F1 reaches the host window " + Join(Since(mark)); });
}

Win OpenMenuAt(Point at) {
  gui::Click(at);
  std::vector<Win> menus;
  WaitFor([&] { return (menus = Menus()).size() == 1; });
  return menus.empty() ? 0 : menus[0];
}

void CheckMenu(Win menu, const PopupMenu& items, int highlight, const std::string& what) {
  std::string why = "(no menu)";
  const bool ok = menu && MenuShows(menu, items, highlight, &why);
  Check(ok, what + why);
}

bool IsGesture(size_t mark, int index, double* last) {
  const std::string begin = Format("begin %d", index), end = Format("end %d", index),
                    automate = Format("automate %d ", index);
  const std::vector<std::string> seen = Since(mark, {begin, end, automate});
  if (seen.size() < 2 || seen.front() != begin || seen.back() != end) return false;
  for (size_t i = 1; i + 1 < seen.size(); ++i) {
    if (seen[i].compare(0, automate.size(), automate) != 0) return false;
    if (last) *last = std::atof(seen[i].c_str() + automate.size());
  }
  return true;
}
// ---- part 1: the plug-in library through its entry point -----------------------------------

void RunLibrary(const std::string& path, const std::function<void(Plugin&)>& extra, const std::string& opened) {
  std::printf("-- the library %s: open, close, two instances\n", path.c_str());
  const Library lib = OpenLibrary(path);
  Check(lib.entry != nullptr, "the library loads and exports VSTPluginMain");
  if (!lib.entry) return;
  auto create = [&] {
    Plugin p;
    OnUi([&] { p.effect = lib.entry(HostCallback); });
    if (p.effect) p.Call(effOpen);
    return p;
  };
  auto held = [&] { return WindowLayerHoldings(lib) > 0; };
  auto boxIn = [](Win w, Win parent) {  // w's place in its parent, and its size
    const gui::Box b = gui::ClientBox(w), p = gui::ClientBox(parent);
    return gui::Box{b.x - p.x, b.y - p.y, b.w, b.h};
  };

  Plugin a = create();
  Check(a.effect && (a.effect->flags & effFlagsHasEditor), "the effect offers an editor");
  int w = 0, h = 0;
  a.EditorSize(&w, &h);
  Check(w == kEditorWidth && h == kEditorHeight, Format("effEditGetRect: %dx%d", w, h));
  a.Call(effEditIdle);
  Check(a.Call(effEditIdle) == 0, "effEditIdle before effEditOpen is a no-op");

  // Bad parents, the platform's own cases, a close without open.
  Check(a.Call(effEditOpen, 0, 0, nullptr) == 0, "effEditOpen with no parent window fails");
  Check(a.Call(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(0x7654321))) == 0,
        "effEditOpen with a window that does not exist fails");
  a.NewHostWindow(10, 10);
  extra(a);
  a.CloseEditor();
  Check(EditorWindows(a.host).empty() && !held(),
        "... and leave nothing of the window layer behind; effEditClose without open is harmless");

  // Open, keys, the picture.
  Check(a.OpenEditor(), "effEditOpen in the host window");
  const Win editor = a.EditorWindow();
  gui::Box box = editor ? boxIn(editor, a.host) : gui::Box();
  Check(editor && box.x == 0 && box.y == 0 && box.w == kEditorWidth && box.h == kEditorHeight && held() &&
            WaitFor([&] { return gui::Visible(editor); }),
        Format("the editor is a visible child window of the host, %dx%d at its top left, its window layer held",
               box.w, box.h));
  if (!editor) return;
  const Picture expected = Reference(a, editor);
  CheckShows(editor, expected, "the window shows the picture of the same state");
  if (!opened.empty()) {
    gui::WritePicture(Capture(editor), opened + "-dll.png");
    gui::WritePicture(Capture(a.host), opened + "-host.png");
  }
  CheckKeysReachTheHost(Editor{a, editor}.At(300, 300), "library");

  // A second open while open replaces the window, keeping its place and size.
  OnUi([&] { MoveChild(editor, 8, 6); });
  Check(a.OpenEditor(), "a second effEditOpen while open succeeds");
  const Win replaced = a.EditorWindow();
  box = replaced ? boxIn(replaced, a.host) : gui::Box();
  // (An X server may well give the new window the old one's id.)
  Check(replaced && EditorWindows(a.host).size() == 1 && box.x == 8 && box.y == 6 && box.w == kEditorWidth &&
            box.h == kEditorHeight,
        Format("... and replaces the window, keeping its place (%d,%d) and size", box.x, box.y));

  a.CloseEditor();
  Check(!gui::Exists(replaced) && !held(), "effEditClose destroys the window and gives the window layer back");
  Check(a.OpenEditor() && a.EditorWindow() && held(), "reopening works");
  std::string why;
  bool allGood = true;
  for (int i = 0; i < 10 && allGood; ++i) {
    a.CloseEditor();
    allGood = EditorWindows(a.host).empty() && !held() && a.OpenEditor() && a.EditorWindow() &&
              Shows(a.EditorWindow(), expected, &why);
  }
  Check(allGood, "closed and opened again ten times, each window shows the editor: " + why);

  // Two instances' editors at once.
  Plugin b = create();
  b.NewHostWindow(60, 60);
  bool ok = b.OpenEditor() && b.EditorWindow() && a.EditorWindow() && Shows(b.EditorWindow(), expected, &why);
  Check(ok, "a second instance's editor opens next to the first: " + why);
  a.CloseEditor();
  ok = held() && b.EditorWindow() && Shows(b.EditorWindow(), expected, &why);
  Check(ok, "closing one of two editors leaves the other working: " + why);
  CheckKeysReachTheHost(Editor{b, b.EditorWindow()}.At(200, 200), "second instance");
  b.CloseEditor();
  Check(!held(), "closing the last editor gives the window layer back");

  // The host destroys its window while the editor is in it: with idle calls
  // meeting the vanished window, and with effEditClose right after it.
  Check(a.OpenEditor(), "editor opened again");
  const Win doomed = a.EditorWindow();
  a.DestroyHostWindow();
  gui::SleepMs(150);
  a.CloseEditor();
  Check(!gui::Exists(doomed) && !held(),
        "the host destroyed its window under the editor: idle and effEditClose after it are harmless");
  a.NewHostWindow(10, 10);
  a.OpenEditor();
  const Win host = a.host;
  AEffect* ae = a.effect;
  OnUi([&] {
    rig::DestroyHostWindow(host);
    ae->dispatcher(ae, effEditClose, 0, 0, nullptr, 0.0f);
  });
  Check(!gui::Exists(host) && !held(), "the host's window destroyed and effEditClose right after it: harmless");
  a.NewHostWindow(10, 10);
  ok = a.OpenEditor() && a.EditorWindow() && Shows(a.EditorWindow(), expected, &why);
  Check(ok, "... and the editor opens again in a new window: " + why);
  a.DestroyHostWindow();
  a.Close();
  Check(!held(), "effClose after the host destroyed the window holding the editor is harmless");

  // An instance destroyed while its editor is open closes the window first.
  b.OpenEditor();
  const Win bEditor = b.EditorWindow();
  b.Close();
  Check(bEditor && !gui::Exists(bEditor) && !held(), "effClose with the editor open closes its window");
  b.DestroyHostWindow();
  OnUi([&] { CloseLibrary(lib); });
}

// ---- part 2: the library's editor worked as a user works it ---------------------------------

namespace {

const char* const kBankFile = "Quarvi.fxb";

const LayoutRect& RowRect(int row) { return kEditorControls[row].rect; }
// The rect of the first layout row that edits the parameter of this name.
LayoutRect RectOf(const char* param) {
  const int index = FindParamIndex(param);
  for (const LayoutControl& c : kEditorControls) {
    if (c.param == index && c.kind != LayoutKind::Background) return c.rect;
  }
  return LayoutRect{0, 0, 0, 0};
}

std::string GestureText(size_t mark, int index) {
  return Join(Since(mark, {Format("begin %d", index), Format("end %d", index), Format("automate %d ", index)}));
}

// Checks that the editor comes to show the plug-in's state after an action.
void CheckState(const Editor& ed, const LayoutRect& area, const Picture& before, bool changed,
                const std::string& what) {
  std::string why;
  const bool ok = ShowsState(ed, area, before, changed, &why);
  Check(ok, what + ": " + why);
}

// The program arrows wrap: 0 back to 63, 63 on to 0.
void CheckProgramArrows(Editor& ed) {
  const LayoutRect number = kProgramNumberRect;
  const Picture zero = Look(ed, number);
  const struct {
    int row, program;
  } steps[] = {{LayoutIndex::kNextProgram, 1},
               {LayoutIndex::kPreviousProgram, 0},
               {LayoutIndex::kPreviousProgram, 63},
               {LayoutIndex::kNextProgram, 0},
               {LayoutIndex::kPreviousProgram, 63}};
  int from = 0;
  for (const auto& s : steps) {
    gui::Click(ed.At(RowRect(s.row)));
    WaitFor([&] { return ed.p.Program() == s.program; });
    std::string why;
    const bool shown = ShowsState(ed, number, zero, s.program != 0, &why);
    Check(shown && ed.p.Program() == s.program,
          Format("the %s arrow on %02d selects program %d (effGetProgram %d); the program display follows: ",
                 s.row == LayoutIndex::kNextProgram ? "next-program" : "previous-program", from, s.program,
                 ed.p.Program()) + why);
    from = s.program;
  }
  Check(ed.p.ProgramName() == "Init", "program 63 is \"" + ed.p.ProgramName() + "\"");
}

// "Unison" on the program "Init" (off there): the voice display gains its
// unison digit left of the voice count, and loses it again.
void CheckUnison(Editor& ed) {
  const int unison = FindParamIndex("Unison");
  const LayoutRect display = RowRect(LayoutIndex::kVoiceDisplay);
  // Without unison the count's digits start 10 pixels in; the unison digit
  // is drawn in front of them.
  const LayoutRect front{display.L, display.T, display.L + 10, display.B};
  const Picture before = Look(ed, display), frontBefore = Look(ed, front);
  for (int on = 1; on >= 0; --on) {
    const size_t mark = Mark();
    gui::Click(ed.At(RectOf("Unison")));
    const std::vector<std::string> expected = {
        Format("begin %d", unison), Format("automate %d %d.000", unison, on),
        Format("automate %d %d.000", unison, 1 - on), Format("automate %d %d.000", unison, on),
        Format("end %d", unison)};
    CheckSoon([&] { return Since(mark, {"begin", "end", Format("automate %d ", unison)}) == expected; },
              [&] {
                return Format("a click on \"Unison\" turns it %s: the host sees the press's new value, then old "
                              "and new on the release ", on ? "on" : "off") + GestureText(mark, unison);
              });
    std::string why;
    const bool follows = on ? ShowsState(ed, front, frontBefore, true, &why)
                            : ShowsState(ed, display, before, false, &why);
    Check(follows && ed.p.ParamText(unison) == (on ? "On" : "Off"),
          (on ? "... and the voice display gains the unison digit in front of the voice count: "
              : "... and the voice display shows the voice count alone again, as before: ") + why);
  }
}

// The formant type switch of F2 on "Init" (F2 "Partial"): after the next
// idle the knob in the Freq/Part place is "Part F2" for "Partial" and "Ring",
// "Freq F2" for "Fixed". A click on the knob tells which one is there: the
// host sees the gesture of its parameter.
void CheckFormantSwap(Editor& ed) {
  const int type = FindParamIndex("Type F2"), freq = FindParamIndex("Freq F2"), part = FindParamIndex("Part F2");
  const LayoutRect knob = RowRect(LayoutIndex::kFreqKnob[1]), display = RowRect(LayoutIndex::kWaveDisplay[1]);
  const struct {
    bool click;
    const char* type;
    int knobParam;
  } steps[] = {{false, "Partial", part}, {true, "Ring", part}, {true, "Fixed", freq}};
  for (const auto& s : steps) {
    const Picture displayBefore = Look(ed, display), knobBefore = Look(ed, knob);
    if (s.click) {
      const size_t mark = Mark();
      gui::Click(ed.At(RectOf("Type F2")));
      CheckSoon([&] { return IsGesture(mark, type) && ed.p.ParamText(type) == s.type; }, [&] {
        return "a click on the F2 type switch makes it \"" + ed.p.ParamText(type) + "\" " + GestureText(mark, type);
      });
      // The swap and the display's redraw happen in the same idle call.
      const bool swapped = s.knobParam == freq;
      std::string why, knobWhy;
      const bool redrawn = ShowsState(ed, display, displayBefore, true, &why);
      const bool knobShown = ShowsState(ed, knob, knobBefore, swapped, &knobWhy);
      Check(redrawn && knobShown,
            Format("... after the next idle the F2 display shows \"%s\" and the knob at (%d,%d) is %s: ", s.type,
                   knob.L, knob.T, swapped ? "another one" : "the same") + why + "; " + knobWhy);
    }
    const size_t mark = Mark();
    gui::Click(ed.At(knob));
    CheckSoon([&] { return IsGesture(mark, s.knobParam); }, [&] {
      return Format("with \"%s\" a click on the knob at (%d,%d) reaches \"%s\" ", s.type, knob.L, knob.T,
                    kParamTable[s.knobParam].name) + Join(Since(mark, {"begin", "end"}));
    });
  }
}

// "Volume": drags (4 control heights for the range, 40 with Shift), the
// wheel (a notch one step of 0.01, what is no notch nothing) and a
// double-click (back to the value the editor was built with: the
// parameter's default, pushed before the factory bank loaded).
void CheckVolumeKnob(Editor& ed) {
  const int volume = FindParamIndex("Volume");
  const double builtWith = kParamTable[volume].defaultValue;  // 0..1: normalized as it is
  const LayoutRect knob = RectOf("Volume");
  const int cx = (knob.L + knob.R) / 2, cy = (knob.T + knob.B) / 2;
  const Picture before = Look(ed, knob);
  const struct {
    int x, dy, steps;
    bool shift;
    double change;
    const char* what;
  } drags[] = {{cx - 6, -32, 8, false, 32.0 / 160, "a drag 32 pixels up"},
               {cx + 6, -40, 5, true, 40.0 / 1600, "a drag 40 pixels up with Shift held (fine)"}};
  for (const auto& d : drags) {
    const double start = ed.p.Param(volume);
    const size_t mark = Mark();
    gui::Drag(ed.At(d.x, cy), ed.At(d.x, cy + d.dy), d.steps, d.shift);
    double last = -1.0;
    CheckSoon([&] { return IsGesture(mark, volume, &last) && std::fabs(last - (start + d.change)) < 2e-3; }, [&] {
      return Format("%s on \"Volume\" sends begin, automate... and end, from %.3f to %.3f: ", d.what, start,
                    start + d.change) + GestureText(mark, volume);
    });
  }
  CheckState(ed, knob, before, true, "... and the knob shows its new value");

  for (int notches : {1, -1, 0}) {
    const double start = ed.p.Param(volume);
    const size_t mark = Mark();
    const std::string how = notches ? Format("a wheel notch %s", notches > 0 ? "away" : "back")
                                    : gui::WheelIgnored(ed.At(knob));
    if (notches) gui::Wheel(ed.At(knob), notches);
    else gui::SleepMs(150);  // nothing is to come: give it time to come anyway
    CheckSoon([&] { return std::fabs(ed.p.Param(volume) - (start + 0.01 * notches)) < 2e-3; }, [&] {
      return Format("%s %s \"Volume\" at %.3f (from %.3f) ", how.c_str(), notches ? "puts" : "leaves",
                    ed.p.Param(volume), start) + Join(Since(mark, {Format("automate %d ", volume)}));
    });
  }

  const size_t mark = Mark();
  gui::DoubleClick(ed.At(cx, cy + 8));
  CheckSoon([&] { return std::fabs(ed.p.Param(volume) - builtWith) < 1e-3; }, [&] {
    return Format("a double-click returns \"Volume\" to %.3f, the value the editor was built with ", builtWith) +
           Join(Since(mark, {Format("automate %d ", volume)}));
  });
}

// A button that kicks: the host records new, old, new.
void CheckButton(Editor& ed) {
  const LayoutControl* button = nullptr;
  for (const LayoutControl& c : kEditorControls) {
    if (!button && c.kind == LayoutKind::ButtonKick && !c.startsHidden) button = &c;
  }
  if (!button) return Check(false, "a kick button in the layout");
  const Picture before = Look(ed, button->rect);
  const size_t mark = Mark();
  gui::Click(ed.At(button->rect));
  const std::string bp = Format("automate %d ", button->param);
  CheckSoon([&] {
              const std::vector<std::string> w = Since(mark, {bp});
              return w.size() == 3 && w[0] == w[2] && w[0] != w[1];
            },
            [&] { return "a button click writes new, old, new to the host: " + Join(Since(mark, {bp})); });
  CheckState(ed, button->rect, before, true, "the button shows its new state");
}

// ---- menus ----

// Opens the submenu of item of the open menu; returns its window.
Win OpenSubmenu(Win menu, const PopupMenu& items, int item) {
  if (!menu || !HighlightMenuItem(menu, items, item)) return 0;
  gui::Press(Key::Right);
  std::vector<Win> menus;
  return WaitFor([&] { return (menus = Menus()).size() == 2; }) ? menus[1] : 0;
}
bool MenusClose() {
  for (int i = 0; i < 3 && !Menus().empty(); ++i) gui::Press(Key::Escape);
  return WaitFor([&] { return Menus().empty(); });
}
// Chooses item (or, with sub, item sub of its submenu) of the open menu with
// the keyboard, and waits until the menus are gone.
void Choose(Win menu, const PopupMenu& items, int item, int sub = -1) {
  const Win target = sub >= 0 ? OpenSubmenu(menu, items, item) : menu;
  const PopupMenu* level = sub >= 0 ? items.GetItem(item)->submenu.get() : &items;
  if (target && HighlightMenuItem(target, *level, sub >= 0 ? sub : item)) gui::Press(Key::Return);
  if (!WaitFor([&] { return Menus().empty(); })) {
    Check(false, "the menu closes after a choice");
    MenusClose();
  }
}

// The program menu as the editor builds it: four submenus of 16 "NN: name",
// the current program checked.
std::unique_ptr<PopupMenu> ProgramMenu(Plugin& p) {
  auto menu = std::make_unique<PopupMenu>();
  const int current = p.Program();
  for (int s = 0; s < 4; ++s) {
    auto sub = std::make_unique<PopupMenu>();
    for (int i = s * 16; i < s * 16 + 16; ++i) {
      sub->AddItem(Format("%02d: %s", i, p.ProgramName(i).c_str()),
                   i == current ? PopupMenuItem::kChecked : PopupMenuItem::kNoFlags);
    }
    menu->AddSubmenu(Format("%02d - %02d", s * 16, s * 16 + 15), std::move(sub));
  }
  return menu;
}

// The utility menu as the editor builds it, without a startup bank.
std::unique_ptr<PopupMenu> UtilityMenu(const Editor& ed) {
  auto m = std::make_unique<PopupMenu>();
  const int none = PopupMenuItem::kNoFlags, off = PopupMenuItem::kDisabled;
  for (const char* t : {"Copy Program", "Paste Program", "Init Program", "", "Load Program", "Save Program",
                        "Load Bank", "Save Bank", "", "Select Startup Bank", "Load Startup Bank",
                        "Unselect Startup Bank", "", "Default Path for Program Files"}) {
    const std::string text = t;
    const bool grayed = (text == "Paste Program" && !ed.copied) || text == "Load Startup Bank" ||
                        text == "Unselect Startup Bank";
    if (text.empty()) m->AddSeparator();
    else m->AddItem(text, grayed ? off : none);
  }
  auto midi = std::make_unique<PopupMenu>();
  midi->AddItem("MIDI Thru", ed.midiThru ? PopupMenuItem::kChecked : none);
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

// The program menu: four submenus of 16, the current program checked; an
// item of the second submenu selects 16 + its position.
void CheckProgramMenu(Editor& ed) {
  const LayoutRect number = kProgramNumberRect;
  const std::unique_ptr<PopupMenu> items = ProgramMenu(ed.p);
  const int current = ed.p.Program();
  const std::string name20 = ed.p.ProgramName(20);
  const Win menu = OpenMenuAt(ed.At(number));
  CheckMenu(menu, *items, -1, "a click on the program number opens the program menu: ");
  const gui::Box box = menu ? gui::WindowBox(menu) : gui::Box();
  const Point below = ed.At(number.L, number.B);
  Check(box.x == below.x && box.y == below.y, "... below the number, at its left edge");
  const Win last = OpenSubmenu(menu, *items, 3);
  CheckMenu(last, *items->GetItem(3)->submenu, 0,
            Format("... its items are \"NN: name\", program %d's checked: ", current));
  gui::Press(Key::Left);
  WaitFor([&] { return Menus().size() == 1; });
  Choose(menu, *items, 1, 4);
  CheckSoon([&] { return ed.p.Program() == 20 && ed.p.ProgramName() == name20; }, [&] {
    return "choosing the fifth item of \"16 - 31\" selects program 20 \"" + ed.p.ProgramName() +
           "\" (effGetProgram " + std::to_string(ed.p.Program()) + ")";
  });
  if (OpenMenuAt(ed.At(number))) gui::Press(Key::Escape);
  Check(WaitFor([&] { return Menus().empty(); }) && ed.p.Program() == 20,
        "the program menu closed with Escape selects nothing");
}

Win OpenUtilityMenu(Editor& ed) { return OpenMenuAt(ed.At(RowRect(LayoutIndex::kUtilityMenu))); }
void RunUtility(Editor& ed, int command) {
  const std::unique_ptr<PopupMenu> items = UtilityMenu(ed);
  const bool midi = command >= IKSOptionMenu::kMidiFirstCommand && command < IKSOptionMenu::kOnlineFirstCommand;
  if (midi) {
    Choose(OpenUtilityMenu(ed), *items, IKSOptionMenu::kMidiSubmenuItem, command - IKSOptionMenu::kMidiFirstCommand);
  } else {
    Choose(OpenUtilityMenu(ed), *items, command);
  }
}

// The picture of a new instance's host window with the utility menu open
// over it, three items down.
void KeepScreen(Editor& ed, const std::string& path) {
  if (path.empty() || !OpenUtilityMenu(ed)) return;
  for (int i = 0; i < 3; ++i) gui::Press(Key::Down);
  gui::SleepMs(100);
  std::vector<Win> shown = Menus();
  shown.push_back(ed.p.host);
  KeepPicture(ScreenAround(shown, 10), path, "a new instance with the utility menu open");
  MenusClose();
}

void CheckUtilityMenu(Editor& ed, const std::string& picture) {
  constexpr int kMidi = IKSOptionMenu::kMidiSubmenuItem, kOnline = IKSOptionMenu::kOnlineSubmenuItem;
  const Point at = ed.At(RowRect(LayoutIndex::kUtilityMenu));
  std::unique_ptr<PopupMenu> items = UtilityMenu(ed);
  const Win menu = OpenUtilityMenu(ed);
  const gui::Box box = menu ? gui::WindowBox(menu) : gui::Box();
  Check(box.x == at.x && box.y == at.y, "a click on MENU opens the utility menu at the click");
  std::string midiWhy, onlineWhy;
  CheckMenu(menu, *items, -1, "its items, without a copy and without a startup bank: ");
  const Win midi = OpenSubmenu(menu, *items, kMidi);
  const bool midiOk = midi && MenuShows(midi, *items->GetItem(kMidi)->submenu, 0, &midiWhy);
  gui::Press(Key::Left);
  WaitFor([&] { return Menus().size() == 1; });
  const Win online = OpenSubmenu(menu, *items, kOnline);
  const bool onlineOk = online && MenuShows(online, *items->GetItem(kOnline)->submenu, 0, &onlineWhy);
  Check(midiOk && onlineOk, "its submenus: " + midiWhy + "; " + onlineWhy);
  gui::Press(Key::Left);
  WaitFor([&] { return Menus().size() == 1; });
  Choose(menu, *items, kMidi, kCmdMidiThru - IKSOptionMenu::kMidiFirstCommand);  // on
  ed.midiThru = true;

  items = UtilityMenu(ed);
  const Win midiAgain = OpenSubmenu(OpenUtilityMenu(ed), *items, kMidi);
  CheckMenu(midiAgain, *items->GetItem(kMidi)->submenu, 0,
            "\"MIDI Thru\" chosen in the MIDI submenu shows its check mark the next time: ");
  if (!picture.empty()) {
    std::vector<Win> shown = Menus();
    shown.push_back(ed.p.host);
    KeepPicture(ScreenAround(shown, 0), picture, "the utility menu open");
  }
  Check(MenusClose(), "Escape closes the submenu, then the menu");
}

// The program name entry (a click on the name): Enter and a click outside
// the editor commit, Escape and a click on the editor cancel. The name holds
// at most 27 bytes of UTF-8 and is never cut inside a character.
void CheckNameEntry(Editor& ed) {
  const LayoutRect name = kProgramNameRect;
  // 24 characters, 26 bytes, then an "Ω" that would end at byte 28: it
  // cannot stay. The box itself takes 27 characters and no more.
  const std::string longName = "B\xC3\xA4sse \xCE\xA9 with a long name\xCE\xA9!!xyz";
  const std::string kept = "B\xC3\xA4sse \xCE\xA9 with a long name";
  const std::string renamed = "B\xC3\xA4sse \xCE\xA9";
  const gui::Box host = gui::ClientBox(ed.p.host);
  const struct {
    const char* how;
    std::string typed;
    std::function<void()> finish;
    std::string becomes;  // empty: the name stays
  } cases[] = {
      {"Enter", longName, [] { gui::Press(Key::Return); }, kept},
      {"Escape", "no", [] { gui::Press(Key::Escape); }, ""},
      {"a click on the editor", "zz", [&] { gui::Click(ed.At(700, 50)); }, ""},
      {"a click on the host's window", renamed,
       [&] { gui::Click(Point{host.x + 200, host.y + kEditorHeight + kHostMargin / 2}); }, renamed},
  };
  for (const auto& c : cases) {
    const std::string before = ed.p.ProgramName();
    const Picture shown = Look(ed, name);
    gui::Click(ed.At(name));
    Win box = 0;
    WaitFor([&] { return (box = EntryBox(ed.wnd)) != 0; });
    std::string why;
    const bool holds = box && EntryBoxHolds(box, before, &why);
    Check(holds, std::string("a click on the program name opens the entry box (") + c.how + ") holding \"" + before +
                     "\", selected: " + why);
    gui::SleepMs(50);
    const size_t mark = Mark();
    gui::Type(c.typed);
    c.finish();
    const bool commits = !c.becomes.empty();
    const std::string expected = commits ? c.becomes : before;
    const bool closed = WaitFor([&] { return EntryBox(ed.wnd) == 0; });
    CheckSoon([&] { return closed && ed.p.ProgramName() == expected && Logged(mark, "update display") == commits; },
              [&] {
                return std::string("typing and ") + c.how + (commits ? " renames" : " keeps") + " the program: \"" +
                       ed.p.ProgramName() + "\"" +
                       (Logged(mark, "update display") ? ", the host's program display updated" : "");
              });
    if (commits) CheckState(ed, name, shown, true, "... and the program display shows the new name");
  }
}

// The question of a command, answered; its text and owner checked.
void CheckQuestion(Editor& ed, const char* title, const std::string& question, bool yes) {
  const Question q = Answer(title, yes);
  Check(q.shown && (q.text == question || !kQuestionTextRead) && q.owner == ed.p.host,
        std::string("\"") + title + "\" asks \"" + (kQuestionTextRead ? q.text : question) +
            "\", owned by the host's window; answered " + (yes ? "Yes" : "No"));
}

// Copy on program 20, a rename of program 20, paste into 21: 21 gets 20's
// values as copied and 20's name as it is now.
void CheckCopyPaste(Editor& ed, const std::vector<float>& copied) {
  gui::Click(ed.At(RowRect(LayoutIndex::kNextProgram)));
  CheckSoon([&] { return ed.p.Program() == 21; }, [&] { return Format("next arrow: program %d", ed.p.Program()); });
  const std::string name20 = ed.p.ProgramName(20);
  const int volume = FindParamIndex("Volume");
  const float volumeBefore = ed.p.Param(volume);
  const Picture knob = Look(ed, RectOf("Volume"));
  const std::unique_ptr<PopupMenu> items = UtilityMenu(ed);
  const Win menu = OpenUtilityMenu(ed);
  CheckMenu(menu, *items, -1, "after a copy \"Paste Program\" is enabled: ");
  Choose(menu, *items, kCmdPasteProgram);
  CheckQuestion(ed, "Paste Program", "Do you really want to overwrite the current program?", true);
  CheckSoon([&] { return ed.p.ProgramName() == name20 && ed.p.Params() == copied; }, [&] {
    return "... program 21 gets the copied values and program 20's name as it is now: \"" + ed.p.ProgramName() +
           "\"";
  });
  CheckState(ed, RectOf("Volume"), knob, copied[volume] != volumeBefore, "the editor shows the pasted program");
}

// Save Bank into the folder "Bässe Ω" (the path typed in the save dialog),
// again into the same file (the dialog starts there now; overwriting asks),
// a change, Load Bank cancelled, then Load Bank of the file: the change is
// undone.
void CheckBankFiles(Editor& ed) {
  const int volume = FindParamIndex("Volume");
  const std::string path = gBankFolder + kSeparator + kBankFile;
  const double saved = ed.p.Param(volume);

  RunUtility(ed, kCmdSaveBank);
  const bool typedIn = UseFileDialog(true, &path, false);
  CheckSoon([&] { return typedIn && FileStartsWith(path, "CcnK"); },
            [&] { return "Save Bank with the path typed in the save dialog writes " + path; }, 8000);
  Check(NoErrorBox(), "... without an error");

  RunUtility(ed, kCmdSaveBank);
  const bool onSuggestion = UseFileDialog(true, nullptr, false);
  std::string text;
  const bool replaced = onSuggestion && AnswerReplace(&text);
  Check(replaced, "Save Bank again: the dialog starts in that folder with \"Quarvi\", and saving over the file "
                  "asks first: \"" + text + "\"");
  Check(DialogsGone() && NoErrorBox() && FileStartsWith(path, "CcnK"), "... Yes saves it");

  ed.p.SetParam(volume, 0.1f);
  RunUtility(ed, kCmdLoadBank);  // cancelled
  const bool cancelled = UseFileDialog(false, nullptr, true);
  Check(cancelled && DialogsGone() && NoErrorBox() && std::fabs(ed.p.Param(volume) - 0.1) < 1e-3,
        "a cancelled Load Bank changes nothing and says nothing");

  RunUtility(ed, kCmdLoadBank);
  const std::string name = kBankFile;
  const bool loaded = UseFileDialog(false, &name, false);
  CheckSoon([&] { return loaded && std::fabs(ed.p.Param(volume) - saved) < 1e-3; }, [&] {
    return Format("Load Bank of \"%s\" in the dialog (started in the folder of the last save) brings \"Volume\" "
                  "back from 0.100 to %.3f", kBankFile, ed.p.Param(volume));
  }, 8000);
  Check(NoErrorBox(), "... without an error");
}

void CheckInitProgram(Editor& ed) {
  const int volume = FindParamIndex("Volume"), type = FindParamIndex("Type F2");
  const char* const question = "Do you really want to initialize the current program?";
  const std::string before = ed.p.ProgramName();
  const std::vector<float> values = ed.p.Params();
  RunUtility(ed, kCmdInitProgram);
  CheckQuestion(ed, "Initialize Program", question, false);
  gui::SleepMs(100);
  Check(ed.p.ProgramName() == before && ed.p.Params() == values, "... and No leaves the program as it was");

  const Picture knob = Look(ed, RectOf("Volume"));
  RunUtility(ed, kCmdInitProgram);
  CheckQuestion(ed, "Initialize Program", question, true);
  CheckSoon([&] { return ed.p.ProgramName() == "Init"; },
            [&] { return "... and Yes names the program \"" + ed.p.ProgramName() + "\""; });
  const double defaultVolume = kParamTable[volume].defaultValue;
  Check(std::fabs(ed.p.Param(volume) - defaultVolume) < 1e-6 && ed.p.ParamText(type) == "Partial",
        Format("... with the parameters' defaults (\"Volume\" %.3f, \"Type F2\" %s)", ed.p.Param(volume),
               ed.p.ParamText(type).c_str()));
  CheckState(ed, RectOf("Volume"), knob, std::fabs(values[volume] - defaultVolume) > 1e-6,
             "the editor shows the initialised program");
}

}  // namespace

void RunEditorByHand(const std::string& path, const Pictures& pictures) {
  std::printf("-- the editor of %s, worked by hand\n", path.c_str());
  const Library lib = OpenLibrary(path);
  Plugin p;
  if (lib.entry) OnUi([&] { p.effect = lib.entry(HostCallback); });
  if (!p.effect) return Check(false, "an instance of the library");
  p.Call(effOpen);
  p.NewHostWindow(10, 10);
  Check(p.OpenEditor() && p.EditorWindow(),
        "the editor opens in the host window on program 0, \"" + p.ProgramName() + "\"");
  Editor ed{p, p.EditorWindow()};
  if (!ed.wnd) return;
  CheckShows(ed.wnd, Reference(p, ed.wnd), "the full editor, as the window layer draws it");
  KeepScreen(ed, pictures.screen);

  CheckProgramArrows(ed);
  CheckUnison(ed);
  CheckFormantSwap(ed);
  CheckVolumeKnob(ed);
  CheckButton(ed);
  CheckProgramMenu(ed);
  CheckUtilityMenu(ed, pictures.menu);
  RunUtility(ed, kCmdCopyProgram);  // on program 20
  ed.copied = true;
  const std::vector<float> copied = p.Params();
  CheckNameEntry(ed);
  CheckCopyPaste(ed, copied);
  CheckBankFiles(ed);
  CheckInitProgram(ed);

  CheckShows(ed.wnd, Reference(p, ed.wnd), "after all that the window still shows what the window layer draws");
  if (!pictures.after.empty()) KeepPicture(Capture(ed.wnd), pictures.after, "the editor after the checks");
  p.CloseEditor();
  p.Close();
  p.DestroyHostWindow();
  OnUi([&] { CloseLibrary(lib); });
}

// ---- part 3: window services the editor does not use --------------------------------------

void CheckWindowServices(Plugin& p, IGraphics* g, Win editor, int width, int height) {
  const Editor ed{p, editor};
  size_t mark = Mark();
  StartOnUi([g] {
    Color c(255, 10, 20, 30);
    gui::Log(g->AskForColor(&c, "Pick a colour") ? "colour chosen" : "colour none");
  });
  Check(Dismiss("Pick a colour"), "the colour dialog carries the prompt as its title");
  Check(WaitFor([&] { return Logged(mark, "colour none"); }, 5000), "a cancelled colour dialog returns false");

  // Folders, the clipboard, the hidden cursor, a web link the user declines.
  std::string hostFolder, pluginFolder, desktop, appData, commonAppData;
  OnUi([&] {
    g->HostFolder(&hostFolder);
    g->PluginFolder(&pluginFolder);
    g->DesktopFolder(&desktop);
    g->UserAppDataFolder(&appData);
    g->AppDataFolder(&commonAppData, true);
  });
  Check(hostFolder == ExeFolder() && pluginFolder == ExeFolder() && !desktop.empty() && !appData.empty() &&
            CommonAppDataFolderOk(commonAppData, appData),
        "folders: host and plug-in " + hostFolder + ", desktop " + desktop + ", application data " + appData +
            " and " + commonAppData);
  const std::string unicode = "B\xC3\xA4sse \xCE\xA9";
  std::string clip;
  const bool clipOk = ClipboardRoundTrip(g, editor, unicode, &clip) && clip == unicode;
  Check(clipOk, "the clipboard's text comes back as UTF-8: " + clip);

  const Point before = ed.At(width * 3 / 4, height / 2);
  gui::MoveTo(before);
  OnUi([&] { g->HideCursor(); });
  gui::MoveTo(ed.At(5, 5));
  OnUi([&] { g->ShowCursor(); });
  const Point after = gui::CursorPos();
  Check(after.x == before.x && after.y == before.y, "the cursor shown again is back where it was hidden");

  mark = Mark();
  StartOnUi([g] {
    gui::Log(g->OpenUrl("http://quarvi.invalid/", "Quarvi", "Open the web page?", "No connection.") ? "url opened"
                                                                                                  : "url refused");
  });
  const Question q = Answer("Quarvi", false);
  Check(q.shown && (q.text == "Open the web page?" || !kQuestionTextRead),
        "a web link asks first: " + (kQuestionTextRead ? q.text : std::string("(zenity's question)")));
  CheckSoon([&] { return Logged(mark, "url refused"); },
            [&] { return "... and No opens nothing " + Join(Since(mark, {"url"})); }, 5000);

  // Resizing (the editor never does it, but the path works): the window and
  // the host's window grow by the difference.
  const gui::Box hostBefore = gui::ClientBox(p.host);
  OnUi([&] { g->Resize(width + 20, height + 10); });
  WaitFor([&] { return gui::ClientBox(editor).w == width + 20 && gui::ClientBox(p.host).w == hostBefore.w + 20; },
          1000);
  const gui::Box grown = gui::ClientBox(editor), hostGrown = gui::ClientBox(p.host);
  int w = 0, h = 0;
  p.EditorSize(&w, &h);
  Check(grown.w == width + 20 && grown.h == height + 10 && hostGrown.w == hostBefore.w + 20 &&
            hostGrown.h == hostBefore.h + 10 && w == width + 20,
        Format("Resize grows the editor to %dx%d and the host window by the same", grown.w, grown.h));
}

}  // namespace rig
