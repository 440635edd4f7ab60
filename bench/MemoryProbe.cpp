// Heap bytes one plug-in instance holds beyond what the process shares
// (tables, caches): a first instance is made and closed so that every
// process-wide structure exists, then the heap in use is compared before and
// after a second instance (VSTPluginMain, effOpen, then 48 kHz, 512-sample
// blocks and activation, as a host sets it up).
//   quarvi_memory_probe
#include <malloc.h>

#include <cstdio>

#include "Quarvi.h"
#include "vst2.h"

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback host);

namespace {
VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

size_t HeapInUse() { return mallinfo2().uordblks; }

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
  Close(third);
  Close(second);
  const size_t after = HeapInUse();
  std::printf("sizeof(Quarvi) %zu bytes\n", sizeof(Quarvi));
  std::printf("heap per instance: %zu bytes (second instance), %zu bytes (third instance)\n", with - before,
              withTwo - with);
  std::printf("heap left after closing both: %zd bytes\n", static_cast<ssize_t>(after - before));
  return 0;
}
