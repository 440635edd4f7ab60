#include "IGraphicsHeadless.h"

#include "IControl.h"

IGraphicsHeadless::IGraphicsHeadless(IPlugBase* plug, int w, int h, int fps)
    : IGraphics(plug, w, h, fps) {}

IGraphicsHeadless::~IGraphicsHeadless() { CloseWindow(); }

void* IGraphicsHeadless::OpenWindow(void*) {
  mOpen = true;
  PrepareDraw();
  SetAllControlsDirty();
  return this;
}

void IGraphicsHeadless::CloseWindow() {
  mOpen = false;
  mEntryOpen = false;
  mEntryState = kEntryNone;
}

bool IGraphicsHeadless::Tick() {
  // As the window's timer: a finished text entry is applied first and ends
  // the tick; otherwise the dirty controls are collected and drawn.
  if (mEntryOpen && mEntryState != kEntryNone && mEntryState != kEntryEditing) {
    IControl* control = mEntry.control;
    const bool commit = mEntryState == kEntryCommit;
    const std::string text = mEntryText;
    mEntryOpen = false;
    mEntryState = kEntryNone;
    mEntry = ValueEntry();
    if (commit && control) control->OnTextEntered(text.c_str());
    return false;
  }
  if (mEntryOpen) return false;  // the entry box has the window while editing
  Rect r;
  if (!CollectDirty(&r)) return false;
  return DrawDirty(r);
}

void IGraphicsHeadless::DrawAll() {
  SetAllControlsDirty();
  DrawDirty(Rect(0, 0, Width(), Height()));
}

bool IGraphicsHeadless::WritePNG(const std::string& path) {
  PrepareDraw();
  // The back buffer's alpha byte means nothing on screen: the picture is opaque.
  return LICE_WritePNG(BackBuffer(), path.c_str(), false);
}

bool IGraphicsHeadless::PresentRect(const Rect& rect) {
  mLastPresented = rect;
  ++mPresents;
  return true;
}

void IGraphicsHeadless::TypeAndCommit(const std::string& text) {
  if (!mEntryOpen) return;
  // The entry box takes no more characters than its limit allows.
  const int limit = mEntry.control ? mEntry.control->TextEntryLength() : 0;
  mEntryText = limit > 0 && static_cast<int>(text.size()) > limit ? text.substr(0, limit) : text;
  mEntryState = kEntryCommit;
}

void IGraphicsHeadless::CancelValueEntry() {
  if (mEntryOpen) mEntryState = kEntryCancel;
}

void IGraphicsHeadless::EndValueEntry() { CancelValueEntry(); }

int IGraphicsHeadless::ShowMessageBox(const char* text, const char* caption, int type) {
  MessageBoxCall call;
  call.text = text ? text : "";
  call.caption = caption ? caption : "";
  call.type = type;
  if (!messageBoxAnswers.empty()) {
    call.answer = messageBoxAnswers.front();
    messageBoxAnswers.pop_front();
  } else {
    call.answer = (type & 0xF) == MB_TYPE_YESNO ? MB_RESULT_NO : MB_RESULT_OK;
  }
  messageBoxes.push_back(call);
  return call.answer;
}

namespace {
std::vector<IGraphicsHeadless::MenuItemRecord> RecordMenu(const PopupMenu& menu) {
  std::vector<IGraphicsHeadless::MenuItemRecord> items;
  for (int i = 0; i < menu.NItems(); ++i) {
    const PopupMenuItem* item = menu.GetItem(i);
    IGraphicsHeadless::MenuItemRecord rec;
    rec.text = menu.DisplayText(i);
    rec.flags = item->flags;
    if (item->submenu) rec.submenu = RecordMenu(*item->submenu);
    items.push_back(std::move(rec));
  }
  return items;
}
}  // namespace

PopupMenu* IGraphicsHeadless::ShowPopupMenu(PopupMenu* menu, const Rect& rect) {
  ReleaseMouseCapture();
  if (!menu) return nullptr;
  menus.push_back(MenuCall{rect, RecordMenu(*menu)});
  if (menuChoices.empty()) return nullptr;
  const std::vector<int> path = menuChoices.front();
  menuChoices.pop_front();
  // Follows the path down the submenus; as with a real menu, only an
  // enabled item that is neither a separator nor a submenu can be chosen.
  PopupMenu* current = menu;
  for (size_t k = 0; k < path.size(); ++k) {
    PopupMenuItem* item = current->GetItem(path[k]);
    if (!item || item->IsSeparator() || !item->Enabled()) return nullptr;
    if (item->submenu) {
      if (k + 1 == path.size()) return nullptr;
      current = item->submenu.get();
      continue;
    }
    if (k + 1 != path.size()) return nullptr;
    current->SetChosenItemIdx(path[k]);
    return current;
  }
  return nullptr;
}

void IGraphicsHeadless::ShowValueEntry(IControl* control, const TextStyle& style, const Rect& rect,
                                       const char* initialText, IPlugParam*) {
  if (!control || mEntryOpen) return;
  mEntry.control = control;
  mEntry.style = style;
  mEntry.rect = rect;
  mEntry.initialText = initialText ? initialText : "";
  mEntryText = mEntry.initialText;
  mEntryOpen = true;
  mEntryState = kEntryEditing;
}

void IGraphicsHeadless::AskForFile(std::string* fileName, int action, std::string* folder,
                                   const char* extensions) {
  FileDialogCall call;
  call.fileName = fileName ? *fileName : "";
  call.folder = folder ? *folder : "";
  call.extensions = extensions ? extensions : "";
  call.action = action;
  fileDialogs.push_back(call);
  std::string chosen;
  if (!fileAnswers.empty()) {
    chosen = fileAnswers.front();
    fileAnswers.pop_front();
  }
  if (fileName) *fileName = chosen;
  if (!chosen.empty() && folder) {
    const size_t cut = chosen.find_last_of("/\\");
    *folder = cut == std::string::npos ? std::string() : chosen.substr(0, cut + 1);
  }
}

bool IGraphicsHeadless::OpenUrl(const char* url, const char* caption, const char* confirmText,
                                const char* errorText) {
  UrlCall call;
  call.url = url ? url : "";
  call.caption = caption ? caption : "";
  call.confirmText = confirmText ? confirmText : "";
  call.errorText = errorText ? errorText : "";
  if (confirmText && ShowMessageBox(confirmText, caption, MB_TYPE_YESNO) != MB_RESULT_YES) {
    urls.push_back(call);
    return false;
  }
  call.opened = connected;
  urls.push_back(call);
  if (call.opened) return true;
  if (errorText) ShowMessageBox(errorText, caption, MB_TYPE_OK);
  return false;
}

bool IGraphicsHeadless::ClipboardText(std::string* text) {
  *text = clipboard;
  return !clipboard.empty();
}
