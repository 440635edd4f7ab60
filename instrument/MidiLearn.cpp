// MIDI learn, the controller map at play time and the two global MIDI
// switches. The gesture itself lives in Config; here it is tied to the
// plug-in lock, to the parameters and to the settings file.
#include <algorithm>
#include <iterator>
#include <mutex>

#include "Quarvi.h"

namespace {
// Taken by the engine for the mod wheel and the sustain pedal: a binding of
// them is kept but never drives a parameter.
constexpr int kModWheel = 1;
constexpr int kSustain = 64;
}  // namespace

// Learn steps arrive from the editor thread (the switch, parameter moves),
// from the host's MIDI thread (controllers) and from any thread the host sets
// parameters on; the plug-in lock orders them against each other and against
// the engine, which reads the map while rendering.

void Quarvi::ArmLearn(bool armed, bool unlearn) {
  std::lock_guard<std::recursive_mutex> lock(mLock);
  mConfig.ArmLearn(armed, unlearn);
}

void Quarvi::CaptureController(int controller) {
  std::lock_guard<std::recursive_mutex> lock(mLock);
  mConfig.CaptureController(controller);
}

void Quarvi::CaptureParameter(int index) {
  std::lock_guard<std::recursive_mutex> lock(mLock);
  mConfig.CaptureParameter(index);
}

void Quarvi::CommitLearn() {
  std::lock_guard<std::recursive_mutex> lock(mLock);
  mConfig.CommitLearn();
}

// The settings are copied under the lock (learning changes the controller
// map from the MIDI and parameter threads) and the copy is written outside
// it, so that a slow disk never holds up the audio thread.
bool Quarvi::WriteMidiSettings(MidiSettings which) {
  Config copy;
  {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    copy.configPath = mConfig.configPath;
    copy.startupBankPath = mConfig.startupBankPath;
    copy.midiThru = mConfig.midiThru;
    copy.ignoreProgramChange = mConfig.ignoreProgramChange;
    std::copy(std::begin(mConfig.controllerMap), std::end(mConfig.controllerMap), copy.controllerMap);
  }
  return copy.WriteMidiSettings(which);
}

void Quarvi::ToggleMidiThru() {
  {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    mConfig.midiThru = !mConfig.midiThru;
  }
  WriteMidiSettings(MidiSettings::MidiThru);
}

void Quarvi::ToggleIgnoreProgramChange() {
  {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    mConfig.ignoreProgramChange = !mConfig.ignoreProgramChange;
  }
  WriteMidiSettings(MidiSettings::IgnoreProgramChange);
}

// Runs in the event step, under the plug-in lock.
void Quarvi::ApplyMappedController(int controller, int value) {
  if (controller == kModWheel || controller == kSustain) return;
  if (controller < 0 || controller >= Config::kControllers) return;
  const int p = mConfig.controllerMap[controller];
  if (p < 0 || p >= kNumParams) return;
  IPlugParam* param = GetParam(p);
  if (!param) return;
  if (value < 0) value = 0;
  if (value > 127) value = 127;
  const double v = value / 127.0;
  // A controller that repeats the value the parameter already has must not
  // flood the host with automation.
  if (v == param->ToNormalized()) return;
  SetParameterFromEditor(p, v);
  // The controls show what the parameter took (an integer parameter rounds
  // the controller's value to its step).
  if (GetGUI()) EditorSetControlsFromParam(p, param->value, false);
}
