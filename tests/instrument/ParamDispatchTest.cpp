#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "InstrumentFixture.h"
#include "ParamDispatch.h"

// Each index is handled by the row written for its block's first instance:
// the names agree except for the block's digit.
TEST(ParamDispatch, TablesLineUpWithTheParameterTable) {
  for (int i = 0; i < kParamTableSize; ++i) {
    const char* row = DispatchRowName(i);
    ASSERT_NE(row, nullptr) << i;
    const std::string a = row, b = kParamTable[i].name;
    ASSERT_EQ(a.size(), b.size()) << a << " / " << b;
    int differences = 0;
    for (size_t k = 0; k < a.size(); ++k) {
      if (a[k] != b[k]) {
        ++differences;
        EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(a[k])) &&
                    std::isdigit(static_cast<unsigned char>(b[k])))
            << a << " / " << b;
      }
    }
    EXPECT_LE(differences, 1) << a << " / " << b;
  }
  EXPECT_EQ(DispatchRowName(-1), nullptr);
  EXPECT_EQ(DispatchRowName(116), nullptr);
}

TEST(ParamDispatch, VolumeAndUnisonCompensation) {
  Instrument in;
  in.Defaults();
  in.Set("Volume", 0.5);
  EXPECT_EQ(in.q->Volume(), 1.0);
  EXPECT_EQ(in.q->OutputGain(), 1.0);
  in.Set("Unison", 1);  // "Voices" 0: two unison voices
  EXPECT_EQ(in.q->Pool().unisonCount, 2);
  EXPECT_DOUBLE_EQ(in.q->OutputGain(), 1.0 / std::sqrt(2.0));
  in.Set("Volume", 0.25);
  EXPECT_DOUBLE_EQ(in.q->OutputGain(), 0.5 / std::sqrt(2.0));
  in.Set("Unison", 0);
  EXPECT_EQ(in.q->OutputGain(), 0.5);
  in.Set("SoftClip", 1);
  EXPECT_TRUE(in.q->SoftClip());
}

TEST(ParamDispatch, PitchParameters) {
  Instrument in;
  in.Defaults();
  in.Set("PB Range", -12);
  for (int v : {0, 37, 63}) {
    EXPECT_EQ(in.V(v).osc[0].pitchBendRange, -1536);
    EXPECT_EQ(in.V(v).osc[1].pitchBendRange, -1536);
  }
  in.Set("PB Range", 0);
  EXPECT_EQ(in.V(5).osc[1].pitchBendRange, 0);

  in.Set("Tune 1", 64);
  EXPECT_EQ(in.V(0).osc[0].pitchOffset, 64);  // half a semitone
  EXPECT_EQ(in.V(0).osc[1].pitchOffset, 0);
  in.Set("Pitch 1", -24);
  in.Set("Tune 1", -64);
  EXPECT_EQ(in.V(63).osc[0].pitchOffset, -3136);
  EXPECT_EQ(in.V(63).osc[0].pitchSemitones, -24);
  EXPECT_EQ(in.V(63).osc[0].tuneSteps, -64);
  in.Set("Pitch 2", 7);
  EXPECT_EQ(in.V(1).osc[1].pitchOffset, 896);

  in.Set("FM1Amt 2", -1);
  EXPECT_EQ(in.V(2).osc[1].fm1Amount, -7681);
  EXPECT_EQ(in.V(2).osc[0].fm1Amount, 0);
  in.Set("FM2Src 1", 12);  // Wheel
  EXPECT_EQ(in.V(2).osc[0].fm2Source, in.V(2).SourceFor(12));
  in.Set("Portamnt", 2.5);
  EXPECT_EQ(in.V(40).portamentoTime, 2.5);
  in.Set("Free Run", 0);
  EXPECT_FALSE(in.V(40).freeRun);
}

TEST(ParamDispatch, FormantParameters) {
  Instrument in;
  in.Defaults();
  in.q->TakeDisplayDirty();
  in.Set("Send1 F2", 1.0);
  for (int v = 0; v < 64; ++v) EXPECT_EQ(in.V(v).osc[0].formant[1].send, 0.0);  // all to bus 1
  EXPECT_EQ(in.V(0).osc[1].formant[1].send, 0.5);
  EXPECT_FALSE(in.q->TakeDisplayDirty());  // sends are not drawn

  in.Set("Freq F3", 0.4);
  EXPECT_DOUBLE_EQ(in.V(9).osc[0].formant[2].fixedPitch, 15873 * 0.4);
  EXPECT_DOUBLE_EQ(in.V(9).osc[1].formant[2].fixedPitch, 15873 * 0.4);
  EXPECT_TRUE(in.q->TakeDisplayDirty());

  in.Set("Type F2", 2);
  EXPECT_EQ(in.q->DisplayFormantType(1), 2);
  EXPECT_EQ(in.V(3).osc[1].formant[1].type, 2);
  EXPECT_TRUE(in.q->TakeDisplayDirty());

  in.Set("Osc2 F1", 1);
  EXPECT_TRUE(in.V(63).osc[1].formant[0].enabled);
  EXPECT_TRUE(in.V(63).osc[0].formant[0].enabled);   // "Osc1 F1" default on
  EXPECT_FALSE(in.V(63).osc[0].formant[1].enabled);

  in.Set("FM1Am F1", 0.5);
  EXPECT_EQ(in.V(1).osc[0].formant[0].fm1Pitch, 7681 * 0.5);
  EXPECT_EQ(in.V(1).osc[1].formant[0].fm1Ratio, 0.5);
  in.Set("FM2Am F1", -0.25);
  EXPECT_EQ(in.V(1).osc[0].formant[0].fm2Pitch, -0.25);
  EXPECT_EQ(in.V(1).osc[0].formant[0].fm2Ratio, -0.25);
  in.Set("AMSrc F3", 8);
  EXPECT_EQ(in.V(4).osc[1].formant[2].amSource, &in.V(4).velocity);
  in.Set("Vol F2", 0.3);
  EXPECT_EQ(in.V(4).osc[1].formant[1].volume, 0.3);
}

TEST(ParamDispatch, BusesLfosEnvelopes) {
  Instrument in;
  in.Defaults();
  in.Set("Level 2", 0.3);
  EXPECT_EQ(in.V(0).bus[1].level, 0.6);
  EXPECT_EQ(in.V(0).bus[0].level, 1.0);
  in.Set("PanSrc 1", 1);
  EXPECT_EQ(in.V(0).bus[0].panSource, &in.V(0).one);

  in.Set("LFOFrq 2", 100);
  EXPECT_EQ(in.Param("LFOFrq 2").ToNormalized(), 1.0);
  for (int v : {0, 63}) {
    EXPECT_EQ(in.V(v).lfo[1].freePeriod, 10);
    EXPECT_EQ(in.V(v).lfo[1].period, 10);
    EXPECT_EQ(in.V(v).lfo[1].syncIndex, 19);
  }
  in.Set("LFOSyn 3", 1);
  EXPECT_TRUE(in.V(7).lfo[2].sync);
  EXPECT_FALSE(in.V(7).lfo[1].sync);
  in.Set("LFOWav 1", 5);
  EXPECT_EQ(in.V(7).lfo[0].wave, 5);
  in.Set("LFOSrc 2", 12);
  EXPECT_EQ(in.V(7).lfo[1].depthSource, in.V(7).SourceFor(12));

  in.Set("Env 1 S", 0.25);
  EXPECT_EQ(in.V(11).env[0].sustain, 0.25);
  in.Set("Env 3 R", 0.7);
  EXPECT_EQ(in.V(11).env[2].release, 0.7);
  EXPECT_EQ(in.V(11).env[1].release, 0.0);
  in.Set("Env2 Trg", 1);
  EXPECT_TRUE(in.V(11).env[1].single);
  EXPECT_FALSE(in.V(11).env[0].single);

  // A delay running with 5000 blocks left is cut to the new, shorter delay.
  in.Set("Env 2 Dly", 1.0);
  EXPECT_EQ(in.V(20).env[1].delayTicks, 10000);
  in.V(20).env[1].stage = Envelope::kDelay;
  in.V(20).env[1].delayLeft = 5000;
  in.Set("Env 2 Dly", 0.1);
  EXPECT_EQ(in.V(20).env[1].delayTicks, 1);
  EXPECT_EQ(in.V(20).env[1].delayLeft, 1);
}

TEST(ParamDispatch, VoicesChangesOnlyOnANewValidMode) {
  Instrument in;
  in.Defaults();
  in.q->SetSampleRate(44100);
  in.q->ResetProcessing();
  in.q->SetActive(true);
  in.Set("Voices", 7);
  EXPECT_EQ(in.q->Pool().voiceMode, 7);
  EXPECT_EQ(in.q->Pool().polyCount, 8);

  in.q->Pool().NoteOn(60, 100);
  ASSERT_TRUE(in.V(0).active);
  ASSERT_EQ(in.V(0).env[0].stage, Envelope::kDelay);

  in.Set("Voices", 7);  // same value: nothing
  EXPECT_EQ(in.V(0).env[0].stage, Envelope::kDelay);
  in.SetRaw("Voices", 40);  // outside 0..31: nothing
  EXPECT_EQ(in.q->Pool().voiceMode, 7);
  EXPECT_EQ(in.V(0).env[0].stage, Envelope::kDelay);
  in.SetRaw("Voices", std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(in.q->Pool().voiceMode, 7);

  in.Set("Voices", 3);  // a new mode releases everything
  EXPECT_EQ(in.q->Pool().voiceMode, 3);
  EXPECT_EQ(in.q->Pool().activeVoiceCount, 4);
  EXPECT_EQ(in.V(0).env[0].stage, Envelope::kRelease);
}

TEST(ParamDispatch, UnisonLfoPhase) {
  Instrument in;
  in.Defaults();
  in.Set("Unison LFO Phase", 180);
  EXPECT_EQ(in.q->Pool().unisonPhaseSpread, 1.0);
  in.Set("Unison", 1);  // two copies of one lead voice
  EXPECT_EQ(in.V(0).lfo[0].phaseOffset, 0.0);
  EXPECT_EQ(in.V(1).lfo[2].phaseOffset, 0.5);
  in.Set("Unison LFO Phase", 360);
  EXPECT_EQ(in.V(1).lfo[0].phaseOffset, 1.0);
}

// Values no parameter object would hold (a corrupt source, a host writing
// NaN) must not reach an undefined conversion anywhere in the dispatch.
TEST(ParamDispatch, StrayValuesAreHarmless) {
  Instrument in;
  in.Defaults();
  const double stray[] = {std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity(), 1e300, -1e300, 3e9, -3e9};
  for (double x : stray) {
    for (int i = 0; i < kParamTableSize; ++i) {
      const double saved = in.q->GetParam(i)->value;
      in.q->GetParam(i)->value = x;
      in.q->ParamChanged(i);
      in.q->GetParam(i)->value = saved;
      in.q->ParamChanged(i);
    }
  }
  in.SetRaw("FM1Src 1", 40);  // no such source: "Off"
  EXPECT_EQ(*in.V(0).osc[0].fm1Source, 0.0);
  in.SetRaw("AMSrc F1", -3);
  EXPECT_EQ(*in.V(0).osc[0].formant[0].amSource, 0.0);
  in.q->ParamChanged(-1);
  in.q->ParamChanged(116);
}

TEST(ParamDispatch, ActivationPushesEveryParameter) {
  Instrument in;
  // Write values behind the engine's back, then activate.
  in.q->GetParam(Instrument::Index("Tune 2"))->value = -5;
  in.q->GetParam(Instrument::Index("Level 1"))->value = 0.1;
  in.q->SetSampleRate(48000);
  in.q->ResetProcessing();
  in.q->SetActive(true);
  EXPECT_EQ(in.V(30).osc[1].tuneSteps, -5);
  EXPECT_DOUBLE_EQ(in.V(30).bus[0].level, 0.2);
}
