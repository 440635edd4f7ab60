// Temporary: the headless editor's message boxes and web links, enough for
// the update check's tests until the editor core lands. Remove on merge.
#include "IControl.h"
#include "IGraphicsHeadless.h"

IGraphics::IGraphics(IPlugBase* plug, int w, int h, int fps)
    : mPlug(plug), mWidth(w), mHeight(h), mFPS(fps) {}
IGraphics::~IGraphics() = default;
bool IGraphics::MeasureText(TextStyle*, const char*, Rect*) { return false; }
void IGraphics::Resize(int, int) {}
LICE_IBitmap* IGraphics::LoadBitmapResource(int, const char*) { return nullptr; }

IGraphicsHeadless::IGraphicsHeadless(IPlugBase* plug, int w, int h, int fps) : IGraphics(plug, w, h, fps) {}
IGraphicsHeadless::~IGraphicsHeadless() = default;
void* IGraphicsHeadless::OpenWindow(void*) { mOpen = true; return this; }
void IGraphicsHeadless::CloseWindow() { mOpen = false; }
bool IGraphicsHeadless::PresentRect(const Rect&) { return true; }
void IGraphicsHeadless::EndValueEntry() {}
int IGraphicsHeadless::ShowMessageBox(const char* text, const char* caption, int type) {
  int answer = (type & 0xF) == MB_TYPE_YESNO ? MB_RESULT_NO : MB_RESULT_OK;
  if (!messageBoxAnswers.empty()) {
    answer = messageBoxAnswers.front();
    messageBoxAnswers.pop_front();
  }
  messageBoxes.push_back({text ? text : "", caption ? caption : "", type, answer});
  return answer;
}
PopupMenu* IGraphicsHeadless::ShowPopupMenu(PopupMenu*, const Rect&) { return nullptr; }
void IGraphicsHeadless::ShowValueEntry(IControl*, const TextStyle&, const Rect&, const char*, IPlugParam*) {}
void IGraphicsHeadless::AskForFile(std::string* fileName, int, std::string*, const char*) { fileName->clear(); }
bool IGraphicsHeadless::OpenUrl(const char* url, const char* caption, const char* confirmText,
                                const char* errorText) {
  urls.push_back({url ? url : "", caption ? caption : "", confirmText ? confirmText : "",
                  errorText ? errorText : "", connected});
  return connected;
}
bool IGraphicsHeadless::ClipboardText(std::string* text) { *text = clipboard; return !clipboard.empty(); }
