// Several host threads calling one instance at once: audio, parameters,
// events, chunks and program changes. Meant to be run under ThreadSanitizer
// as well (tests/hosts/tsan.sh); there QUARVI_STRESS_SECONDS makes it run
// longer. The checks afterwards are about consistency, never about timing.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "VSTTestHost.h"

#ifdef QUARVI_HAVE_INSTRUMENT
#include "../hardening/LoaderChecks.h"
#include "Quarvi.h"
extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback host);
#endif

namespace {

double StressSeconds() {
  const char* s = std::getenv("QUARVI_STRESS_SECONDS");
  const double v = s ? std::atof(s) : 0.0;
  return v > 0.0 ? v : 0.3;
}

std::vector<uint8_t> ChunkOf(AEffect* e, int index) {
  void* data = nullptr;
  const VstIntPtr n = e->dispatcher(e, effGetChunk, index, 0, &data, 0.0f);
  if (n <= 0 || !data) return {};
  // Copied at once: the buffer stays the plug-in's and changes with its next
  // chunk request (only this thread makes chunk requests here).
  return std::vector<uint8_t>(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + n);
}

TEST(VSTConcurrency, HostThreadsAtOnceLeaveAConsistentInstance) {
  TestHost host;
  ScopedTestHost scope(&host);
  AEffect* e = CreateFake(&host);
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  e->dispatcher(e, effSetBlockSize, 0, 256, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);

  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0}, chunkRoundTrips{0}, failedChunkLoads{0};
  std::vector<std::thread> threads;

  threads.emplace_back([&] {  // audio
    std::vector<float> l(256), r(256);
    std::vector<double> dl(256), dr(256);
    float* outs[2] = {l.data(), r.data()};
    double* douts[2] = {dl.data(), dr.data()};
    for (long i = 0; !stop; ++i) {
      if (i % 3 == 0) {
        e->processDoubleReplacing(e, nullptr, douts, 256);
      } else if (i % 3 == 1) {
        e->processReplacing(e, nullptr, outs, 256);
      } else {
        e->process(e, nullptr, outs, 256);
      }
      ++blocks;
    }
  });

  threads.emplace_back([&] {  // automation
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> index(-2, kFakeNumParams + 1);
    std::uniform_real_distribution<float> value(-0.5f, 1.5f);
    for (long i = 0; !stop; ++i) {
      const int k = index(rng);
      float v = value(rng);
      if (i % 97 == 0) v = std::nanf("");
      e->setParameter(e, k, v);
      (void)e->getParameter(e, k);
    }
  });

  threads.emplace_back([&] {  // MIDI
    std::mt19937 rng(2);
    std::uniform_int_distribution<int> key(36, 84);
    VstMidiEvent ev;
    std::memset(&ev, 0, sizeof(ev));
    ev.type = kVstMidiType;
    ev.byteSize = sizeof(ev);
    VstEvents list;
    std::memset(&list, 0, sizeof(list));
    list.numEvents = 1;
    list.events[0] = reinterpret_cast<VstEvent*>(&ev);
    for (long i = 0; !stop; ++i) {
      ev.deltaFrames = static_cast<VstInt32>(i % 256);
      ev.midiData[0] = static_cast<char>(i % 2 ? 0x80 : 0x90);
      ev.midiData[1] = static_cast<char>(key(rng));
      ev.midiData[2] = 100;
      e->dispatcher(e, effProcessEvents, 0, 0, &list, 0.0f);
    }
  });

  threads.emplace_back([&] {  // state save and restore
    for (long i = 0; !stop; ++i) {
      const int index = static_cast<int>(i % 2);
      std::vector<uint8_t> c = ChunkOf(e, index);
      if (c.empty() ||
          e->dispatcher(e, effSetChunk, index, static_cast<VstIntPtr>(c.size()), c.data(), 0.0f) != 1) {
        ++failedChunkLoads;
      }
      ++chunkRoundTrips;
    }
  });

  threads.emplace_back([&] {  // program changes and names
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> program(0, 63);
    char name[256];
    for (long i = 0; !stop; ++i) {
      e->dispatcher(e, effSetProgram, 0, program(rng), nullptr, 0.0f);
      (void)e->dispatcher(e, effGetProgram, 0, 0, nullptr, 0.0f);
      e->dispatcher(e, effGetProgramNameIndexed, program(rng), 0, name, 0.0f);
      if (i % 16 == 0) e->dispatcher(e, effSetProgramName, 0, 0, const_cast<char*>("busy"), 0.0f);
      e->dispatcher(e, effGetParamDisplay, static_cast<VstInt32>(i % kFakeNumParams), 0, name, 0.0f);
    }
  });

  std::this_thread::sleep_for(std::chrono::duration<double>(StressSeconds()));
  stop = true;
  for (std::thread& t : threads) t.join();

  EXPECT_GT(blocks.load(), 0);
  EXPECT_GT(chunkRoundTrips.load(), 0);
  EXPECT_EQ(failedChunkLoads.load(), 0);

  FakeInstrument* plug = FakeOf(e);
  for (int i = 0; i < kFakeNumParams; ++i) {
    const IPlugParam* p = plug->GetParam(i);
    EXPECT_TRUE(p->value >= p->min && p->value <= p->max) << p->name << " = " << p->value;
  }
  const VstIntPtr program = e->dispatcher(e, effGetProgram, 0, 0, nullptr, 0.0f);
  EXPECT_GE(program, 0);
  EXPECT_LT(program, 64);
  // The state is whole: a bank read back loads and reads back the same.
  const std::vector<uint8_t> bank = ChunkOf(e, 0);
  std::vector<uint8_t> copy = bank;
  EXPECT_EQ(e->dispatcher(e, effSetChunk, 0, static_cast<VstIntPtr>(copy.size()), copy.data(), 0.0f), 1);
  EXPECT_EQ(ChunkOf(e, 0), bank);

  e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}

#ifdef QUARVI_HAVE_INSTRUMENT

// The real instrument under three host threads: rendering with notes and
// controllers, automation with MIDI learn and settings saves, and chunks
// with program changes. Under ThreadSanitizer any unguarded access between
// them (the settings writer reading the controller map a learn step changes,
// for one) is a reported race.
TEST(VSTConcurrency, TheInstrumentUnderRenderingAutomationAndChunks) {
  TestHost host;
  ScopedTestHost scope(&host);
  AEffect* e = VSTPluginMain(&TestHost::Callback);
  ASSERT_NE(e, nullptr);
  Quarvi* q = static_cast<Quarvi*>(static_cast<IPlugVST*>(e->object));
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  e->dispatcher(e, effSetBlockSize, 0, 256, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);

  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0}, edits{0}, chunkLoads{0}, failedChunkLoads{0};
  std::vector<std::thread> threads;

  threads.emplace_back([&] {  // audio, with notes and controllers before each block
    std::vector<float> l(256), r(256);
    float* outs[2] = {l.data(), r.data()};
    for (long i = 0; !stop; ++i) {
      std::vector<VstMidiEvent> events = {MidiEvent(i % 2 ? 0x80 : 0x90, 48 + i % 24, 100, static_cast<int>(i % 256)),
                                          MidiEvent(0xB0, 20 + i % 8, static_cast<int>(i % 128), 0)};
      SendEvents(e, events);
      e->processReplacing(e, nullptr, outs, 256);
      ++blocks;
    }
  });

  threads.emplace_back([&] {  // automation, learning and saving the settings
    std::mt19937 rng(4);
    std::uniform_int_distribution<int> index(0, kNumParams - 1);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    for (long i = 0; !stop; ++i) {
      const int k = index(rng);
      e->setParameter(e, k, value(rng));
      (void)e->getParameter(e, k);
      if (i % 50 == 0) q->ArmLearn(true, i % 200 == 0);
      if (i % 400 == 0) q->WriteMidiSettings(MidiSettings::All);
      ++edits;
    }
  });

  threads.emplace_back([&] {  // state save and restore, program changes
    for (long i = 0; !stop; ++i) {
      const int index = static_cast<int>(i % 2);
      std::vector<uint8_t> c = ChunkOf(e, index);
      if (c.empty() ||
          e->dispatcher(e, effSetChunk, index, static_cast<VstIntPtr>(c.size()), c.data(), 0.0f) != 1) {
        ++failedChunkLoads;
      }
      ++chunkLoads;
      e->dispatcher(e, effSetProgram, 0, i % 64, nullptr, 0.0f);
      if (i % 8 == 0) SendEvents(e, {MidiEvent(0xC0, static_cast<int>(i % 64), 0, 0)});
    }
  });

  std::this_thread::sleep_for(std::chrono::duration<double>(StressSeconds()));
  stop = true;
  for (std::thread& t : threads) t.join();

  EXPECT_GT(blocks.load(), 0);
  EXPECT_GT(edits.load(), 0);
  EXPECT_GT(chunkLoads.load(), 0);
  EXPECT_EQ(failedChunkLoads.load(), 0);
  for (int i = 0; i < kNumParams; ++i) {
    const IPlugParam* p = q->GetParam(i);
    EXPECT_TRUE(p->value >= p->min && p->value <= p->max) << p->name << " = " << p->value;
  }
  const std::vector<uint8_t> bank = ChunkOf(e, 0);
  std::vector<uint8_t> copy = bank;
  EXPECT_EQ(e->dispatcher(e, effSetChunk, 0, static_cast<VstIntPtr>(copy.size()), copy.data(), 0.0f), 1);
  e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}

#endif  // QUARVI_HAVE_INSTRUMENT

}  // namespace
