#pragma once
// Plays a song through a loaded plug-in, block by block, the way a sequencer
// does in an offline bounce: events of each block go in through
// effProcessEvents with their frame offsets, the transport is published
// through audioMasterGetTime, and the audio comes back from processReplacing.

#include <cstdint>
#include <functional>
#include <string>

#include "Smf.h"
#include "VstHost.h"

struct RenderOptions {
  double sampleRate = 44100.0;
  int blockSize = 512;
  double tailSeconds = 2.0;     // rendered after the last event, for releases
  double maxSeconds = 3600.0;   // longer songs are refused
};

struct RenderStats {
  int64_t frames = 0;
  double peak[2] = {0.0, 0.0};
  double sumSquares[2] = {0.0, 0.0};
  int64_t samplesOverFullScale = 0;  // |x| > 1
  int64_t eventsSent = 0;

  double Peak() const { return peak[0] > peak[1] ? peak[0] : peak[1]; }
  double Rms() const;  // both channels together
};

// Receives interleaved stereo frames; false stops the render (write error).
using BlockSink = std::function<bool(const float* interleaved, int frames)>;
// Called after each block with the part done, 0..1.
using ProgressSink = std::function<void(double done)>;

// The host must be started (sample rate and block size given to the plug-in
// as in options). On failure *error holds one line.
bool RenderSong(VstHost& host, const Song& song, const RenderOptions& options, const BlockSink& sink,
                const ProgressSink& progress, RenderStats* stats, std::string* error);

// Converts a level to decibels relative to full scale (-inf for 0).
double ToDbfs(double level);
