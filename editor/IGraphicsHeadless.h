#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "IGraphics.h"

// An editor without a window: the graphics core with window services that
// show nothing. It is part of the product, not a test double: the picture
// tool draws the editor through it, platforms without a window layer keep
// their editor object in it, and tests drive the editor with it.
//
// Everything a user would answer (message boxes, menus, file dialogs, text
// entry) is scripted: answers queued beforehand are taken in order, and every
// question asked is recorded. Without a queued answer a message box answers
// No (or OK for a plain box), a menu closes without a choice and a file
// dialog is cancelled, which is what a user who dismisses them gets.
class IGraphicsHeadless : public IGraphics {
 public:
  struct MessageBoxCall {
    std::string text, caption;
    int type = 0;
    int answer = 0;
  };
  struct MenuItemRecord {
    std::string text;  // as displayed (with the numbering prefix)
    int flags = 0;
    std::vector<MenuItemRecord> submenu;
  };
  struct MenuCall {
    Rect rect;
    std::vector<MenuItemRecord> items;
  };
  struct FileDialogCall {
    std::string fileName, folder, extensions;
    int action = 0;
  };
  struct ValueEntry {
    IControl* control = nullptr;
    TextStyle style;
    Rect rect;
    std::string initialText;
  };
  struct UrlCall {
    std::string url, caption, confirmText, errorText;
    bool opened = false;
  };

  explicit IGraphicsHeadless(IPlugBase* plug, int w = kWidth, int h = kHeight, int fps = kDefaultFPS);
  ~IGraphicsHeadless() override;

  // ---- the window, simulated ------------------------------------------------
  // "Opens" the editor: IsWindowOpen() becomes true and every control is
  // marked dirty, as a real open does. Returns a non-null token.
  void* OpenWindow(void* parent) override;
  void CloseWindow() override;
  void* WindowHandle() override { return mOpen ? this : nullptr; }
  // One timer tick of the window layer: applies a finished text entry, or
  // collects the dirty controls and draws them into the back buffer.
  // Returns whether anything was drawn.
  bool Tick();
  // Draws every control into the back buffer at once (for pictures).
  void DrawAll();
  // Writes the back buffer as a PNG (UTF-8 path).
  bool WritePNG(const std::string& path);
  bool PresentRect(const Rect& rect) override;
  const Rect& LastPresented() const { return mLastPresented; }
  int Presents() const { return mPresents; }

  // ---- scripted answers --------------------------------------------------------
  std::deque<int> messageBoxAnswers;
  // Paths of item indices, e.g. {14, 0}: item 14 of the menu, then item 0 of
  // its submenu. An empty path closes the menu without a choice.
  std::deque<std::vector<int>> menuChoices;
  // Full paths the file dialog returns; "" cancels.
  std::deque<std::string> fileAnswers;
  // What OpenUrl reports as the system's connection state.
  bool connected = true;
  std::string clipboard;
  std::string hostFolder, pluginFolder, desktopFolder, appDataFolder, commonAppDataFolder;

  // ---- what was asked ------------------------------------------------------------
  std::vector<MessageBoxCall> messageBoxes;
  std::vector<MenuCall> menus;
  std::vector<FileDialogCall> fileDialogs;
  std::vector<UrlCall> urls;

  // ---- text entry --------------------------------------------------------------
  bool ValueEntryOpen() const { return mEntryOpen; }
  const ValueEntry& CurrentValueEntry() const { return mEntry; }
  // The user types text and presses Enter: the control gets it at the next
  // Tick(), as in a real window. Cancel closes it without text.
  void TypeAndCommit(const std::string& text);
  void CancelValueEntry();

  // ---- window services ---------------------------------------------------------
  void EndValueEntry() override;
  const char* GraphicsApiName() override { return "Headless"; }
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  PopupMenu* ShowPopupMenu(PopupMenu* menu, const Rect& rect) override;
  void ShowValueEntry(IControl* control, const TextStyle& style, const Rect& rect,
                      const char* initialText, IPlugParam* param) override;
  void HostFolder(std::string* folder) override { *folder = hostFolder; }
  void PluginFolder(std::string* folder) override { *folder = pluginFolder; }
  void DesktopFolder(std::string* folder) override { *folder = desktopFolder; }
  void AppDataFolder(std::string* folder, bool allUsers) override {
    *folder = allUsers ? commonAppDataFolder : appDataFolder;
  }
  void AskForFile(std::string* fileName, int action, std::string* folder,
                  const char* extensions) override;
  bool AskForColor(Color*, const char*) override { return false; }
  bool OpenUrl(const char* url, const char* caption, const char* confirmText,
               const char* errorText) override;
  bool ClipboardText(std::string* text) override;

 private:
  enum EntryState { kEntryNone = 0, kEntryEditing = 1, kEntryCancel = 3, kEntryCommit = 4 };
  bool mOpen = false;
  bool mEntryOpen = false;
  int mEntryState = kEntryNone;
  std::string mEntryText;
  ValueEntry mEntry;
  Rect mLastPresented;
  int mPresents = 0;
};
