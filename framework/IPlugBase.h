#pragma once
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "ChunkBuffer.h"
#include "IPlugParam.h"
#include "IPlugPreset.h"
#include "MidiTypes.h"

class IGraphics;  // the editor; attached later, owned by the plug-in

// Host-independent plug-in core: parameters, programs, channels, identity and
// the one recursive lock that serializes host calls, rendering and editor work.
class IPlugBase {
 public:
  struct ChannelIO {
    bool connected = false;
    double** slot = nullptr;            // entry in the input or output pointer array
    std::vector<double> scratch;        // block-size doubles
    float* hostDestination = nullptr;   // outputs only: single-precision target
  };

  IPlugBase(int nParams, const char* channelIOText, int nPresets, const char* effectName,
            const char* productName, const char* mfrName, int version, int uniqueID,
            int latency, bool doesMidi, bool doesChunks, bool isInstrument);
  virtual ~IPlugBase();  // slot 0

  IPlugBase(const IPlugBase&) = delete;
  IPlugBase& operator=(const IPlugBase&) = delete;

  // ---- virtual hooks, in slot order ------------------------------------
  virtual void ResetProcessing();                                    // 1
  virtual void ParamChanged(int index);                              // 2
  virtual void ProcessBlock(double** inputs, double** outputs, int nFrames);  // 3
  virtual void EditorOpened() {}                                     // 4
  virtual void EditorClosing() {}                                    // 5
  virtual void EditorIdle() {}                                       // 6
  virtual void SetActive(bool active);                               // 7
  virtual void HandleMidiMessage(const MidiMessage& msg);            // 8
  virtual void HandleSysEx(const SysExBlock&) {}                     // 9
  virtual bool NoteNameFor(int note, char* out);                     // 10
  virtual bool SerializeState(ChunkBuffer* chunk);                   // 11
  virtual int UnserializeState(const ChunkBuffer& chunk, int pos);   // 12
  virtual void OnWindowResize() {}                                   // 14
  virtual void SetParameterFromEditor(int index, double normalized); // 18
  virtual void BeginParamEdit(int) {}                                // 19
  virtual void NotifyHostParamChanged(int, double) {}                // 20
  virtual void EndParamEdit(int) {}                                  // 21
  virtual void NotifyHostProgramChanged() {}                         // 22
  virtual bool IsOfflineRender() { return false; }                   // 23
  virtual int GetSamplePos() { return 0; }                           // 24
  virtual double GetTempo() { return 0.0; }                          // 25
  virtual void GetTimeSig(int* num, int* den) { *num = 0; *den = 0; }  // 26
  virtual void GetTime(HostTimeInfo*) {}                             // 27
  virtual int GetHost() { return mHost; }                            // 28
  virtual void ResizeEditor() {}                                     // 30
  virtual void HostInit() {}                                         // 31
  virtual void AttachEditor(IGraphics* editor);                      // 32
  virtual void SetLatency(int frames) { mLatency = frames; }         // 33
  virtual bool SendMidiMessage(const MidiMessage&) { return false; } // 34
  virtual bool SendSysEx(const SysExBlock&) { return false; }        // 35
  virtual void RefreshParamControls();                               // 36
  virtual int UnserializePresets(const ChunkBuffer& chunk, int pos); // 37
  virtual void ModifyCurrentPreset(const char* name = nullptr);      // 38
  virtual void PresetsChangedByHost() {}                             // 40
  virtual void SetSampleRate(double sampleRate) { mSampleRate = sampleRate; }  // 41
  virtual void SetBlockSize(int blockSize);                          // 42

  // ---- non-virtual operations -------------------------------------------
  bool SerializeParams(ChunkBuffer* chunk);
  int UnserializeParams(const ChunkBuffer& chunk, int pos);
  bool SerializePresets(ChunkBuffer* chunk);
  const char* GetPresetName(int index) const;
  bool LoadProgramSlot(int index);
  // The editor's program selection: under the lock, stores the current
  // state into the current program, makes program index current, tells the
  // host the program and every parameter value changed and pushes the values
  // to the editor.
  void SelectProgram(int index);
  void FillEmptyPrograms(int count);
  void OnParamReset();
  void ReportAllParamsToHost();
  // Closes and destroys the editor (safe to call twice).
  void DestroyEditor();
  bool LegalIO(int nIn, int nOut) const;

  // Program and bank files (fxp / fxb).
  bool SaveProgramAsFXP(const std::string& path);
  bool SaveBankAsFXB(const std::string& path);
  bool LoadProgramFromFXP(const std::string& path);
  bool LoadBankFromFXB(const std::string& path);
  // Paths are UTF-8; an empty path fails. Saving replaces the file atomically
  // (ReplaceFileAtomically, as the settings file): a failed save keeps the old
  // file, a symbolic link stays a link and the file keeps its mode.
  // The same operations on memory images (used by the file versions):
  bool BuildProgramFile(ChunkBuffer* out);
  bool BuildBankFile(ChunkBuffer* out);
  bool LoadProgramFromMemory(const ChunkBuffer& file);  // a whole fxp image
  bool LoadBankFromFile(const ChunkBuffer& file);       // a whole fxb image, checked
  // A trusted bank image (the factory resource): header skipped unchecked.
  // False when the image is shorter than a bank header or its chunk ends early.
  bool LoadBankFromMemory(const uint8_t* bytes, int length);

  void Lock() { mLock.lock(); }
  void Unlock() { mLock.unlock(); }
  std::recursive_mutex& Mutex() { return mLock; }

  // ---- accessors ----------------------------------------------------------
  int NParams() const { return static_cast<int>(mParams.size()); }
  IPlugParam* GetParam(int index) { return index >= 0 && index < NParams() ? &mParams[index] : nullptr; }
  const IPlugParam* GetParam(int index) const {
    return index >= 0 && index < NParams() ? &mParams[index] : nullptr;
  }
  int NPresets() const { return static_cast<int>(mPresets.size()); }
  IPlugPreset* GetPreset(int index) { return index >= 0 && index < NPresets() ? &mPresets[index] : nullptr; }
  int GetCurrentPresetIdx() const { return mCurrentPreset; }
  double GetSampleRate() const { return mSampleRate; }
  int GetBlockSize() const { return mBlockSize; }
  int GetLatency() const { return mLatency; }
  int GetUniqueID() const { return mUniqueID; }
  int GetEffectVersion(bool decimal) const;
  const char* GetEffectName() const { return mEffectName; }
  const char* GetMfrName() const { return mMfrName; }
  const char* GetProductName() const { return mProductName; }
  bool DoesMidi() const { return mDoesMidi; }
  bool DoesChunks() const { return mDoesChunks; }
  bool IsInstrument() const { return mIsInstrument; }
  IGraphics* GetGUI() const { return mGraphics; }
  int NInChannels() const { return static_cast<int>(mInChannels.size()); }
  int NOutChannels() const { return static_cast<int>(mOutChannels.size()); }
  ChannelIO& InChannel(int i) { return mInChannels[i]; }
  ChannelIO& OutChannel(int i) { return mOutChannels[i]; }
  double** InputPointers() { return mInputPtrs.data(); }
  double** OutputPointers() { return mOutputPtrs.data(); }

  // Single-precision adaptation used by the host interface: connects host
  // buffers, renders, converts back (replacing or accumulating).
  void ProcessSingle(float** inputs, float** outputs, int nFrames, bool accumulate);
  void ProcessDouble(double** inputs, double** outputs, int nFrames);

 protected:
  // Everything a load may change: the program list, the current program and
  // the live state. A load that fails part of the way puts it all back, so a
  // failed load never costs the user a program or leaves the sound behind
  // the parameters.
  struct LoadSnapshot {
    std::vector<IPlugPreset> presets;
    ChunkBuffer state;
    int current = 0;
  };
  LoadSnapshot TakeLoadSnapshot();
  void RestoreLoadSnapshot(const LoadSnapshot& snapshot);

  std::vector<std::pair<int, int>> mChannelConfigs;
  std::recursive_mutex mLock;
  char mEffectName[128] = {0};
  char mProductName[128] = {0};
  char mMfrName[128] = {0};
  int mUniqueID = 0;
  int mVersion = 0;
  int mHost = -1;
  int mHostVersion = 0;
  bool mDoesChunks = true, mIsInstrument = true, mDoesMidi = true;
  int mCurrentPreset = 0;
  double mSampleRate = 44100.0;
  int mBlockSize = 0;
  int mLatency = 0, mTailSize = 0;
  std::vector<IPlugParam> mParams;
  IGraphics* mGraphics = nullptr;
  std::vector<IPlugPreset> mPresets;
  std::vector<double*> mInputPtrs, mOutputPtrs;
  std::vector<ChannelIO> mInChannels, mOutChannels;
};
