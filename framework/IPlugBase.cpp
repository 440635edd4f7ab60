#include "IPlugBase.h"

#include "IGraphics.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
const char kUserPresetName[] = "user preset";
}

IPlugBase::IPlugBase(int nParams, const char* channelIOText, int nPresets, const char* effectName,
                     const char* productName, const char* mfrName, int version, int uniqueID,
                     int latency, bool doesMidi, bool doesChunks, bool isInstrument)
    : mUniqueID(uniqueID),
      mVersion(version),
      mDoesChunks(doesChunks),
      mIsInstrument(isInstrument),
      mDoesMidi(doesMidi),
      mLatency(latency) {
  mParams.resize(static_cast<size_t>(std::max(0, nParams)));
  mPresets.resize(static_cast<size_t>(std::max(0, nPresets)));

  CopyText(mEffectName, effectName, sizeof(mEffectName));
  CopyText(mProductName, productName, sizeof(mProductName));
  CopyText(mMfrName, mfrName, sizeof(mMfrName));

  // Channel configurations: space-separated "inputs-outputs" pairs; a side
  // that does not parse counts as 0.
  int maxIn = 0, maxOut = 0;
  const char* p = channelIOText;
  while (p) {
    int nIn = 0, nOut = 0;
    std::sscanf(p, "%d-%d", &nIn, &nOut);
    mChannelConfigs.emplace_back(nIn, nOut);
    maxIn = std::max(maxIn, nIn);
    maxOut = std::max(maxOut, nOut);
    p = std::strchr(p, ' ');
    if (p) ++p;
  }

  // The pointer arrays never change size after this, so the records may keep
  // pointers to their slots.
  mInputPtrs.assign(static_cast<size_t>(maxIn), nullptr);
  mOutputPtrs.assign(static_cast<size_t>(maxOut), nullptr);
  mInChannels.resize(static_cast<size_t>(maxIn));
  mOutChannels.resize(static_cast<size_t>(maxOut));
  for (int i = 0; i < maxIn; ++i) mInChannels[i].slot = &mInputPtrs[i];
  for (int i = 0; i < maxOut; ++i) mOutChannels[i].slot = &mOutputPtrs[i];
}

IPlugBase::~IPlugBase() {
  // Presets, parameters and channel records go with their vectors. The
  // instrument normally destroys its editor first, while it is still whole.
  DestroyEditor();
}

void IPlugBase::DestroyEditor() {
  IGraphics* editor = nullptr;
  {
    std::lock_guard<std::recursive_mutex> g(mLock);
    editor = mGraphics;
    mGraphics = nullptr;
  }
  // Destroying the editor closes its window; outside the lock, so that a
  // window message handled meanwhile on this thread cannot wait on it.
  delete editor;
}

// ---- virtual defaults ---------------------------------------------------

void IPlugBase::ResetProcessing() {
  std::lock_guard<std::recursive_mutex> g(mLock);
}

void IPlugBase::ParamChanged(int) {}

void IPlugBase::ProcessBlock(double** inputs, double** outputs, int nFrames) {
  if (nFrames <= 0 || !outputs) return;
  const int nIn = NInChannels(), nOut = NOutChannels();
  const int through = std::min(nIn, nOut);
  for (int c = 0; c < nOut; ++c) {
    double* out = outputs[c];
    if (!out) continue;
    const double* in = (c < through && inputs) ? inputs[c] : nullptr;
    if (in) {
      if (in != out) std::memmove(out, in, sizeof(double) * static_cast<size_t>(nFrames));
    } else {
      std::fill(out, out + nFrames, 0.0);
    }
  }
}

void IPlugBase::SetActive(bool) {
  std::lock_guard<std::recursive_mutex> g(mLock);
}

void IPlugBase::HandleMidiMessage(const MidiMessage& msg) { SendMidiMessage(msg); }

bool IPlugBase::NoteNameFor(int, char* out) {
  if (out) out[0] = '\0';
  return false;
}

bool IPlugBase::SerializeState(ChunkBuffer* chunk) { return SerializeParams(chunk); }

int IPlugBase::UnserializeState(const ChunkBuffer& chunk, int pos) {
  return UnserializeParams(chunk, pos);
}

void IPlugBase::SetParameterFromEditor(int index, double normalized) {
  std::lock_guard<std::recursive_mutex> g(mLock);
  IPlugParam* param = GetParam(index);
  if (!param) return;
  param->SetFromNormalized(normalized);
  NotifyHostParamChanged(index, normalized);
  ParamChanged(index);
}

void IPlugBase::AttachEditor(IGraphics* editor) {
  std::lock_guard<std::recursive_mutex> g(mLock);
  if (editor) {
    // Every control learns its parameter's value; the first value a control
    // gets is also what a double-click returns it to. The drawing bitmaps
    // are made when the editor first draws: an instance whose editor is
    // never opened does not carry a 2.8 MB back buffer.
    for (int i = 0; i < NParams(); ++i) editor->SetControlsFromParam(i, mParams[i].ToNormalized(), true);
  }
  mGraphics = editor;
}

void IPlugBase::RefreshParamControls() {
  std::lock_guard<std::recursive_mutex> g(mLock);
  if (!mGraphics) return;
  for (int i = 0; i < NParams(); ++i) mGraphics->SetControlsFromParam(i, mParams[i].value, false);
}

// ---- parameters -----------------------------------------------------------

bool IPlugBase::SerializeParams(ChunkBuffer* chunk) {
  std::lock_guard<std::recursive_mutex> g(mLock);
  if (!chunk) return false;
  for (const IPlugParam& p : mParams) chunk->Put(p.value);
  return chunk->Size() > 0;
}

int IPlugBase::UnserializeParams(const ChunkBuffer& chunk, int pos) {
  std::lock_guard<std::recursive_mutex> g(mLock);
  for (int i = 0; i < NParams() && pos >= 0; ++i) {
    double v = 0.0;
    pos = chunk.Get(&v, pos);
    mParams[i].SetPlain(v);
  }
  for (int i = 0; i < NParams(); ++i) ParamChanged(i);
  return pos;
}

void IPlugBase::OnParamReset() {
  for (int i = 0; i < NParams(); ++i) ParamChanged(i);
}

void IPlugBase::ReportAllParamsToHost() {
  std::lock_guard<std::recursive_mutex> g(mLock);
  for (int i = 0; i < NParams(); ++i) NotifyHostParamChanged(i, mParams[i].ToNormalized());
}

bool IPlugBase::LegalIO(int nIn, int nOut) const {
  for (const auto& cfg : mChannelConfigs) {
    if ((nIn < 0 || nIn == cfg.first) && (nOut < 0 || nOut == cfg.second)) return true;
  }
  return false;
}

int IPlugBase::GetEffectVersion(bool decimal) const {
  if (!decimal) return mVersion;
  const int major = (mVersion >> 16) & 0xffff;
  const int minor = (mVersion >> 8) & 0xff;
  const int patch = mVersion & 0xff;
  return major * 10000 + minor * 100 + patch;
}

// ---- programs ---------------------------------------------------------------

// An initialized program must always carry a state: a bank that says
// "initialized" but has no state behind the flag cannot be parsed past that
// program. Such a program is therefore written as not initialized (and the
// result is false).
bool IPlugBase::SerializePresets(ChunkBuffer* chunk) {
  std::lock_guard<std::recursive_mutex> g(mLock);
  if (!chunk) return false;
  bool ok = true;
  for (const IPlugPreset& preset : mPresets) {
    chunk->PutStr(preset.name);
    const bool hasState = preset.initialized && preset.chunk.Size() > 0;
    if (preset.initialized && !hasState) ok = false;
    chunk->Put(hasState);
    if (hasState) chunk->PutChunk(preset.chunk);
  }
  return ok;
}

const char* IPlugBase::GetPresetName(int index) const {
  if (index < 0 || index >= NPresets()) return "";
  return mPresets[index].name;
}

bool IPlugBase::LoadProgramSlot(int index) {
  std::lock_guard<std::recursive_mutex> g(mLock);
  if (index < 0 || index >= NPresets()) return false;
  IPlugPreset& preset = mPresets[index];
  bool ok;
  if (preset.initialized) {
    ok = UnserializeState(preset.chunk, 0) > 0;
  } else {
    preset.initialized = true;
    int count = 0;
    for (const IPlugPreset& p : mPresets) {
      if (std::strstr(p.name, kUserPresetName)) ++count;
    }
    std::snprintf(preset.name, sizeof(preset.name), "%s %d", kUserPresetName, count + 1);
    preset.chunk.Clear();  // a slot left uninitialized by a bank may still hold old bytes
    ok = SerializeState(&preset.chunk);
  }
  if (ok) {
    mCurrentPreset = index;
    PresetsChangedByHost();
    RefreshParamControls();
  }
  return ok;
}

void IPlugBase::SelectProgram(int index) {
  std::lock_guard<std::recursive_mutex> g(mLock);
  ModifyCurrentPreset();
  LoadProgramSlot(index);
  NotifyHostProgramChanged();
  RefreshParamControls();
  // A host that shows parameters learns the new values as well.
  ReportAllParamsToHost();
}

void IPlugBase::FillEmptyPrograms(int count) {
  std::lock_guard<std::recursive_mutex> g(mLock);
  for (int n = 0; n < count; ++n) {
    auto it = std::find_if(mPresets.begin(), mPresets.end(),
                           [](const IPlugPreset& p) { return !p.initialized; });
    if (it == mPresets.end()) return;
    it->initialized = true;
    CopyText(it->name, "Empty", IPlugPreset::kNameSize);
    it->chunk.Clear();
    SerializeState(&it->chunk);
  }
}

// Besides storing the state, a successful store marks the program
// initialized: otherwise the next LoadProgramSlot would treat the slot as
// fresh and rename it "user preset N", losing the name just given.
void IPlugBase::ModifyCurrentPreset(const char* name) {
  std::lock_guard<std::recursive_mutex> g(mLock);
  IPlugPreset* preset = GetPreset(mCurrentPreset);
  if (!preset) return;
  preset->chunk.Clear();
  SerializeState(&preset->chunk);
  if (preset->chunk.Size() > 0) preset->initialized = true;
  if (name && name[0]) CopyText(preset->name, name, IPlugPreset::kNameSize);
}

// A program record is taken over as a whole or not at all: the name, the flag
// and the state are committed together once the state has been read, so a
// bank that ends inside a record leaves that program exactly as it was.
// Names longer than 255 characters are cut to the name field. A state reader
// that does not move forward counts as a failed read.
int IPlugBase::UnserializePresets(const ChunkBuffer& chunk, int pos) {
  std::lock_guard<std::recursive_mutex> g(mLock);
  for (int i = 0; i < NPresets() && pos >= 0; ++i) {
    IPlugPreset& preset = mPresets[i];
    std::string name = preset.name;
    pos = chunk.GetStr(&name, pos);
    bool initialized = false;
    pos = chunk.Get(&initialized, pos);
    if (pos < 0) break;
    if (initialized) {
      const int start = pos;
      pos = UnserializeState(chunk, pos);
      if (pos <= start) {
        pos = -1;
        break;
      }
      preset.chunk.Clear();
      SerializeState(&preset.chunk);
    }
    preset.initialized = initialized;
    CopyText(preset.name, name.c_str(), IPlugPreset::kNameSize);
  }
  LoadProgramSlot(mCurrentPreset);
  return pos;
}

IPlugBase::LoadSnapshot IPlugBase::TakeLoadSnapshot() {
  std::lock_guard<std::recursive_mutex> g(mLock);
  LoadSnapshot s;
  s.presets = mPresets;
  SerializeState(&s.state);
  s.current = mCurrentPreset;
  return s;
}

// The state goes back through the state loader, so the engine follows the
// restored parameters.
void IPlugBase::RestoreLoadSnapshot(const LoadSnapshot& snapshot) {
  std::lock_guard<std::recursive_mutex> g(mLock);
  mPresets = snapshot.presets;
  mCurrentPreset = snapshot.current;
  UnserializeState(snapshot.state, 0);
  PresetsChangedByHost();
  RefreshParamControls();
}

// ---- audio --------------------------------------------------------------------

void IPlugBase::SetBlockSize(int blockSize) {
  std::lock_guard<std::recursive_mutex> g(mLock);  // the scratch buffers move
  if (blockSize < 0) blockSize = 0;
  if (blockSize == mBlockSize) return;
  for (ChannelIO& c : mInChannels) c.scratch.assign(static_cast<size_t>(blockSize), 0.0);
  for (ChannelIO& c : mOutChannels) c.scratch.assign(static_cast<size_t>(blockSize), 0.0);
  mBlockSize = blockSize;
}

// Hosts should never pass more frames than the block size they announced;
// if one does, the call is rendered in pieces of at most the block size so
// that the scratch buffers are never overrun.
void IPlugBase::ProcessSingle(float** inputs, float** outputs, int nFrames, bool accumulate) {
  std::lock_guard<std::recursive_mutex> g(mLock);
  if (nFrames <= 0) return;

  int ho = 0;
  for (ChannelIO& c : mOutChannels) {
    c.hostDestination = (c.connected && outputs) ? outputs[ho++] : nullptr;
  }
  if (mBlockSize <= 0) {  // no scratch to render into: silence
    if (!accumulate) {
      for (ChannelIO& c : mOutChannels) {
        if (c.hostDestination) std::fill(c.hostDestination, c.hostDestination + nFrames, 0.0f);
      }
    }
    return;
  }

  for (int done = 0; done < nFrames;) {
    const int n = std::min(nFrames - done, mBlockSize);
    int hi = 0;
    for (ChannelIO& c : mInChannels) {
      double* scratch = c.scratch.data();
      *c.slot = scratch;
      const float* src = (c.connected && inputs) ? inputs[hi++] : nullptr;
      if (src) {
        for (int i = 0; i < n; ++i) scratch[i] = src[done + i];
      } else {
        std::fill(scratch, scratch + n, 0.0);
      }
    }
    for (ChannelIO& c : mOutChannels) *c.slot = c.scratch.data();

    ProcessBlock(mInputPtrs.data(), mOutputPtrs.data(), n);

    for (ChannelIO& c : mOutChannels) {
      if (!c.hostDestination) continue;
      float* dst = c.hostDestination + done;
      const double* scratch = c.scratch.data();
      if (accumulate) {
        for (int i = 0; i < n; ++i) dst[i] += static_cast<float>(scratch[i]);
      } else {
        for (int i = 0; i < n; ++i) dst[i] = static_cast<float>(scratch[i]);
      }
    }
    done += n;
  }
}

// Connected channels use the host's buffers directly; unconnected ones keep
// pointing at their scratch, which limits a piece to the block size.
void IPlugBase::ProcessDouble(double** inputs, double** outputs, int nFrames) {
  std::lock_guard<std::recursive_mutex> g(mLock);
  if (nFrames <= 0) return;

  bool needScratch = false;
  int hi = 0, ho = 0;
  for (ChannelIO& c : mInChannels) {
    if (!((c.connected && inputs) ? inputs[hi++] : nullptr)) needScratch = true;
  }
  for (ChannelIO& c : mOutChannels) {
    c.hostDestination = nullptr;
    if (!((c.connected && outputs) ? outputs[ho++] : nullptr)) needScratch = true;
  }

  const int piece = needScratch ? mBlockSize : nFrames;
  if (piece <= 0) {
    ho = 0;
    for (ChannelIO& c : mOutChannels) {
      double* host = (c.connected && outputs) ? outputs[ho++] : nullptr;
      if (host) std::fill(host, host + nFrames, 0.0);
    }
    return;
  }

  for (int done = 0; done < nFrames;) {
    const int n = std::min(nFrames - done, piece);
    hi = 0;
    for (ChannelIO& c : mInChannels) {
      double* host = (c.connected && inputs) ? inputs[hi++] : nullptr;
      if (host) {
        *c.slot = host + done;
      } else {
        *c.slot = c.scratch.data();
        std::fill(c.scratch.begin(), c.scratch.begin() + n, 0.0);
      }
    }
    ho = 0;
    for (ChannelIO& c : mOutChannels) {
      double* host = (c.connected && outputs) ? outputs[ho++] : nullptr;
      *c.slot = host ? host + done : c.scratch.data();
    }
    ProcessBlock(mInputPtrs.data(), mOutputPtrs.data(), n);
    done += n;
  }
}
