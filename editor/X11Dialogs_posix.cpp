// Questions the X11 window layer asks the user: message boxes, file and
// colour dialogs. They run as child processes of the desktop's dialog
// program (zenity or kdialog), started without a shell, transient for the
// host's window; while one is open the editor keeps painting (the host's
// window does not turn into a hole) but takes no input, as under a modal
// dialog. Without either program, message boxes are drawn in the editor.
#include <X11/keysym.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "DialogCommands.h"
#include "IGraphicsX11Internal.h"
#include "WindowViews.h"
#include "lice/lice.h"
#include "platform/Folders.h"

extern char** environ;

namespace {

// Exit code of RunProgram for a program that could not be started.
constexpr int kNotStarted = -2;

struct ToolChoice {
  dialogcmd::Tool tool = dialogcmd::Tool::kNone;
  std::string program;
};

// Looked up at every question: a program installed while the host runs is
// found, and the PATH the host has now counts.
ToolChoice FindDialogTool() {
  const std::string zenity = x11::FindProgram("zenity"), kdialog = x11::FindProgram("kdialog");
  ToolChoice c;
  c.tool = dialogcmd::ChooseTool(!zenity.empty(), !kdialog.empty(), getenv("XDG_CURRENT_DESKTOP"));
  c.program = c.tool == dialogcmd::Tool::kZenity ? zenity : c.tool == dialogcmd::Tool::kKdialog ? kdialog : "";
  return c;
}

// The environment for a child: ours, with DISPLAY naming the display the
// editor is on.
std::vector<std::string> ChildEnvironment(Display* dpy) {
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) {
    if (dpy && std::strncmp(*e, "DISPLAY=", 8) == 0) continue;
    env.emplace_back(*e);
  }
  if (dpy) env.push_back(std::string("DISPLAY=") + DisplayString(dpy));
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> p;
  for (std::string& s : strings) p.push_back(&s[0]);
  p.push_back(nullptr);
  return p;
}

// Starts a program: standard input and error on /dev/null, standard output
// on outFd (or /dev/null), no other descriptor of ours inherited.
pid_t Spawn(const std::vector<std::string>& argv, int outFd, Display* dpy) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return -1;
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (outFd >= 0) posix_spawn_file_actions_adddup2(&actions, outFd, 1);
  else posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  // The host's descriptors (its audio devices, its pipes) stay with it.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
  std::vector<std::string> args = argv, env = ChildEnvironment(dpy);
  std::vector<char*> argp = Pointers(args), envp = Pointers(env);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, argp.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

}  // namespace

int IGraphicsX11::Impl::RunProgram(const std::vector<std::string>& argv, std::string* out) {
  if (argv.empty()) return kNotStarted;
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return kNotStarted;
  const pid_t pid = Spawn(argv, pipeFds[1], dpy);
  close(pipeFds[1]);
  if (pid < 0) {
    close(pipeFds[0]);
    return kNotStarted;
  }
  fcntl(pipeFds[0], F_SETFL, fcntl(pipeFds[0], F_GETFL) | O_NONBLOCK);

  bool eof = false, stopped = false;
  int status = 0;
  bool known = false;
  for (;;) {
    if (!eof) {
      char buf[4096];
      for (;;) {
        const ssize_t n = read(pipeFds[0], buf, sizeof(buf));
        if (n > 0) {
          if (out) out->append(buf, static_cast<size_t>(n));
          continue;
        }
        if (n == 0) eof = true;
        else if (errno == EINTR) continue;
        break;
      }
    }
    if (eof) {
      const pid_t r = waitpid(pid, &status, WNOHANG);
      if (r == pid) {
        known = true;
        break;
      }
      // A host that has its children reaped for it (SIGCHLD ignored) leaves
      // us no exit code: the answer is unknown.
      if (r < 0 && errno != EINTR) break;
    }
    // The editor is going away (closed by the host, or its window
    // destroyed): the question goes with it.
    if (dpy && !stopped && ShouldLeaveLoop()) {
      kill(pid, SIGTERM);
      stopped = true;
    }
    if (dpy) {
      ++loopDepth;
      DrainEvents(true);
      RunCycle();
      --loopDepth;
      Wait(eof ? 20 : 40, eof ? -1 : pipeFds[0]);
    } else {
      pollfd fd;
      fd.fd = pipeFds[0];
      fd.events = POLLIN;
      fd.revents = 0;
      poll(&fd, eof ? 0 : 1, 20);
      if (eof) usleep(20000);
    }
  }
  close(pipeFds[0]);
  clicks.Forget();  // the clicks went to the dialog
  if (stopped || !known) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool IGraphicsX11::Impl::StartDetached(const std::vector<std::string>& argv) {
  if (argv.empty()) return false;
  const pid_t pid = Spawn(argv, -1, dpy);
  if (pid < 0) return false;
  strays.push_back(pid);  // reaped on a later idle call
  return true;
}

// ---- message boxes -------------------------------------------------------------------------

int IGraphicsX11::Impl::MessageBox(const char* text, const char* caption, int type) {
  const ToolChoice choice = FindDialogTool();
  if (choice.tool != dialogcmd::Tool::kNone && (dpy || getenv("DISPLAY"))) {
    const std::vector<std::string> args =
        dialogcmd::MessageBoxArgs(choice.tool, choice.program, text, caption, type, HostTopLevel());
    const int code = RunProgram(args, nullptr);
    if (code != kNotStarted) return dialogcmd::MessageBoxAnswer(type, code);
  }
  return DrawnMessageBox(text, caption, type);
}

int IGraphicsX11::Impl::DrawnMessageBox(const char* text, const char* caption, int type) {
  const int dismissed = (type & 0xF) == MB_TYPE_YESNO ? MB_RESULT_NO : MB_RESULT_OK;
  if (!Alive()) return dismissed;
  const windowviews::MessageBoxLayout layout =
      windowviews::LayoutMessageBox(text, caption, type, std::min(460, g->Width() - 40));
  const int x = std::max(0, (g->Width() - layout.width) / 2), y = std::max(0, (g->Height() - layout.height) / 2);
  const Window box = MakeChildWindow(wnd, x, y, layout.width, layout.height,
                                     ExposureMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask);
  if (!box) return dismissed;
  XMapRaised(dpy, box);
  XSync(dpy, False);
  // Keys go to the box while it is up, so that Enter and Escape answer it.
  const Window focusBeforeEntry = focusBefore;
  const int revertBeforeEntry = revertBefore;
  TakeFocus(box);

  int focused = 0, pressed = -1, answer = 0;
  auto paint = [&]() {
    LICE_MemBitmap bitmap(layout.width, layout.height);
    windowviews::PaintMessageBox(&bitmap, layout, caption, focused, pressed);
    PutBitmap(box, &bitmap, 0, 0, layout.width, layout.height);
    XFlush(dpy);
  };
  paint();
  ++loopDepth;
  while (!answer && !ShouldLeaveLoop()) {
    while (!answer && dpy && !closeRequested.load() && XPending(dpy) > 0) {
      XEvent ev;
      XNextEvent(dpy, &ev);
      if (ev.xany.window != box) {
        HandleEvent(ev, true);
        continue;
      }
      switch (ev.type) {
        case Expose:
          if (ev.xexpose.count == 0) paint();
          break;
        case ButtonPress:
          if (ev.xbutton.button == Button1) {
            pressed = windowviews::MessageBoxButtonAt(layout, ev.xbutton.x, ev.xbutton.y);
            if (pressed >= 0) focused = pressed;
            paint();
          }
          break;
        case ButtonRelease:
          if (ev.xbutton.button == Button1) {
            const int at = windowviews::MessageBoxButtonAt(layout, ev.xbutton.x, ev.xbutton.y);
            if (pressed >= 0 && at == pressed) answer = layout.answers[static_cast<size_t>(at)];
            pressed = -1;
            paint();
          }
          break;
        case KeyPress: {
          KeySym keysym = NoSymbol;
          char buf[16];
          XLookupString(&ev.xkey, buf, sizeof(buf), &keysym, nullptr);
          const int n = static_cast<int>(layout.answers.size());
          if (keysym == XK_Return || keysym == XK_KP_Enter || keysym == XK_space) {
            answer = layout.answers[static_cast<size_t>(focused)];
          } else if (keysym == XK_Escape) {
            answer = dismissed;
          } else if (keysym == XK_Left || keysym == XK_Right || keysym == XK_Tab || keysym == XK_ISO_Left_Tab) {
            focused = (focused + (keysym == XK_Left || keysym == XK_ISO_Left_Tab ? n - 1 : 1)) % n;
            paint();
          }
          break;
        }
        default:
          break;
      }
    }
    if (answer || ShouldLeaveLoop()) break;
    RunCycle();
    Wait(40);
  }
  --loopDepth;
  if (dpy) {
    GiveFocusBack(box);
    XDestroyWindow(dpy, box);
    XFlush(dpy);
  }
  clicks.Forget();
  focusBefore = focusBeforeEntry;
  revertBefore = revertBeforeEntry;
  invalid = invalid.Union(Rect(x, y, x + layout.width, y + layout.height));
  return answer ? answer : dismissed;
}

// ---- file and colour dialogs ------------------------------------------------------------------

void IGraphicsX11::AskForFile(std::string* fileName, int action, std::string* folder, const char* extensions) {
  if (!fileName) return;
  Impl& m = *mImpl;
  std::lock_guard<std::recursive_mutex> lock(m.xLock);
  if (!m.Alive()) {
    fileName->clear();
    return;
  }
  const bool save = action == kFileSave;
  const ToolChoice choice = FindDialogTool();
  if (choice.tool == dialogcmd::Tool::kNone) {
    m.MessageBox("No file dialog available: install zenity or kdialog to choose files.", save ? "Save As" : "Open",
                 MB_TYPE_OK | MB_ICON_WARNING);
    fileName->clear();
    return;
  }
  std::string start = folder ? *folder : std::string();
  if (start.empty()) DesktopFolder(&start);
  if (!start.empty() && start.back() != '/') start += '/';
  const windowlogic::FileFilter filter = windowlogic::BuildFileFilter(extensions);
  std::string out;
  const int code = m.RunProgram(
      dialogcmd::FileDialogArgs(choice.tool, choice.program, action, start + *fileName, filter.pattern,
                                m.HostTopLevel()),
      &out);
  std::string path = dialogcmd::FileDialogAnswer(out, code);
  if (!path.empty() && save && dialogcmd::AddDefaultExtension(&path, filter.defaultExtension) && PathExists(path)) {
    // The dialog asked about the name as typed; the name with the
    // extension is asked about here.
    const std::string name = path.substr(path.find_last_of('/') + 1);
    if (m.MessageBox((name + " already exists.\nDo you want to replace it?").c_str(), "Confirm Save As",
                     MB_TYPE_YESNO | MB_ICON_WARNING) != MB_RESULT_YES) {
      path.clear();
    }
  }
  *fileName = path;
  if (!path.empty() && folder) *folder = windowlogic::DriveAndFolderOf(path);
}

bool IGraphicsX11::AskForColor(Color* color, const char* prompt) {
  Impl& m = *mImpl;
  std::lock_guard<std::recursive_mutex> lock(m.xLock);
  if (!color || !m.Alive()) return false;
  const ToolChoice choice = FindDialogTool();
  if (choice.tool == dialogcmd::Tool::kNone) return false;
  std::string out;
  const int code =
      m.RunProgram(dialogcmd::ColorDialogArgs(choice.tool, choice.program, *color, prompt, m.HostTopLevel()), &out);
  return dialogcmd::ColorDialogAnswer(out, code, color);
}
