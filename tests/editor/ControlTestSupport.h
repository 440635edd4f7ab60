#pragma once
// Helpers for the control tests: strips whose pixels tell which frame of
// which image was drawn, a font that records the texts drawn with it, and a
// real instrument with a headless editor and a host that logs what it is
// told.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "../instrument/InstrumentFixture.h"
#include "IGraphicsHeadless.h"
#include "lice/lice_text.h"
#include "vst2.h"

namespace control_test {

// A strip of `frames` stacked frames; every pixel of frame k (1-based) is
// opaque with red = k and green = tag.
struct TestStrip {
  std::unique_ptr<LICE_MemBitmap> bitmap;
  BitmapStrip strip;
  TestStrip(int w, int h, int frames, int tag) : bitmap(new LICE_MemBitmap(w, h)) {
    for (int y = 0; y < h; ++y) {
      const int frame = y * frames / h + 1;
      for (int x = 0; x < w; ++x) bitmap->GetBits()[y * bitmap->GetRowSpan() + x] = LICE_RGBA(frame, tag, 0, 255);
    }
    strip.bitmap = bitmap.get();
    strip.W = w;
    strip.H = h;
    strip.N = frames;
  }
};

// What the back buffer shows at (x, y): 100 * tag + frame of the strip drawn there.
inline int ShownAt(IGraphics& g, int x, int y) {
  const LICE_pixel p = g.BackBuffer()->GetBits()[y * g.BackBuffer()->GetRowSpan() + x];
  return 100 * LICE_GETG(p) + LICE_GETR(p);
}

// Records every text drawn with it (set it as a style's font).
class RecordingFont : public LICE_CachedFont {
 public:
  struct Drawn {
    std::string text;
    Rect rect;
    LICE_pixel color;
  };
  int DrawTextUtf8(LICE_IBitmap*, const char* text, int, LICE_TextRect* r, unsigned flags) override {
    if (!(flags & LICE_DT_CALCRECT)) drawn.push_back(Drawn{text, Rect(r->left, r->top, r->right, r->bottom), GetTextColor()});
    return 12;
  }
  std::vector<Drawn> drawn;
};

// What the host is told, in order: "set 5 1", "begin 5", "end 5", "program".
inline std::vector<std::string>& HostLog() {
  static std::vector<std::string> log;
  return log;
}
inline VstIntPtr VSTCALLBACK RecordingHost(AEffect*, VstInt32 op, VstInt32 index, VstIntPtr, void*, float opt) {
  char line[64];
  if (op == audioMasterAutomate) std::snprintf(line, sizeof(line), "set %d %g", index, opt);
  else if (op == audioMasterBeginEdit || op == audioMasterEndEdit)
    std::snprintf(line, sizeof(line), "%s %d", op == audioMasterBeginEdit ? "begin" : "end", index);
  else if (op == audioMasterUpdateDisplay) std::snprintf(line, sizeof(line), "program");
  else return 0;
  HostLog().push_back(line);
  return 0;
}

// A real instrument whose editor is a headless one the test fills.
struct EditorInstrument {
  std::unique_ptr<Quarvi> q;
  IGraphicsHeadless* g;

  explicit EditorInstrument(Quarvi* instance = nullptr) : q(instance ? instance : new Quarvi(&RecordingHost)) {
    q->DestroyEditor();  // the platform's editor: replaced by one the test drives
    g = new IGraphicsHeadless(q.get());
    q->AttachEditor(g);
    HostLog().clear();
  }
  // Adds a control and gives it its parameter's value, as attaching does.
  template <class C>
  C* Add(C* control) {
    g->AddControl(control);
    q->RefreshParamControls();
    control->SetClean();
    return control;
  }
  void Click(int x, int y, bool right = false) {
    MouseMods m;
    m.L = !right;
    m.R = right;
    g->OnMouseDown(x, y, m);
    g->OnMouseUp(x, y, m);
  }
  double Value(int index) { return q->GetParam(index)->value; }
  void Draw() { g->DrawAll(); }
};

}  // namespace control_test
