// The editor as it opens on a new instance, drawn as quarvi-picture draws it,
// against the reference picture tests/data/editor-default.png. Linux only:
// the fonts are the embedded ones there, so the picture is the same on every
// machine. After an intended change of the look, regenerate the reference:
//   build/linux/quarvi-picture --out tests/data/editor-default.png
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "IGraphicsHeadless.h"
#include "Quarvi.h"
#include "lice/lice.h"
#include "platform/Folders.h"
#include "vst2.h"

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback host);

namespace {

VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

// Room for rounding in another build of the drawing libraries; a moved
// control or text changes pixels by far more.
constexpr int kTolerance = 3;

int Difference(LICE_pixel a, LICE_pixel b) {
  return std::max({std::abs(LICE_GETR(a) - LICE_GETR(b)), std::abs(LICE_GETG(a) - LICE_GETG(b)),
                   std::abs(LICE_GETB(a) - LICE_GETB(b))});
}

}  // namespace

TEST(EditorPicture, TheDefaultEditorMatchesTheReferencePicture) {
  // As the picture tool does it: a host's instance, its editor built into
  // the headless window layer, opened, idled, ticked and painted in full.
  AEffect* e = VSTPluginMain(&Host);
  ASSERT_NE(e, nullptr);
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  std::unique_ptr<AEffect, void (*)(AEffect*)> closer(e, [](AEffect* x) {
    x->dispatcher(x, effClose, 0, 0, nullptr, 0.0f);
  });
  Quarvi& q = *static_cast<Quarvi*>(static_cast<IPlugVST*>(e->object));
  auto* g = new IGraphicsHeadless(&q);
  q.InstallEditor(g);
  e->dispatcher(e, effSetProgram, 0, 0, nullptr, 0.0f);
  g->OpenWindow(nullptr);
  e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
  for (int tick = 0; tick < 4 && g->Tick(); ++tick) {
  }
  g->DrawAll();
  LICE_IBitmap* drawn = g->BackBuffer();
  ASSERT_NE(drawn, nullptr);

  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(std::string(QUARVI_SOURCE_DIR) + "/tests/data/editor-default.png", &bytes));
  std::unique_ptr<LICE_MemBitmap> reference(LICE_LoadPNGFromMemory(bytes.data(), bytes.size()));
  ASSERT_NE(reference, nullptr);
  ASSERT_EQ(reference->GetWidth(), drawn->GetWidth());
  ASSERT_EQ(reference->GetHeight(), drawn->GetHeight());

  const int w = drawn->GetWidth(), h = drawn->GetHeight();
  LICE_MemBitmap diff(w, h);
  int differing = 0, worst = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const LICE_pixel a = drawn->GetBits()[y * drawn->GetRowSpan() + x];
      const LICE_pixel b = reference->GetBits()[y * reference->GetRowSpan() + x];
      const int d = Difference(a, b);
      worst = std::max(worst, d);
      // The difference image: the reference dimmed, differing pixels red.
      const int grey = (LICE_GETR(b) + LICE_GETG(b) + LICE_GETB(b)) / 12;
      diff.GetBits()[y * diff.GetRowSpan() + x] =
          d > kTolerance ? LICE_RGBA(255, 0, 0, 255) : LICE_RGBA(grey, grey, grey, 255);
      differing += d > kTolerance;
    }
  }
  if (differing > 0) {
    const std::string out = std::string(QUARVI_BINARY_DIR) + "/test-output";
    CreateFolder(out);
    IGraphicsHeadless* headless = g;
    EXPECT_TRUE(headless->WritePNG(out + "/editor-default.new.png"));
    EXPECT_TRUE(LICE_WritePNG(&diff, (out + "/editor-default.diff.png").c_str(), false));
    ADD_FAILURE() << differing << " pixels differ from tests/data/editor-default.png (by up to " << worst
                  << "); the picture drawn and a difference image are in " << out;
  }
}
