// quarvi-session-host: one scripted host session against a plug-in library,
// built for Linux and cross-built for both Windows targets from this one
// source, so that the three libraries can be compared sample by sample.
//
//   quarvi-session-host PLUGIN OUT        run the session; writes OUT.raw
//                                         (interleaved stereo, 32-bit float,
//                                         little-endian), OUT.bank and
//                                         OUT.program (the chunks)
//   quarvi-session-host --compare A B [TOLERANCE]
//                                         compares two sessions' files
//
// The session: load through the exported entry point, open, set the rate and
// block size, resume; check the effect record; select program 0; play a
// chord and a melody note through processReplacing, then more through
// processDoubleReplacing; take the bank and program chunks and give them back
// (program chunk on another program, which takes its name; bank chunk on the
// program it was taken on, which must read back identical); play again;
// close and unload.
//
// Each check prints one line; the last line is "N passed, N failed".

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "VstHost.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int kBlock = 256;

int gPassed = 0, gFailed = 0;

void Check(bool ok, const std::string& what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
  (ok ? gPassed : gFailed)++;
}

int Finish() {
  std::printf("%d passed, %d failed\n", gPassed, gFailed);
  return gFailed == 0 ? 0 : 1;
}

HostMidiEvent Note(int offset, int status, int key, int velocity) {
  HostMidiEvent e;
  e.deltaFrames = offset;
  e.status = static_cast<uint8_t>(status);
  e.data1 = static_cast<uint8_t>(key);
  e.data2 = static_cast<uint8_t>(velocity);
  return e;
}

// Plays blocks [0, count) with the events given per block; appends the audio.
void Play(VstHost& host, int count, bool useDouble, const std::vector<std::vector<HostMidiEvent>>& events,
          std::vector<float>* out) {
  std::vector<float> l(kBlock), r(kBlock);
  std::vector<double> dl(kBlock), dr(kBlock);
  float* outs[2] = {l.data(), r.data()};
  double* douts[2] = {dl.data(), dr.data()};
  for (int b = 0; b < count; ++b) {
    VstTimeInfo& t = host.Time();
    t.samplePos = static_cast<double>(out->size() / 2);
    t.sampleRate = kRate;
    t.tempo = 120.0;
    t.ppqPos = t.samplePos / kRate * 2.0;
    t.timeSigNumerator = 4;
    t.timeSigDenominator = 4;
    t.flags = kVstTransportPlaying | kVstTempoValid | kVstPpqPosValid | kVstTimeSigValid;
    if (b < static_cast<int>(events.size())) host.SendEvents(events[b]);
    if (useDouble) {
      host.ProcessDoubleReplacing(douts, kBlock);
      for (int i = 0; i < kBlock; ++i) {
        l[i] = static_cast<float>(dl[i]);
        r[i] = static_cast<float>(dr[i]);
      }
    } else {
      host.ProcessReplacing(outs, kBlock);
    }
    for (int i = 0; i < kBlock; ++i) {
      out->push_back(l[i]);
      out->push_back(r[i]);
    }
  }
}

bool WriteFile(const std::string& path, const void* data, size_t size) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(f);
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  bytes->assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  return true;
}

int RunSession(const std::string& plugin, const std::string& out) {
  VstHost host;
  host.productString = "quarvi-session-host";
  host.processLevel = kVstProcessLevelRealtime;
  std::string error;
  if (!host.Load(plugin, &error)) {
    Check(false, "load: " + error);
    return Finish();
  }
  Check(true, "load " + plugin);
  AEffect* e = host.Effect();
  Check(e->numInputs == 0 && e->numOutputs == 2, "no inputs, two outputs");
  Check(e->numPrograms == 64 && e->numParams == 116, "64 programs, 116 parameters");
  Check((e->flags & 0x1130) == 0x1130, "replacing, chunks, instrument and double-precision flags");
  Check(e->uniqueID == 0x33333135, "identifier 3315");
  char name[256] = {0};
  host.Dispatch(effGetEffectName, 0, 0, name);
  Check(std::string(name) == "Quarvi", std::string("effect name ") + name);
  char vendor[256] = {0};
  host.Dispatch(effGetVendorString, 0, 0, vendor);
  Check(std::string(vendor) == "Kestrel Sound Music", std::string("vendor ") + vendor);

  host.Start(kRate, kBlock);
  host.SetProgram(0);
  Check(host.CurrentProgram() == 0, "program 0 selected: " + host.ProgramName(0));

  std::vector<float> audio;
  std::vector<std::vector<HostMidiEvent>> phrase(24);
  phrase[0] = {Note(0, 0x90, 60, 100), Note(0, 0x90, 64, 96), Note(0, 0x90, 67, 92)};
  phrase[1] = {Note(44, 0x90, 72, 110)};
  phrase[12] = {Note(100, 0x80, 72, 64)};
  phrase[16] = {Note(0, 0x80, 60, 64), Note(0, 0x80, 64, 64), Note(5, 0x80, 67, 64)};
  Play(host, 24, false, phrase, &audio);
  std::vector<std::vector<HostMidiEvent>> second(16);
  second[0] = {Note(10, 0x90, 55, 120)};
  second[8] = {Note(0, 0x80, 55, 0)};
  Play(host, 16, true, second, &audio);

  const std::vector<uint8_t> bank = host.GetChunk(0);
  const std::vector<uint8_t> program = host.GetChunk(1);
  Check(bank.size() > 8 && std::memcmp(bank.data(), "tffp", 4) == 0, "bank chunk with header, " +
                                                                        std::to_string(bank.size()) + " bytes");
  Check(program.size() > 8 && std::memcmp(program.data(), "tffp", 4) == 0,
        "program chunk with header, " + std::to_string(program.size()) + " bytes");

  const std::string firstName = host.ProgramName(0);
  host.SetProgram(5);
  Check(host.SetChunk(1, program), "program chunk accepted on program 5");
  Check(host.ProgramName(5) == firstName, "program 5 renamed to '" + host.ProgramName(5) + "'");
  // Each stored program state carries the current program's index and name
  // at the time it was written: the bank reads back byte for byte when it is
  // loaded with the same program current as when it was taken.
  host.SetProgram(0);
  Check(host.SetChunk(0, bank), "bank chunk accepted");
  Check(host.GetChunk(0) == bank, "bank chunk reads back identical");

  std::vector<std::vector<HostMidiEvent>> third(20);
  third[0] = {Note(0, 0x90, 48, 100), Note(0, 0x90, 67, 100)};
  third[10] = {Note(0, 0x80, 48, 0), Note(0, 0x80, 67, 0)};
  Play(host, 20, false, third, &audio);

  bool finite = true;
  double peak = 0.0;
  for (float s : audio) {
    if (!std::isfinite(s)) finite = false;
    peak = std::fmax(peak, std::fabs(static_cast<double>(s)));
  }
  Check(finite, "all samples finite");
  std::printf("rendered %zu frames, peak %.6f\n", audio.size() / 2, peak);
  Check(host.wantMidiRequests >= 60, "audioMasterWantMidi before every block");

  host.Close();
  Check(host.Effect() == nullptr, "closed and unloaded");

  Check(WriteFile(out + ".raw", audio.data(), audio.size() * sizeof(float)) &&
            WriteFile(out + ".bank", bank.data(), bank.size()) &&
            WriteFile(out + ".program", program.data(), program.size()),
        "session files written to " + out + ".*");
  return Finish();
}

int Compare(const std::string& a, const std::string& b, double tolerance) {
  std::vector<uint8_t> ra, rb;
  if (!ReadFile(a + ".raw", &ra) || !ReadFile(b + ".raw", &rb)) {
    Check(false, "both sessions' audio present");
    return Finish();
  }
  Check(ra.size() == rb.size() && ra.size() % sizeof(float) == 0 && !ra.empty(),
        "same length: " + std::to_string(ra.size() / 8) + " and " + std::to_string(rb.size() / 8) + " frames");
  if (ra.size() == rb.size()) {
    const size_t n = ra.size() / sizeof(float);
    std::vector<float> fa(n), fb(n);
    std::memcpy(fa.data(), ra.data(), ra.size());
    std::memcpy(fb.data(), rb.data(), rb.size());
    double worst = 0.0;
    size_t worstAt = 0, differing = 0;
    for (size_t i = 0; i < n; ++i) {
      const double d = std::fabs(static_cast<double>(fa[i]) - static_cast<double>(fb[i]));
      if (d > 0.0 || std::isnan(d)) ++differing;
      if (d > worst || std::isnan(d)) {
        worst = std::isnan(d) ? INFINITY : d;
        worstAt = i;
      }
    }
    char line[160];
    std::snprintf(line, sizeof(line), "audio within %g (largest difference %g at frame %zu, %zu samples differ)",
                  tolerance, worst, worstAt / 2, differing);
    Check(worst <= tolerance, line);
  }
  for (const char* kind : {".bank", ".program"}) {
    std::vector<uint8_t> ca, cb;
    const bool read = ReadFile(a + kind, &ca) && ReadFile(b + kind, &cb);
    Check(read && ca == cb, std::string(kind + 1) + " chunks identical");
  }
  return Finish();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::string(argv[1]) == "--compare") {
    const double tolerance = argc >= 5 ? std::atof(argv[4]) : 1e-6;
    return Compare(argv[2], argv[3], tolerance);
  }
  if (argc != 3) {
    std::fprintf(stderr,
                 "usage: quarvi-session-host PLUGIN OUT\n"
                 "       quarvi-session-host --compare A B [TOLERANCE]\n");
    return 2;
  }
  return RunSession(argv[1], argv[2]);
}
