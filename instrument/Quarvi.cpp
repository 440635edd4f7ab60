#include "Quarvi.h"

#include "IControl.h"
#include "IGraphics.h"

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
  // The editor exists for the whole life of the instance, whether or not its
  // window is ever opened; it is built before the bank loads, so the values
  // it starts from (and returns to on a double-click) are the defaults.
  InstallEditor(CreatePlatformGraphics(this));
  // Ready to play at the default rate and block size (44.1 kHz, 1024) before
  // any host request: a host need not set either before processing.
  ResetProcessing();
  LoadStartupBank();
  LoadProgramSlot(0);
}

Quarvi::~Quarvi() {
  // The editor goes first, while the instrument its controls point to is
  // still whole (its window closes with it).
  DestroyEditor();
}

// Any thread: a host program change or chunk arrives here too.
void Quarvi::RefreshParamControls() {
  std::lock_guard<std::recursive_mutex> lock(mLock);
  Synth::RefreshParamControls();
  IControl* display = mProgramDisplay.load(std::memory_order_relaxed);
  if (display && GetGUI()) {  // the display lives as long as the editor
    display->SetDirty(false);
    display->RequestRedraw();
  }
}

IPlugVST* CreateInstrument(audioMasterCallback host) { return new Quarvi(host); }
