// Heap bytes one plug-in instance holds beyond what the process shares
// (tables, caches): a first instance is made and closed so that every
// process-wide structure exists, then the heap in use is compared before and
// after a second instance (VSTPluginMain, effOpen, then 48 kHz, 512-sample
// blocks and activation, as a host sets it up), and again once its editor
// has drawn (the back buffer is made on the first draw, not before).
//   quarvi_memory_probe
#include <malloc.h>

#include <cstdio>

#include "IGraphics.h"
#include "Quarvi.h"
#include "vst2.h"

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback host);

namespace {
VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

// Large blocks (the back buffer) come from mmap and count apart.
size_t HeapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

AEffect* Open() {
  AEffect* e = VSTPluginMain(Host);
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  e->dispatcher(e, effSetBlockSize, 0, 512, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  return e;
}

void Close(AEffect* e) { e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f); }
}  // namespace

int main() {
  Close(Open());  // process-wide tables and caches
  const size_t before = HeapInUse();
  AEffect* second = Open();
  const size_t with = HeapInUse();
  AEffect* third = Open();
  const size_t withTwo = HeapInUse();
  // The third instance's editor draws everything, as an opened window does.
  IGraphics* editor = static_cast<Quarvi*>(static_cast<IPlugVST*>(third->object))->GetGUI();
  editor->SetAllControlsDirty();
  editor->DrawDirty(Rect(0, 0, editor->Width(), editor->Height()));
  const size_t drawn = HeapInUse();
  Close(third);
  Close(second);
  const size_t after = HeapInUse();
  std::printf("sizeof(Quarvi) %zu bytes\n", sizeof(Quarvi));
  std::printf("heap per instance: %zu bytes (second instance), %zu bytes (third instance)\n", with - before,
              withTwo - with);
  std::printf("the third instance's editor drawn: %zu bytes more (%zu in all)\n", drawn - withTwo,
              drawn - with);
  // What stays: the font glyphs the first draw rendered (process-wide).
  std::printf("heap left after closing both: %zd bytes\n", static_cast<ssize_t>(after - before));
  return 0;
}
