#pragma once
#include <atomic>

#include "ChunkBuffer.h"
#include "IPlugBase.h"
#include "vst2.h"

// Binds IPlugBase to a VST 2.4 host: owns the effect record handed to the
// host, answers the dispatcher, adapts the audio callbacks and implements the
// host-bound hooks of the base (automation, time, MIDI out, identification).
//
// Threads: every callback from the host holds the instance lock for its whole
// duration, except the window work of the editor opcodes (effEditOpen,
// effEditClose, effEditIdle, effIdle): the window layer opens, closes and
// runs the window outside the lock, as a window procedure runs outside any
// host call on Windows, so that a menu or a dialog waiting for the user never
// holds up the audio thread; the plug-in's own editor hooks (EditorOpened,
// EditorClosing, EditorIdle) still run under the lock. Closing is safe against calls that are already inside a callback
// (for example a process call blocked on the lock while effClose runs): the
// closing call marks the instance as closing, releases the lock, waits until
// every other call that had entered has left (a call that finds the instance
// closing returns at once without touching it) and only then destroys the
// object. A host must not start new calls once effClose has returned; the
// effect record is gone with the object.
class IPlugVST : public IPlugBase {
 public:
  IPlugVST(audioMasterCallback host, int nParams, const char* channelIOText, int nPresets,
           const char* effectName, const char* productName, const char* mfrName, int version,
           int uniqueID, int latency, bool doesMidi, bool doesChunks, bool isInstrument);
  ~IPlugVST() override;

  // Sample rates a host may set. Anything else (zero, negative, NaN, absurd)
  // is ignored: the instance keeps the rate it had rather than falling
  // silent.
  static constexpr double kMinSampleRate = 1000.0;
  static constexpr double kMaxSampleRate = 768000.0;

  AEffect* GetAEffect() { return &mEffect; }
  audioMasterCallback GetHostCallback() const { return mHostCallback; }

  // ---- host-bound hooks of the base ---------------------------------------
  void BeginParamEdit(int index) override;
  void NotifyHostParamChanged(int index, double normalized) override;
  void EndParamEdit(int index) override;
  void NotifyHostProgramChanged() override;
  bool IsOfflineRender() override;
  int GetSamplePos() override;
  double GetTempo() override;
  void GetTimeSig(int* num, int* den) override;
  void GetTime(HostTimeInfo* info) override;
  int GetHost() override;
  void ResizeEditor() override;
  void HostInit() override;
  void AttachEditor(IGraphics* editor) override;
  void SetLatency(int frames) override;
  bool SendMidiMessage(const MidiMessage& msg) override;
  bool SendSysEx(const SysExBlock& block) override;

  // Host identifier of a product string (lower-cased substring table; 0 when
  // nothing matches). Exposed for tests and the editor's about text.
  static int HostIdFromProductString(const char* product);

  // The effect-record callbacks (public so that tests can reach the same
  // entry points a host calls through the record).
  static VstIntPtr VSTCALLBACK VSTDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                             VstIntPtr value, void* ptr, float opt);
  static void VSTCALLBACK VSTProcess(AEffect* effect, float** inputs, float** outputs, VstInt32 frames);
  static void VSTCALLBACK VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs,
                                              VstInt32 frames);
  static void VSTCALLBACK VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                                    VstInt32 frames);
  static float VSTCALLBACK VSTGetParameter(AEffect* effect, VstInt32 index);
  static void VSTCALLBACK VSTSetParameter(AEffect* effect, VstInt32 index, float value);

 protected:
  // Editor hand-over points. Without an attached editor none of them is
  // called.
  virtual bool EditorOpenWindow(void* parent);
  virtual void EditorCloseWindow();
  virtual void EditorSize(int* width, int* height);
  virtual void EditorSetControlsFromParam(int index, double value, bool normalized);

  // Whether the host is offered the editor: attached, and this platform has
  // a window layer for it.
  bool HostEditor() const;

  VstIntPtr HostCallback(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

 private:
  class CallScope;
  friend class CallScope;

  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  // The editor opcodes, called without the lock (see the class comment).
  VstIntPtr DispatchWindow(VstInt32 opcode, void* ptr);
  VstIntPtr GetChunk(VstInt32 index, void* ptr);
  VstIntPtr SetChunk(VstInt32 index, VstIntPtr length, void* ptr);
  VstIntPtr ProcessEvents(const VstEvents* events);
  VstIntPtr String2Parameter(VstInt32 index, const char* text);
  VstIntPtr VendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt);
  VstIntPtr CanDo(const char* text);
  VstIntPtr PinProperties(bool input, VstInt32 index, VstPinProperties* props);
  void SetSpeakerArrangement(bool input, const VstSpeakerArrangement* arr);
  const VstTimeInfo* RequestTime(VstInt32 flags);
  bool HostNeedsBankRetry();
  void SendWantMidi();
  bool SendEventToHost(VstEvent* event);
  void SetEditRectFromEditor();
  // A replacing process call that failed leaves silence, not half a block.
  template <typename Sample>
  void SilenceOutputs(Sample** outputs, VstInt32 frames);
  // effClose: decides whether this call or an outer call on the same thread
  // destroys the object.
  void BeginClose();

  // Fields in the order the instance keeps them.
  ERect mEditRect = {0, 0, 0, 0};
  audioMasterCallback mHostCallback = nullptr;
  VstSpeakerArrangement mInputArrangement;
  VstSpeakerArrangement mOutputArrangement;
  bool mHostInitDone = false;
  ChunkBuffer mProgramState;
  ChunkBuffer mBankState;
  bool mHostVendorChecked = false;
  bool mHostNeedsBankRetry = false;
  AEffect mEffect;

  // Close protocol (see the class comment).
  std::atomic<int> mCallsInside{0};   // callbacks between entry and exit, any thread
  std::atomic<bool> mClosing{false};
  int mLockDepth = 0;                 // callback frames inside (changed under the lock only)
  bool mDestroyWhenLeft = false;      // effClose nested in another callback: outermost frame destroys
};

// Defined by the instrument: builds the plug-in object for a host.
IPlugVST* CreateInstrument(audioMasterCallback host);
