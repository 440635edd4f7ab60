#include "Quarvi.h"

namespace {
constexpr int kVersion = 0x00020004;       // 2.0.4
constexpr int kUniqueID = 0x33333135;      // '3315'
}  // namespace

Quarvi::Quarvi(audioMasterCallback host)
    : Synth(host, kNumParams, "0-2", kNumPrograms, "Quarvi", "", "Kestrel Sound Music", kVersion,
            kUniqueID, 0, true, true, true) {
  for (auto& t : mDisplayFormantType) t.store(0, std::memory_order_relaxed);
  mPool.Attach(&mShared);
  mPool.tuning = mTuning;
  SetupParameters();
  // Ready to play at the default rate and block size (44.1 kHz, 1024) before
  // any host request: a host need not set either before processing.
  ResetProcessing();
  LoadStartupBank();
  LoadProgramSlot(0);
}

Quarvi::~Quarvi() = default;

void Quarvi::EditorIdle() {}

IPlugVST* CreateInstrument(audioMasterCallback host) { return new Quarvi(host); }
