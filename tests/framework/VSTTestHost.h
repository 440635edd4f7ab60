#pragma once
// A scripted host for driving an IPlugVST instance through its effect record
// only, plus a small stand-in instrument with a few parameters of each kind.

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "IPlugVST.h"
#include "vst2.h"

// ---- the host side ---------------------------------------------------------------

struct TestHost {
  struct Call {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    float opt;
  };

  std::string product = "Test Host";
  std::string vendor = "Test Vendor";
  VstIntPtr vendorVersion = 10203;  // 1.2.3
  VstIntPtr processLevel = 0;
  VstIntPtr processEventsResult = 1;
  bool answerTime = true;
  VstTimeInfo time;

  // Everything the plug-in asked, in order (guarded: the concurrency test
  // calls in from several threads).
  std::mutex callsLock;
  std::vector<Call> calls;
  std::vector<VstMidiEvent> midiOut;
  std::vector<std::vector<uint8_t>> sysexOut;
  std::vector<VstInt32> sysexByteSizes;
  std::atomic<int> wantMidiCount{0};

  // Optional reaction to a request; runs before the answer is given.
  void (*onCall)(TestHost* host, AEffect* effect, VstInt32 opcode) = nullptr;
  void* user = nullptr;

  TestHost() { std::memset(&time, 0, sizeof(time)); }

  static TestHost*& Current() {
    static TestHost* current = nullptr;
    return current;
  }

  static VstIntPtr VSTCALLBACK Callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                        void* ptr, float opt) {
    TestHost* h = Current();
    return h ? h->Answer(effect, opcode, index, value, ptr, opt) : 0;
  }

  VstIntPtr Answer(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    if (opcode == audioMasterWantMidi) {
      ++wantMidiCount;  // every block: not kept in the call list
      return 1;
    }
    {
      std::lock_guard<std::mutex> g(callsLock);
      calls.push_back({opcode, index, value, opt});
    }
    if (onCall) onCall(this, effect, opcode);
    switch (opcode) {
      case audioMasterVersion:
        return 2400;
      case audioMasterGetTime:
        return answerTime ? reinterpret_cast<VstIntPtr>(&time) : 0;
      case audioMasterProcessEvents: {
        const VstEvents* evs = static_cast<const VstEvents*>(ptr);
        std::lock_guard<std::mutex> g(callsLock);
        for (int i = 0; evs && i < evs->numEvents; ++i) {
          const VstEvent* e = evs->events[i];
          if (e->type == kVstMidiType) {
            midiOut.push_back(*reinterpret_cast<const VstMidiEvent*>(e));
          } else if (e->type == kVstSysExType) {
            const VstMidiSysexEvent* s = reinterpret_cast<const VstMidiSysexEvent*>(e);
            sysexOut.emplace_back(reinterpret_cast<const uint8_t*>(s->sysexDump),
                                  reinterpret_cast<const uint8_t*>(s->sysexDump) + s->dumpBytes);
            sysexByteSizes.push_back(s->byteSize);
          }
        }
        return processEventsResult;
      }
      case audioMasterGetCurrentProcessLevel:
        return processLevel;
      case audioMasterGetVendorString:
        std::strncpy(static_cast<char*>(ptr), vendor.c_str(), kVstMaxVendorStrLen - 1);
        return 1;
      case audioMasterGetProductString:
        std::strncpy(static_cast<char*>(ptr), product.c_str(), kVstMaxProductStrLen - 1);
        return 1;
      case audioMasterGetVendorVersion:
        return vendorVersion;
      default:
        return 0;
    }
  }

  int Count(VstInt32 opcode) {
    std::lock_guard<std::mutex> g(callsLock);
    int n = 0;
    for (const Call& c : calls) n += c.opcode == opcode;
    return n;
  }

  void Clear() {
    std::lock_guard<std::mutex> g(callsLock);
    calls.clear();
    midiOut.clear();
    sysexOut.clear();
    sysexByteSizes.clear();
  }
};

// Installs a host as the one the callback answers for, for one test.
struct ScopedTestHost {
  explicit ScopedTestHost(TestHost* h) { TestHost::Current() = h; }
  ~ScopedTestHost() { TestHost::Current() = nullptr; }
};

// ---- the plug-in side --------------------------------------------------------------

// Parameter layout of the stand-in instrument.
enum FakeParam { kFakeVolume = 0, kFakeMono, kFakeWave, kFakeTranspose, kFakeNumParams };

// A tiny instrument: output = volume * (number of held keys) on the left and
// half of that on the right; records every MIDI and sysex message.
class FakeInstrument : public IPlugVST {
 public:
  static std::atomic<int>& Destroyed() {
    static std::atomic<int> n{0};
    return n;
  }

  explicit FakeInstrument(audioMasterCallback host)
      : IPlugVST(host, kFakeNumParams, "0-2", 64, "Fake", "", "Test Vendor Inc", 0x00010203, 0x46616B65, 0,
                 true, true, true) {
    GetParam(kFakeVolume)->SetupDouble("Volume", 0.5, 0.0, 1.0, 0.01, 1.0);
    GetParam(kFakeMono)->SetupBool("Mono", false);
    static const char* const kWaves[] = {"Sine", "Saw", "Square"};
    GetParam(kFakeWave)->SetupEnum("Wave", 0, 3, kWaves);
    GetParam(kFakeTranspose)->SetupInt("Transpose", 0, -24, 24);
  }

  ~FakeInstrument() override { ++Destroyed(); }

  void ProcessBlock(double**, double** outputs, int nFrames) override {
    const double v = GetParam(kFakeVolume)->value * mHeld;
    for (int i = 0; i < nFrames; ++i) {
      outputs[0][i] = v;
      outputs[1][i] = 0.5 * v;
    }
    ++mBlocks;
  }

  void HandleMidiMessage(const MidiMessage& msg) override {
    received.push_back(msg);
    if (msg.Kind() == 9 && msg.data2 > 0) ++mHeld;
    if ((msg.Kind() == 8 || (msg.Kind() == 9 && msg.data2 == 0)) && mHeld > 0) --mHeld;
  }

  void HandleSysEx(const SysExBlock& block) override {
    sysex.emplace_back(block.data, block.data + block.size);
    sysexOffsets.push_back(block.offset);
  }

  bool NoteNameFor(int note, char* out) override {
    if (note != 60) return false;
    std::strcpy(out, "Middle C");
    return true;
  }

  void ParamChanged(int index) override { lastChanged = index; }

  std::vector<MidiMessage> received;
  std::vector<std::vector<uint8_t>> sysex;
  std::vector<int> sysexOffsets;
  int lastChanged = -1;
  int mHeld = 0;
  long mBlocks = 0;
};

inline AEffect* CreateFake(TestHost* host) {
  (void)host;
  FakeInstrument* plug = new FakeInstrument(&TestHost::Callback);
  plug->FillEmptyPrograms(64);
  return plug->GetAEffect();
}

inline FakeInstrument* FakeOf(AEffect* e) { return static_cast<FakeInstrument*>(static_cast<IPlugVST*>(e->object)); }

inline VstIntPtr Dispatch(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f) {
  return e->dispatcher(e, opcode, index, value, ptr, opt);
}
