#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "IGraphics.h"

// The editor as a Windows child window inside the window the host gives:
// a 40 ms timer drives the redraw cycle, window messages become the core's
// mouse and key calls, and the system supplies popup menus, the text entry
// box, message boxes, file and colour dialogs, folders, the clipboard and web
// links. The Win32 code lives in IGraphicsWin_win32.cpp; this header keeps
// system types out (handles are void*).
//
// Text crosses this class as UTF-8 in both directions: menu items, message
// boxes, the entry box and file paths go through the system's wide (UTF-16)
// functions, so names outside the ANSI code page survive.
//
// Threads: every call runs on the thread that owns the window (the host's
// user-interface thread), except what the core allows from other threads.
class IGraphicsWin : public IGraphics {
 public:
  // Text entry states. The entry procedure and the mouse only set a state;
  // the next timer tick applies it.
  enum EntryState { kEntryNone = 0, kEntryEditing = 1, kEntryUpdate = 2, kEntryCancel = 3,
                    kEntryCommit = 4 };
  static constexpr int kTimerId = 2;
  static constexpr int kEntryId = 99;
  static constexpr const char* kWindowClass = "IPlugWndClass";

  // module: the plug-in library's instance handle (its resources, and the
  // owner of the window class).
  IGraphicsWin(IPlugBase* plug, void* module, int w = kWidth, int h = kHeight,
               int fps = kDefaultFPS);
  ~IGraphicsWin() override;

  bool CanOpenWindows() const override { return true; }

  // ---- the window --------------------------------------------------------------
  void* OpenWindow(void* parent) override;
  void CloseWindow() override;
  void* WindowHandle() override { return mWnd; }
  bool PresentRect(const Rect& rect) override;
  void Resize(int w, int h) override;
  const char* GraphicsApiName() override { return "Windows GDI"; }

  // ---- user questions ----------------------------------------------------------
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  PopupMenu* ShowPopupMenu(PopupMenu* menu, const Rect& rect) override;
  void ShowValueEntry(IControl* control, const TextStyle& style, const Rect& rect,
                      const char* initialText, IPlugParam* param) override;
  void EndValueEntry() override;
  void AskForFile(std::string* fileName, int action, std::string* folder,
                  const char* extensions) override;
  bool AskForColor(Color* color, const char* prompt) override;
  bool OpenUrl(const char* url, const char* caption, const char* confirmText,
               const char* errorText) override;

  // ---- system services ------------------------------------------------------------
  void HostFolder(std::string* folder) override;
  void PluginFolder(std::string* folder) override;
  void DesktopFolder(std::string* folder) override;
  void AppDataFolder(std::string* folder, bool allUsers) override;
  bool ClipboardText(std::string* text) override;
  void HideCursor() override;
  void ShowCursor() override;

  // ---- for tests ---------------------------------------------------------------------
  // Editor windows open in this process (all instances); the window class is
  // registered while it is above 0.
  static int OpenWindowCount();
  void* EntryWindow() const { return mEntryWnd; }
  int GetEntryState() const { return mEntryState; }

 private:
  friend class IGraphicsWinProc;  // the window and entry procedures

  // Bookkeeping of a window that went away: by CloseWindow, or destroyed
  // with the host's window that held it.
  void ForgetWindow();
  // Drops the entry box's font and state once its window is gone.
  void ForgetEntry();
  void CloseEntry(bool commit);
  void OnTimerTick();
  void* MessageBoxOwner();

  void* mModule;
  void* mWnd = nullptr;
  void* mEntryWnd = nullptr;
  IControl* mEntryControl = nullptr;
  IPlugParam* mEntryParam = nullptr;
  void* mEntryPrevProc = nullptr;
  void* mEntryFont = nullptr;
  int mEntryState = kEntryNone;
  std::unique_ptr<uint32_t[]> mCustomColors;  // 16 COLORREFs, made on first use
  unsigned long mProcessId = 0;
  void* mParentWnd = nullptr;
  void* mHostTopWnd = nullptr;
  std::string mHostTopClass;
};
