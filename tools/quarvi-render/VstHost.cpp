#include "VstHost.h"

#include <cctype>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

// The host being created: the plug-in may call the host from its entry
// point, before the host could store itself in the effect record.
thread_local VstHost* tCreating = nullptr;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

void CopyOut(void* ptr, const std::string& text, size_t size) {
  if (!ptr || size == 0) return;
  char* out = static_cast<char*>(ptr);
  const size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(out, text.data(), n);
  out[n] = 0;
}

}  // namespace

VstHost::VstHost() { std::memset(&mTime, 0, sizeof(mTime)); }

VstHost::~VstHost() { Close(); }

bool VstHost::Load(const std::string& path, std::string* error) {
  Close();
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    std::fclose(f);
  } else {
    *error = "plug-in library '" + path + "' not found";
    return false;
  }
  if (!mLibrary.Open(path.c_str())) {
    *error = "'" + path + "' cannot be loaded as a shared library";
    return false;
  }
  VstPluginMainProc entry = SymbolAs<VstPluginMainProc>(mLibrary, "VSTPluginMain");
  if (!entry) entry = SymbolAs<VstPluginMainProc>(mLibrary, "main");
  if (!entry) {
    mLibrary.Close();
    *error = "'" + path + "' is not a VST2 plug-in (it exports neither VSTPluginMain nor main)";
    return false;
  }
  if (!Create(entry, error)) {
    mLibrary.Close();
    *error = "'" + path + "' did not create a VST2 effect";
    return false;
  }
  return true;
}

bool VstHost::Create(VstPluginMainProc entry, std::string* error) {
  tCreating = this;
  AEffect* effect = entry ? entry(&VstHost::Callback) : nullptr;
  tCreating = nullptr;
  if (!effect || effect->magic != kEffectMagic) {
    *error = "the entry point did not create a VST2 effect";
    return false;
  }
  effect->user = this;
  mEffect = effect;
  return true;
}

void VstHost::Close() {
  if (mEffect) {
    if (mRunning) Stop();
    mEffect->dispatcher(mEffect, effClose, 0, 0, nullptr, 0.0f);
    mEffect = nullptr;
  }
  mLibrary.Close();
}

bool VstHost::IsInstrument() const {
  return mEffect && (mEffect->flags & effFlagsIsSynth) && mEffect->numOutputs > 0;
}

VstIntPtr VstHost::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  return mEffect ? mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt) : 0;
}

void VstHost::Start(double sampleRate, int blockSize) {
  mSampleRate = sampleRate;
  mBlockSize = blockSize;
  mTime.sampleRate = sampleRate;
  Dispatch(effOpen);
  Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
  Dispatch(effSetBlockSize, 0, blockSize);
  Dispatch(effMainsChanged, 0, 1);
  mRunning = true;
}

void VstHost::Stop() {
  if (!mRunning) return;
  Dispatch(effMainsChanged, 0, 0);
  mRunning = false;
}

int VstHost::NumPrograms() const { return mEffect ? mEffect->numPrograms : 0; }

std::string VstHost::ProgramName(int index) {
  char name[256] = {0};
  Dispatch(effGetProgramNameIndexed, index, 0, name);
  name[sizeof(name) - 1] = 0;
  return name;
}

int VstHost::CurrentProgram() { return static_cast<int>(Dispatch(effGetProgram)); }

void VstHost::SetProgram(int index) {
  Dispatch(effBeginSetProgram);
  Dispatch(effSetProgram, 0, index);
  Dispatch(effEndSetProgram);
}

int VstHost::FindProgram(const std::string& name) {
  for (int i = 0; i < NumPrograms(); ++i) {
    if (ProgramName(i) == name) return i;
  }
  const std::string lower = Lower(name);
  for (int i = 0; i < NumPrograms(); ++i) {
    if (Lower(ProgramName(i)) == lower) return i;
  }
  return -1;
}

int VstHost::NumParams() const { return mEffect ? mEffect->numParams : 0; }

std::string VstHost::ParamName(int index) {
  char text[256] = {0};
  Dispatch(effGetParamName, index, 0, text);
  text[sizeof(text) - 1] = 0;
  return text;
}

std::string VstHost::ParamDisplay(int index) {
  char text[256] = {0};
  Dispatch(effGetParamDisplay, index, 0, text);
  text[sizeof(text) - 1] = 0;
  return text;
}

float VstHost::ParamValue(int index) { return mEffect ? mEffect->getParameter(mEffect, index) : 0.0f; }

int VstHost::FindParam(const std::string& name) {
  for (int i = 0; i < NumParams(); ++i) {
    if (ParamName(i) == name) return i;
  }
  const std::string lower = Lower(name);
  for (int i = 0; i < NumParams(); ++i) {
    if (Lower(ParamName(i)) == lower) return i;
  }
  return -1;
}

bool VstHost::SetParamFromText(int index, const std::string& text) {
  return Dispatch(effString2Parameter, index, 0, const_cast<char*>(text.c_str())) == 1;
}

void VstHost::SendEvents(const std::vector<HostMidiEvent>& events) {
  if (events.empty() || !mEffect) return;
  mMidiEvents.clear();
  mSysexEvents.clear();
  mSysexData.clear();
  mMidiEvents.reserve(events.size());
  mSysexEvents.reserve(events.size());
  mSysexData.reserve(events.size());
  std::vector<VstEvent*> order;
  order.reserve(events.size());
  for (const HostMidiEvent& e : events) {
    if (e.sysex.empty()) {
      VstMidiEvent m;
      std::memset(&m, 0, sizeof(m));
      m.type = kVstMidiType;
      m.byteSize = sizeof(VstMidiEvent);
      m.deltaFrames = e.deltaFrames;
      m.midiData[0] = static_cast<char>(e.status);
      m.midiData[1] = static_cast<char>(e.data1);
      m.midiData[2] = static_cast<char>(e.data2);
      mMidiEvents.push_back(m);
      order.push_back(reinterpret_cast<VstEvent*>(&mMidiEvents.back()));
    } else {
      mSysexData.push_back(e.sysex);
      VstMidiSysexEvent s;
      std::memset(&s, 0, sizeof(s));
      s.type = kVstSysExType;
      s.byteSize = sizeof(VstMidiSysexEvent);
      s.deltaFrames = e.deltaFrames;
      s.dumpBytes = static_cast<VstInt32>(mSysexData.back().size());
      s.sysexDump = reinterpret_cast<char*>(mSysexData.back().data());
      mSysexEvents.push_back(s);
      order.push_back(reinterpret_cast<VstEvent*>(&mSysexEvents.back()));
    }
  }
  // The list record holds two pointers; it is allocated as large as needed.
  const size_t head = offsetof(VstEvents, events);
  mEventList.assign(head + order.size() * sizeof(VstEvent*) + sizeof(VstEvents), 0);
  VstEvents* list = reinterpret_cast<VstEvents*>(mEventList.data());
  list->numEvents = static_cast<VstInt32>(order.size());
  std::memcpy(mEventList.data() + head, order.data(), order.size() * sizeof(VstEvent*));
  Dispatch(effProcessEvents, 0, 0, list);
}

void VstHost::ProcessReplacing(float** outputs, int frames) {
  if (mEffect) mEffect->processReplacing(mEffect, nullptr, outputs, frames);
}

void VstHost::ProcessDoubleReplacing(double** outputs, int frames) {
  if (mEffect && (mEffect->flags & effFlagsCanDoubleReplacing)) {
    mEffect->processDoubleReplacing(mEffect, nullptr, outputs, frames);
  }
}

std::vector<uint8_t> VstHost::GetChunk(int index) {
  void* data = nullptr;
  const VstIntPtr n = Dispatch(effGetChunk, index, 0, &data);
  if (n <= 0 || !data) return {};
  const uint8_t* p = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(p, p + n);
}

bool VstHost::SetChunk(int index, const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> copy = bytes;
  return Dispatch(effSetChunk, index, static_cast<VstIntPtr>(copy.size()), copy.data()) == 1;
}

VstIntPtr VSTCALLBACK VstHost::Callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                        void* ptr, float opt) {
  VstHost* host = effect && effect->user ? static_cast<VstHost*>(effect->user) : tCreating;
  if (!host) return opcode == audioMasterVersion ? 2400 : 0;
  return host->Answer(opcode, index, value, ptr, opt);
}

VstIntPtr VstHost::Answer(VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
  switch (opcode) {
    case audioMasterVersion:
      return 2400;
    case audioMasterWantMidi:
      ++wantMidiRequests;
      return 1;
    case audioMasterGetTime:
      ++timeRequests;
      return reinterpret_cast<VstIntPtr>(&mTime);
    case audioMasterProcessEvents: {
      const VstEvents* list = static_cast<const VstEvents*>(ptr);
      if (list && list->numEvents > 0) midiOutEvents += list->numEvents;
      return 1;
    }
    case audioMasterAutomate:
      ++automationRequests;
      return 0;
    case audioMasterGetSampleRate:
      return static_cast<VstIntPtr>(mSampleRate);
    case audioMasterGetBlockSize:
      return mBlockSize;
    case audioMasterGetCurrentProcessLevel:
      return processLevel;
    case audioMasterGetVendorString:
      CopyOut(ptr, vendorString, kVstMaxVendorStrLen);
      return 1;
    case audioMasterGetProductString:
      CopyOut(ptr, productString, kVstMaxProductStrLen);
      return 1;
    case audioMasterGetVendorVersion:
      return vendorVersion;
    case audioMasterCanDo: {
      const char* what = static_cast<const char*>(ptr);
      if (!what) return 0;
      static const char* const kYes[] = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo",
                                         "receiveVstEvents", "receiveVstMidiEvent"};
      for (const char* y : kYes) {
        if (!std::strcmp(what, y)) return 1;
      }
      return 0;
    }
    case audioMasterGetLanguage:
      return 1;  // English
    default:
      return 0;
  }
}
