#include "IPlugVST.h"

#include "IGraphics.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <utility>

namespace {

constexpr VstIntPtr kIdentifyMagic = 0x4E764566;  // 'NvEf'
constexpr VstIntPtr kVendorSpecificYes = 0xBEEF;
constexpr VstIntPtr kCockosYes = static_cast<VstIntPtr>(static_cast<uintptr_t>(0xBEEF0000u));
constexpr int kVstVersion = 2400;
constexpr VstInt32 kTimeInfoAll =
    kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid;  // 0x3E00

// Block sizes a host may set; anything else is a host error that would leave
// the instance without usable scratch buffers.
constexpr int kMaxBlockSize = 1 << 20;

// Text sizes of what we copy into host buffers (terminator included).
constexpr int kParamTextSize = IPlugParam::kTextSize;     // 31 characters
constexpr int kProgramNameSize = IPlugPreset::kNameSize;  // 255 characters
constexpr int kEffectNameSize = kVstMaxEffectNameLen;
constexpr int kVendorTextSize = kVstMaxVendorStrLen;
constexpr int kHostTextSize = 256;                        // our own buffers for host answers

IPlugVST* PlugOf(AEffect* effect) { return effect ? static_cast<IPlugVST*>(effect->object) : nullptr; }

std::string LowerCase(const char* text) {
  std::string s(text ? text : "");
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

int SpeakerArrangementFor(int channels) {
  if (channels <= 0) return kSpeakerArrEmpty;
  if (channels == 1) return kSpeakerArrMono;
  if (channels == 2) return kSpeakerArrStereo;
  return kSpeakerArrUserDefined;
}

}  // namespace

// One host call into an instance: counts itself as inside, takes the lock and
// refuses to go on when the instance is closing. The frame that leaves last
// after effClose destroys the object, so no call is ever left waiting on a
// lock that is being destroyed.
//
// A frame made without holdLock (the editor's window work) counts as inside
// the same way, so an effClose meanwhile leaves the destruction to it, but
// gives the lock back right away and takes it again only to leave.
class IPlugVST::CallScope {
 public:
  explicit CallScope(IPlugVST* plug, bool holdLock = true) {
    if (!plug) return;
    plug->mCallsInside.fetch_add(1, std::memory_order_acq_rel);
    if (plug->mClosing.load(std::memory_order_acquire)) {
      plug->mCallsInside.fetch_sub(1, std::memory_order_acq_rel);
      return;
    }
    plug->mLock.lock();
    if (plug->mClosing.load(std::memory_order_acquire)) {
      plug->mLock.unlock();
      plug->mCallsInside.fetch_sub(1, std::memory_order_acq_rel);
      return;
    }
    ++plug->mLockDepth;
    mPlug = plug;
    mHolding = holdLock;
    if (!holdLock) plug->mLock.unlock();
  }

  ~CallScope() {
    if (!mPlug) return;
    IPlugVST* plug = mPlug;
    if (!mHolding) plug->mLock.lock();
    const bool destroy = --plug->mLockDepth == 0 && plug->mDestroyWhenLeft;
    plug->mLock.unlock();
    plug->mCallsInside.fetch_sub(1, std::memory_order_acq_rel);
    // Past this point a frame that does not destroy must not touch plug.
    if (destroy) {
      // Calls that entered before the close either hold the lock now or wait
      // for it; each of them sees the closing mark, unlocks and leaves.
      while (plug->mCallsInside.load(std::memory_order_acquire) != 0) std::this_thread::yield();
      delete plug;
    }
  }

  explicit operator bool() const { return mPlug != nullptr; }

  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;

 private:
  IPlugVST* mPlug = nullptr;
  bool mHolding = true;
};

IPlugVST::IPlugVST(audioMasterCallback host, int nParams, const char* channelIOText, int nPresets,
                   const char* effectName, const char* productName, const char* mfrName, int version,
                   int uniqueID, int latency, bool doesMidi, bool doesChunks, bool isInstrument)
    : IPlugBase(nParams, channelIOText, nPresets, effectName, productName, mfrName, version, uniqueID,
                latency, doesMidi, doesChunks, isInstrument),
      mHostCallback(host) {
  mProgramState.Clear();
  mBankState.Clear();
  std::memset(&mEffect, 0, sizeof(mEffect));

  mEffect.magic = kEffectMagic;
  mEffect.dispatcher = &IPlugVST::VSTDispatcher;
  mEffect.process = &IPlugVST::VSTProcess;
  mEffect.setParameter = &IPlugVST::VSTSetParameter;
  mEffect.getParameter = &IPlugVST::VSTGetParameter;
  mEffect.numPrograms = NPresets();
  mEffect.numParams = NParams();
  mEffect.numInputs = NInChannels();
  mEffect.numOutputs = NOutChannels();
  mEffect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  if (DoesChunks()) mEffect.flags |= effFlagsProgramChunks;
  if (LegalIO(1, -1)) mEffect.flags |= effFlagsCanMono;
  if (IsInstrument()) mEffect.flags |= effFlagsIsSynth;
  mEffect.initialDelay = GetLatency();
  mEffect.ioRatio = 1.0f;
  mEffect.object = this;
  mEffect.uniqueID = GetUniqueID();
  mEffect.version = GetEffectVersion(true);
  mEffect.processReplacing = &IPlugVST::VSTProcessReplacing;
  mEffect.processDoubleReplacing = &IPlugVST::VSTProcessDoubleReplacing;

  std::memset(&mInputArrangement, 0, sizeof(mInputArrangement));
  std::memset(&mOutputArrangement, 0, sizeof(mOutputArrangement));
  mInputArrangement.type = SpeakerArrangementFor(NInChannels());
  mInputArrangement.numChannels = NInChannels();
  mOutputArrangement.type = SpeakerArrangementFor(NOutChannels());
  mOutputArrangement.numChannels = NOutChannels();

  for (int i = 0; i < NInChannels(); ++i) InChannel(i).connected = true;
  for (int i = 0; i < NOutChannels(); ++i) OutChannel(i).connected = true;

  SetBlockSize(1024);
}

IPlugVST::~IPlugVST() { mEffect.object = nullptr; }

// ---- requests to the host ----------------------------------------------------

VstIntPtr IPlugVST::HostCallback(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  return mHostCallback ? mHostCallback(&mEffect, opcode, index, value, ptr, opt) : 0;
}

void IPlugVST::BeginParamEdit(int index) { HostCallback(audioMasterBeginEdit, index, 0, nullptr, 0.0f); }

void IPlugVST::EndParamEdit(int index) { HostCallback(audioMasterEndEdit, index, 0, nullptr, 0.0f); }

void IPlugVST::NotifyHostParamChanged(int index, double normalized) {
  HostCallback(audioMasterAutomate, index, 0, nullptr, static_cast<float>(normalized));
}

void IPlugVST::NotifyHostProgramChanged() { HostCallback(audioMasterUpdateDisplay, 0, 0, nullptr, 0.0f); }

bool IPlugVST::IsOfflineRender() {
  return HostCallback(audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f) == kVstProcessLevelOffline;
}

const VstTimeInfo* IPlugVST::RequestTime(VstInt32 flags) {
  return reinterpret_cast<const VstTimeInfo*>(HostCallback(audioMasterGetTime, 0, flags, nullptr, 0.0f));
}

int IPlugVST::GetSamplePos() {
  const VstTimeInfo* t = RequestTime(0);
  if (!t || !(t->samplePos >= 0.0)) return 0;
  const double rounded = t->samplePos + 0.5;
  // Past 2^31 frames (half a day at 48 kHz) the integer form saturates
  // instead of overflowing.
  if (rounded >= static_cast<double>(INT_MAX)) return INT_MAX;
  return static_cast<int>(rounded);
}

double IPlugVST::GetTempo() {
  const VstTimeInfo* t = RequestTime(kVstTempoValid);
  if (t && (t->flags & kVstTempoValid) && t->tempo >= 0.0) return t->tempo;
  return 0.0;
}

void IPlugVST::GetTimeSig(int* num, int* den) {
  if (!num || !den) return;
  *num = 0;
  *den = 0;
  const VstTimeInfo* t = RequestTime(kVstTimeSigValid);
  if (t && (t->flags & kVstTimeSigValid) && t->timeSigNumerator >= 0 && t->timeSigDenominator >= 0) {
    *num = t->timeSigNumerator;
    *den = t->timeSigDenominator;
  }
}

void IPlugVST::GetTime(HostTimeInfo* info) {
  if (!info) return;
  const VstTimeInfo* t = RequestTime(kTimeInfoAll);
  if (!t || !(t->flags & kTimeInfoAll)) return;
  info->samplePos = t->samplePos;
  if ((t->flags & kVstPpqPosValid) && t->ppqPos >= 0.0) info->ppqPos = t->ppqPos;
  if ((t->flags & kVstTempoValid) && t->tempo > 0.0) info->tempo = t->tempo;
  if ((t->flags & kVstBarsValid) && t->barStartPos >= 0.0) info->lastBar = t->barStartPos;
  if ((t->flags & kVstCyclePosValid) && t->cycleStartPos >= 0.0 && t->cycleEndPos >= 0.0) {
    info->cycleStart = t->cycleStartPos;
    info->cycleEnd = t->cycleEndPos;
  }
  if ((t->flags & kVstTimeSigValid) && t->timeSigNumerator > 0 && t->timeSigDenominator > 0) {
    info->timeSigNum = t->timeSigNumerator;
    info->timeSigDen = t->timeSigDenominator;
  }
  info->transportIsRunning = (t->flags & kVstTransportPlaying) != 0;
  info->transportLoopEnabled = (t->flags & kVstTransportCycleActive) != 0;
}

int IPlugVST::HostIdFromProductString(const char* product) {
  // Order matters: the first key contained in the product string wins.
  static const struct {
    const char* key;
    int id;
  } kHosts[] = {
      {"cubase", 3},      {"reaper", 1},     {"nuendo", 4},     {"cakewalk", 5},
      {"samplitude", 8},  {"fruity", 7},     {"live", 9},       {"melodyne", 12},
      {"vstmanlib", 13},  {"aulab", 14},     {"garageband", 22}, {"forte", 15},
      {"chainer", 16},    {"audition", 17},  {"orion", 18},     {"sawstudio", 20},
      {"logic", 21},      {"digital", 23},   {"audiomulch", 25}, {"presonus", 26},
      {"vst3plugintesthost", 27}, {"protools", 2}, {"ardour", 28}, {"openmpt", 30},
      {"renoise", 29},    {"standalone", 24},
  };
  const std::string lower = LowerCase(product);
  if (lower.empty()) return 0;
  for (const auto& h : kHosts) {
    if (lower.find(h.key) != std::string::npos) return h.id;
  }
  return 0;
}

int IPlugVST::GetHost() {
  if (mHost != -1) return mHost;
  char product[kHostTextSize] = {0};
  HostCallback(audioMasterGetProductString, 0, 0, product, 0.0f);
  product[kHostTextSize - 1] = 0;
  if (product[0]) {
    const VstIntPtr d = HostCallback(audioMasterGetVendorVersion, 0, 0, nullptr, 0.0f);
    const int decimal = static_cast<int>(d);
    const int major = decimal / 10000, minor = (decimal % 10000) / 100, patch = decimal % 100;
    mHostVersion = (major << 16) | ((minor & 0xFF) << 8) | (patch & 0xFF);
  } else {
    mHostVersion = 0;
  }
  mHost = HostIdFromProductString(product);
  return mHost;
}

bool IPlugVST::HostNeedsBankRetry() {
  if (!mHostVendorChecked) {
    char vendor[kHostTextSize] = {0};
    HostCallback(audioMasterGetVendorString, 0, 0, vendor, 0.0f);
    vendor[kHostTextSize - 1] = 0;
    const std::string lower = LowerCase(vendor);
    mHostNeedsBankRetry = lower == "native instruments" || lower == "juce vst host";
    mHostVendorChecked = true;
  }
  return mHostNeedsBankRetry;
}

void IPlugVST::SendWantMidi() {
  if (DoesMidi()) HostCallback(audioMasterWantMidi, 0, 1, nullptr, 0.0f);
}

bool IPlugVST::SendEventToHost(VstEvent* event) {
  VstEvents list;
  std::memset(&list, 0, sizeof(list));
  list.numEvents = 1;
  list.events[0] = event;
  return HostCallback(audioMasterProcessEvents, 0, 0, &list, 0.0f) == 1;
}

bool IPlugVST::SendMidiMessage(const MidiMessage& msg) {
  VstMidiEvent ev;
  std::memset(&ev, 0, sizeof(ev));
  ev.type = kVstMidiType;
  ev.byteSize = sizeof(VstMidiEvent);
  ev.deltaFrames = msg.offset;
  ev.midiData[0] = static_cast<char>(msg.status);
  ev.midiData[1] = static_cast<char>(msg.data1);
  ev.midiData[2] = static_cast<char>(msg.data2);
  return SendEventToHost(reinterpret_cast<VstEvent*>(&ev));
}

bool IPlugVST::SendSysEx(const SysExBlock& block) {
  VstMidiSysexEvent ev;
  std::memset(&ev, 0, sizeof(ev));
  ev.type = kVstSysExType;
  ev.byteSize = sizeof(VstMidiSysexEvent);
  ev.deltaFrames = block.offset;
  ev.dumpBytes = block.size;
  ev.sysexDump = const_cast<char*>(reinterpret_cast<const char*>(block.data));
  return SendEventToHost(reinterpret_cast<VstEvent*>(&ev));
}

// ---- life cycle and editor -------------------------------------------------------

void IPlugVST::HostInit() {
  mHostInitDone = true;
  GetHost();
  mEffect.numInputs = mInputArrangement.numChannels = NInChannels();
  mEffect.numOutputs = mOutputArrangement.numChannels = NOutChannels();
}

void IPlugVST::SetLatency(int frames) {
  IPlugBase::SetLatency(frames);
  mEffect.initialDelay = frames;
}

bool IPlugVST::HostEditor() const { return GetGUI() && GetGUI()->CanOpenWindows(); }

bool IPlugVST::EditorOpenWindow(void* parent) {
  return HostEditor() && GetGUI()->OpenWindow(parent) != nullptr;
}
void IPlugVST::EditorCloseWindow() {
  if (GetGUI()) GetGUI()->CloseWindow();
}
void IPlugVST::EditorSize(int* width, int* height) {
  *width = GetGUI() ? GetGUI()->Width() : 0;
  *height = GetGUI() ? GetGUI()->Height() : 0;
}
void IPlugVST::EditorSetControlsFromParam(int index, double value, bool normalized) {
  if (GetGUI()) GetGUI()->SetControlsFromParam(index, value, normalized);
}

void IPlugVST::SetEditRectFromEditor() {
  int w = 0, h = 0;
  EditorSize(&w, &h);
  mEditRect.top = 0;
  mEditRect.left = 0;
  mEditRect.bottom = static_cast<int16_t>(h);
  mEditRect.right = static_cast<int16_t>(w);
}

void IPlugVST::AttachEditor(IGraphics* editor) {
  std::lock_guard<std::recursive_mutex> g(mLock);
  IPlugBase::AttachEditor(editor);
  // An editor without a window layer on this platform stays unannounced:
  // the host must not offer a window that cannot open.
  if (HostEditor()) {
    mEffect.flags |= effFlagsHasEditor;
    SetEditRectFromEditor();
  } else {
    mEffect.flags &= ~effFlagsHasEditor;
  }
}

void IPlugVST::ResizeEditor() {
  if (!HostEditor()) return;
  SetEditRectFromEditor();
  OnWindowResize();
}

void IPlugVST::BeginClose() {
  // The frame that holds the lock first (normally this effClose itself)
  // destroys the object once every frame has left.
  mClosing.store(true, std::memory_order_release);
  mDestroyWhenLeft = true;
}

// ---- dispatcher --------------------------------------------------------------

VstIntPtr VSTCALLBACK IPlugVST::VSTDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                              VstIntPtr value, void* ptr, float opt) {
  IPlugVST* plug = PlugOf(effect);
  if (!plug) return 0;
  const bool window = opcode == effEditOpen || opcode == effEditClose || opcode == effEditIdle ||
                      opcode == effIdle;
  CallScope scope(plug, !window);
  if (!scope) return 0;
  try {
    return window ? plug->DispatchWindow(opcode, ptr) : plug->Dispatch(opcode, index, value, ptr, opt);
  } catch (...) {
    return 0;  // nothing may unwind into the host: the request failed
  }
}

VstIntPtr IPlugVST::DispatchWindow(VstInt32 opcode, void* ptr) {
  // The window layer works without the instance lock (a menu or a dialog may
  // wait for the user for minutes inside these calls); the plug-in's hooks
  // take it as every other request does. A hook refused because the
  // instance is closing is skipped.
  switch (opcode) {
    case effEditOpen: {
      if (!HostEditor() || !EditorOpenWindow(ptr)) return 0;
      CallScope locked(this);
      if (locked) EditorOpened();
      return 1;
    }
    case effEditClose: {
      if (!HostEditor()) return 0;
      {
        CallScope locked(this);
        if (locked) EditorClosing();
      }
      EditorCloseWindow();
      return 1;
    }
    default: {  // effEditIdle, effIdle
      {
        CallScope locked(this);
        if (locked) EditorIdle();
      }
      // The window layer's own cycle (events, redraw) where it has one.
      if (IGraphics* g = GetGUI()) g->IdleHook();
      return 0;
    }
  }
}

VstIntPtr IPlugVST::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  switch (opcode) {
    case effOpen:
      if (!mHostInitDone) HostInit();
      OnParamReset();
      return 0;

    case effClose:
      BeginClose();
      return 0;

    case effSetProgram:
      ModifyCurrentPreset();
      // An index that does not fit an int must not wrap into the valid range.
      LoadProgramSlot(value >= 0 && value <= INT_MAX ? static_cast<int>(value) : -1);
      return 0;

    case effGetProgram:
      return GetCurrentPresetIdx();

    case effSetProgramName:
      if (ptr) {
        // Bounded copy: a host may hand a name without a terminator within
        // the program-name size.
        char name[kProgramNameSize];
        std::strncpy(name, static_cast<const char*>(ptr), sizeof(name) - 1);
        name[sizeof(name) - 1] = 0;
        ModifyCurrentPreset(name);
        PresetsChangedByHost();
      }
      return 0;

    case effGetProgramName:
      if (ptr) CopyText(static_cast<char*>(ptr), GetPresetName(GetCurrentPresetIdx()), kProgramNameSize);
      return 0;

    case effGetParamLabel:
      if (ptr && GetParam(index)) CopyText(static_cast<char*>(ptr), GetParam(index)->LabelForHost(), kParamTextSize);
      return 0;

    case effGetParamDisplay:
      if (ptr && GetParam(index)) {
        const IPlugParam* p = GetParam(index);
        p->FormatValue(p->value, false, static_cast<char*>(ptr), true);
      }
      return 0;

    case effGetParamName:
      if (ptr && GetParam(index)) CopyText(static_cast<char*>(ptr), GetParam(index)->name, kParamTextSize);
      return 0;

    case effSetSampleRate:
      // A rate the engine cannot run at (zero, negative, NaN, absurd) is
      // ignored: the instance keeps the rate it had.
      if (std::isfinite(opt) && opt >= kMinSampleRate && opt <= kMaxSampleRate) {
        SetSampleRate(opt);
        ResetProcessing();
      }
      return 0;

    case effSetBlockSize:
      if (value > 0 && value <= kMaxBlockSize) {
        SetBlockSize(static_cast<int>(value));
        ResetProcessing();
      }
      return 0;

    case effMainsChanged:
      if (value != 0) {
        SetActive(true);
      } else {
        SetActive(false);
        ResetProcessing();
      }
      return 0;

    case effEditGetRect:
      if (ptr && HostEditor()) {
        *static_cast<ERect**>(ptr) = &mEditRect;
        return 1;
      }
      return 0;

    // effEditOpen, effEditClose, effEditIdle and effIdle: DispatchWindow.

    case effIdentify:
      return kIdentifyMagic;

    case effGetChunk:
      return GetChunk(index, ptr);

    case effSetChunk:
      return SetChunk(index, value, ptr);

    case effProcessEvents:
      return ProcessEvents(static_cast<const VstEvents*>(ptr));

    case effCanBeAutomated:
      return 1;

    case effString2Parameter:
      return String2Parameter(index, static_cast<const char*>(ptr));

    case effGetProgramNameIndexed:
      if (ptr) {
        char* out = static_cast<char*>(ptr);
        CopyText(out, GetPresetName(index), kProgramNameSize);
        return out[0] ? 1 : 0;
      }
      return 0;

    case effGetInputProperties:
      return PinProperties(true, index, static_cast<VstPinProperties*>(ptr));

    case effGetOutputProperties:
      return PinProperties(false, index, static_cast<VstPinProperties*>(ptr));

    case effGetPlugCategory:
      return IsInstrument() ? kPlugCategSynth : kPlugCategEffect;

    case effProcessVarIo:
      return 0;

    case effSetSpeakerArrangement:
      SetSpeakerArrangement(true, reinterpret_cast<const VstSpeakerArrangement*>(value));
      SetSpeakerArrangement(false, static_cast<const VstSpeakerArrangement*>(ptr));
      return 1;

    case effGetEffectName:
      if (ptr) {
        CopyText(static_cast<char*>(ptr), GetEffectName(), kEffectNameSize);
        return 1;
      }
      return 0;

    case effGetVendorString:
      if (ptr) {
        CopyText(static_cast<char*>(ptr), GetMfrName(), kVendorTextSize);
        return 1;
      }
      return 0;

    case effGetProductString:
      if (ptr) {
        CopyText(static_cast<char*>(ptr), GetProductName(), kVendorTextSize);
        return 1;
      }
      return 0;

    case effGetVendorVersion:
      return GetEffectVersion(true);

    case effVendorSpecific:
      return VendorSpecific(index, value, ptr, opt);

    case effCanDo:
      return CanDo(static_cast<const char*>(ptr));

    case effGetTailSize:
      return mTailSize;

    case effGetVstVersion:
      return kVstVersion;

    case effGetMidiKeyName:
      if (ptr) {
        MidiKeyName* key = static_cast<MidiKeyName*>(ptr);
        key->keyName[0] = 0;
        return NoteNameFor(key->thisKeyNumber, key->keyName) ? 1 : 0;
      }
      return 0;

    case effGetSpeakerArrangement:
      if (value) *reinterpret_cast<VstSpeakerArrangement**>(value) = &mInputArrangement;
      if (ptr) *static_cast<VstSpeakerArrangement**>(ptr) = &mOutputArrangement;
      return 1;

    default:
      return 0;
  }
}

VstIntPtr IPlugVST::GetChunk(VstInt32 index, void* ptr) {
  if (!ptr) return 0;
  const bool bank = index == 0 && !HostNeedsBankRetry();
  ChunkBuffer& chunk = bank ? mBankState : mProgramState;
  InitChunkWithVersion(&chunk);
  bool ok;
  if (bank) {
    ModifyCurrentPreset();
    ok = SerializePresets(&chunk);
  } else {
    SerializeState(&chunk);
    chunk.PutStr(GetPresetName(GetCurrentPresetIdx()));
    ok = chunk.Size() > 0;
  }
  if (!ok || chunk.Size() <= 0) return 0;
  *static_cast<void**>(ptr) = chunk.Bytes();
  return chunk.Size();
}

// A chunk that cannot be read changes nothing: the programs and the live
// state from before the call are put back (a truncated project must not
// overwrite the user's program) and the result is 0.
VstIntPtr IPlugVST::SetChunk(VstInt32 index, VstIntPtr length, void* ptr) {
  if (!ptr) return 0;
  if (length < 0) length = 0;
  if (length > INT_MAX) return 0;  // beyond what a chunk position can address
  const int len = static_cast<int>(length);
  const bool retry = HostNeedsBankRetry();
  const bool bank = index == 0 && !retry;
  // Copied before either state buffer is touched: a host may hand back the
  // very buffer that effGetChunk gave it, and a buffer cannot be refilled
  // from its own bytes.
  ChunkBuffer data;
  data.PutBytes(ptr, len);
  ChunkBuffer& chunk = bank ? mBankState : mProgramState;
  chunk = std::move(data);

  const LoadSnapshot before = TakeLoadSnapshot();
  int pos = 0;
  const int version = ReadChunkVersion(chunk, &pos);
  bool ok;
  if (bank && version >= kFrameworkVersion) {
    pos = UnserializePresets(chunk, pos);
    ok = pos >= 0;
  } else {
    const int start = pos;
    pos = start < 0 ? -1 : UnserializeState(chunk, start);
    ok = pos > start;
    if (!ok) {
      pos = -1;
    } else if (pos < len) {
      std::string name;
      const int after = chunk.GetStr(&name, pos);
      const bool readOk = after >= 0 && after <= chunk.Size();
      pos = after;
      ModifyCurrentPreset(readOk ? name.c_str() : "");
    } else {
      ModifyCurrentPreset();
    }
  }

  if (retry && pos != len) {
    // These hosts hand whole banks through the program request: a chunk that
    // carries a bank header is read again as a bank, from the state before
    // the attempt above.
    mBankState = mProgramState;
    int bankPos = 0;
    if (ReadChunkVersion(mBankState, &bankPos) >= kFrameworkVersion) {
      RestoreLoadSnapshot(before);
      ok = UnserializePresets(mBankState, bankPos) >= 0;
    }
  }
  if (!ok) {
    RestoreLoadSnapshot(before);
    return 0;
  }
  RefreshParamControls();
  return 1;
}

VstIntPtr IPlugVST::ProcessEvents(const VstEvents* events) {
  if (!events) return 0;
  // The record declares two event slots; hosts allocate it as long as the
  // list. Index the list through a plain pointer: subscripting the declared
  // two-element array past its end is undefined behaviour.
  const VstEvent* const* list =
      reinterpret_cast<const VstEvent* const*>(reinterpret_cast<const char*>(events) + offsetof(VstEvents, events));
  for (VstInt32 i = 0; i < events->numEvents; ++i) {
    const VstEvent* ev = list[i];
    if (!ev) continue;
    if (ev->type == kVstMidiType) {
      const VstMidiEvent* me = reinterpret_cast<const VstMidiEvent*>(ev);
      MidiMessage msg;
      msg.offset = me->deltaFrames;
      msg.status = static_cast<uint8_t>(me->midiData[0]);
      msg.data1 = static_cast<uint8_t>(me->midiData[1]);
      msg.data2 = static_cast<uint8_t>(me->midiData[2]);
      HandleMidiMessage(msg);
    } else if (ev->type == kVstSysExType) {
      const VstMidiSysexEvent* se = reinterpret_cast<const VstMidiSysexEvent*>(ev);
      SysExBlock block;
      block.offset = se->deltaFrames;
      block.data = reinterpret_cast<const uint8_t*>(se->sysexDump);
      block.size = block.data && se->dumpBytes > 0 ? se->dumpBytes : 0;
      HandleSysEx(block);
    }
  }
  return 1;
}

VstIntPtr IPlugVST::String2Parameter(VstInt32 index, const char* text) {
  IPlugParam* p = GetParam(index);
  if (!p) return 0;
  if (text) {
    double v = 0.0;
    if (!p->ValueFromText(text, &v)) return 0;
    if (std::isnan(v)) return 0;  // "nan" is no value; the parameter keeps its own
    if (GetGUI()) EditorSetControlsFromParam(index, v, false);
    p->SetPlain(v);
    ParamChanged(index);
  }
  return 1;
}

VstIntPtr IPlugVST::VendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  switch (index) {
    case 7:  // display text of a normalized value
      if (!ptr) return 0;
      if (value >= 0 && value < NParams()) {
        double x = opt;
        if (!(x >= 0.0)) x = 0.0;  // NaN and below
        if (x > 1.0) x = 1.0;
        GetParam(static_cast<int>(value))->FormatValue(x, true, static_cast<char*>(ptr), true);
      }
      return kVendorSpecificYes;
    case 8: {  // is the parameter integer-stepped?
      const IPlugParam* p = value >= 0 && value < NParams() ? GetParam(static_cast<int>(value)) : nullptr;
      return p && p->kind != ParamKind::Double ? kVendorSpecificYes : 0;
    }
    default:
      return 0;
  }
}

VstIntPtr IPlugVST::CanDo(const char* text) {
  if (!text) return 0;
  if (!std::strcmp(text, "receiveVstTimeInfo")) return 1;
  if (DoesMidi()) {
    if (!std::strcmp(text, "sendVstEvents") || !std::strcmp(text, "sendVstMidiEvent") ||
        !std::strcmp(text, "receiveVstEvents") || !std::strcmp(text, "receiveVstMidiEvent")) {
      return 1;
    }
  }
  if (!std::strcmp(text, "hasCockosExtensions") || !std::strcmp(text, "hasCockosViewAsConfig")) return kCockosYes;
  return 0;
}

VstIntPtr IPlugVST::PinProperties(bool input, VstInt32 index, VstPinProperties* props) {
  const int count = input ? NInChannels() : NOutChannels();
  if (!props || index < 0 || index >= count) return 0;
  props->flags = kVstPinIsActive;
  if (index % 2 == 0 && index < count - 1) props->flags |= kVstPinIsStereo;
  std::snprintf(props->label, sizeof(props->label), "%s %d", input ? "Input" : "Output", index + 1);
  return 1;
}

void IPlugVST::SetSpeakerArrangement(bool input, const VstSpeakerArrangement* arr) {
  if (!arr) return;
  const int count = input ? NInChannels() : NOutChannels();
  const int n = arr->numChannels < 0 ? 0 : arr->numChannels;
  const int used = n < count ? n : count;
  for (int i = 0; i < count; ++i) {
    ChannelIO& c = input ? InChannel(i) : OutChannel(i);
    c.connected = i < used;
    if (!c.connected && c.slot) *c.slot = c.scratch.empty() ? nullptr : c.scratch.data();
  }
}

// ---- audio and parameter callbacks -------------------------------------------

// No exception may unwind into the host from any callback: a block that
// fails is silence, a parameter request that fails changes nothing.
void VSTCALLBACK IPlugVST::VSTProcess(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
  IPlugVST* plug = PlugOf(effect);
  CallScope scope(plug);
  if (!scope) return;
  try {
    plug->SendWantMidi();
    plug->ProcessSingle(inputs, outputs, frames, true);
  } catch (...) {
  }
}

void VSTCALLBACK IPlugVST::VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs,
                                               VstInt32 frames) {
  IPlugVST* plug = PlugOf(effect);
  CallScope scope(plug);
  if (!scope) return;
  try {
    plug->SendWantMidi();
    plug->ProcessSingle(inputs, outputs, frames, false);
  } catch (...) {
    plug->SilenceOutputs(outputs, frames);
  }
}

void VSTCALLBACK IPlugVST::VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                                     VstInt32 frames) {
  IPlugVST* plug = PlugOf(effect);
  CallScope scope(plug);
  if (!scope) return;
  try {
    plug->SendWantMidi();
    plug->ProcessDouble(inputs, outputs, frames);
  } catch (...) {
    plug->SilenceOutputs(outputs, frames);
  }
}

float VSTCALLBACK IPlugVST::VSTGetParameter(AEffect* effect, VstInt32 index) {
  IPlugVST* plug = PlugOf(effect);
  CallScope scope(plug);
  if (!scope) return 0.0f;
  const IPlugParam* p = plug->GetParam(index);
  return p ? static_cast<float>(p->ToNormalized()) : 0.0f;
}

void VSTCALLBACK IPlugVST::VSTSetParameter(AEffect* effect, VstInt32 index, float value) {
  IPlugVST* plug = PlugOf(effect);
  CallScope scope(plug);
  if (!scope) return;
  IPlugParam* p = plug->GetParam(index);
  if (!p) return;
  // Hosts send what they like; a NaN is dropped and anything outside 0..1
  // is pinned to the range, so the stored value always stays within bounds.
  if (std::isnan(value)) return;
  double x = value < 0.0f ? 0.0 : (value > 1.0f ? 1.0 : static_cast<double>(value));
  try {
    if (plug->GetGUI()) plug->EditorSetControlsFromParam(index, x, true);
    p->SetFromNormalized(x);
    plug->ParamChanged(index);
  } catch (...) {
  }
}

template <typename Sample>
void IPlugVST::SilenceOutputs(Sample** outputs, VstInt32 frames) {
  if (!outputs || frames <= 0) return;
  for (int c = 0; c < mEffect.numOutputs; ++c) {
    if (outputs[c]) std::fill(outputs[c], outputs[c] + frames, Sample(0));
  }
}
