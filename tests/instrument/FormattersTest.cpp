#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "Formatters.h"
#include "Tables.h"
#include "VoiceModes.h"

namespace {

std::string Show(ParamFormatter f, double v) {
  char out[IPlugParam::kTextSize];
  std::memset(out, 'x', sizeof(out));
  f(v, out);
  EXPECT_LT(std::strlen(out), sizeof(out));
  return out;
}

}  // namespace

TEST(Formatters, Decibel) {
  EXPECT_EQ(Show(FormatDecibel, 0.5), "-6.0");
  EXPECT_EQ(Show(FormatDecibel, 0.75), "-2.5");
  EXPECT_EQ(Show(FormatDecibel, 0.0), "-oo");
  EXPECT_EQ(Show(FormatDecibel, -0.25), "-oo");
  EXPECT_EQ(Show(FormatDecibel, 1.0), "0.0");
}

TEST(Formatters, PercentAndFmDepth) {
  EXPECT_EQ(Show(FormatPercent, 0.37), "37");
  EXPECT_EQ(Show(FormatPercent, 0.0), "0");
  EXPECT_EQ(Show(FormatPercent, -1.0), "-100");
  EXPECT_EQ(Show(FormatFmDepth, -1.0), "-500");
  EXPECT_EQ(Show(FormatFmDepth, 0.0), "0");
  EXPECT_EQ(Show(FormatFmDepth, 0.25), "125");
}

TEST(Formatters, Send) {
  EXPECT_EQ(Show(FormatSend, 0.5), "1<>2");
  EXPECT_EQ(Show(FormatSend, 0.0), "100>2");
  EXPECT_EQ(Show(FormatSend, 1.0), "100>1");
  EXPECT_EQ(Show(FormatSend, 0.25), "50>2");
  EXPECT_EQ(Show(FormatSend, 0.75), "50>1");
}

TEST(Formatters, Pan) {
  EXPECT_EQ(Show(FormatPan, 0.5), "Center");
  EXPECT_EQ(Show(FormatPan, 0.0), "1.00 L");
  EXPECT_EQ(Show(FormatPan, 1.0), "1.00 R");
  EXPECT_EQ(Show(FormatPan, 0.4), "0.20 L");
}

TEST(Formatters, FormantFrequencyFollowsTheEngine) {
  EXPECT_EQ(Show(FormatFormantFrequency, 0.4), "143");  // pitch 6349
  EXPECT_EQ(Show(FormatFormantFrequency, 0.6), "601");
  EXPECT_EQ(Show(FormatFormantFrequency, 0.7), "1230");
  EXPECT_EQ(Show(FormatFormantFrequency, 0.0), "8");
  EXPECT_EQ(Show(FormatFormantFrequency, 1.0), "10552");  // pitch 15873
  EXPECT_EQ(Show(FormatFormantFrequency, 0.4), std::to_string(int(NoteFrequency(6349))));
}

TEST(Formatters, VoicesFromTheVoiceTables) {
  EXPECT_EQ(Show(FormatVoices, 0), "1");
  EXPECT_EQ(Show(FormatVoices, 31), "64");
  EXPECT_EQ(Show(FormatVoices, 15.9), "16");  // truncated index
  EXPECT_EQ(Show(FormatUnison, 31), "Unison: 8 --- Voices: 8");
  EXPECT_EQ(Show(FormatUnison, 12), "Unison: 3 --- Voices: 21");
  EXPECT_EQ(Show(FormatUnison, 0), "Unison: 2 --- Voices: 1");
  for (int k = 0; k < 32; ++k) {
    EXPECT_EQ(Show(FormatVoices, k), std::to_string(VoiceModes::PolyCount(k, false)));
  }
}

TEST(Formatters, LfoSyncNames) {
  EXPECT_EQ(Show(FormatLfoSync, 0.0), "8/1");
  EXPECT_EQ(Show(FormatLfoSync, 100.0), "1/32");
  // Knob position 0.6 (v = 100 * 0.6^4) is index 11.
  EXPECT_EQ(Show(FormatLfoSync, 100.0 * 0.6 * 0.6 * 0.6 * 0.6), "1/4");
  // Index halves round away from zero: position 0.5/19 lands on index 1.
  const double n = 0.5 / 19.0 + 1e-12;
  EXPECT_EQ(Show(FormatLfoSync, 100.0 * n * n * n * n), "4/1.");
}

TEST(Formatters, ValuesOutsideTheRangeStayInsideTheText) {
  const double odd[] = {std::numeric_limits<double>::quiet_NaN(),
                        std::numeric_limits<double>::infinity(),
                        -std::numeric_limits<double>::infinity(),
                        1e300, -1e300, 1e-300, 40.0, -7.0};
  const ParamFormatter all[] = {FormatDecibel, FormatPercent, FormatFmDepth, FormatSend,
                                FormatPan,     FormatFormantFrequency, FormatVoices,
                                FormatUnison,  FormatLfoSync};
  for (ParamFormatter f : all) {
    for (double v : odd) Show(f, v);  // terminated, at most 31 characters, no crash
  }
  EXPECT_EQ(Show(FormatVoices, 40), "64");
  EXPECT_EQ(Show(FormatVoices, -3), "1");
  EXPECT_EQ(Show(FormatLfoSync, -5), "8/1");
  EXPECT_EQ(Show(FormatFormantFrequency, 5.0), "19912");
  EXPECT_EQ(Show(FormatFormantFrequency, -5.0), "0");
}

// The numbers must read exactly as printf in the C locale prints them,
// rounding of halfway cases included.
TEST(Formatters, FixedTextMatchesPrintf) {
  ASSERT_NE(std::setlocale(LC_NUMERIC, nullptr), nullptr);
  const char* precisions[] = {"%.0f", "%.1f", "%.2f"};
  for (int decimals = 0; decimals < 3; ++decimals) {
    for (int i = -20000; i <= 20000; ++i) {
      const double values[] = {i / 8.0, i / 1000.0, i * 0.005, i * 0.05, 200.0 * (i / 1000.0) - 100.0};
      for (double v : values) {
        char expected[64], got[IPlugParam::kTextSize];
        std::snprintf(expected, sizeof(expected), precisions[decimals], v);
        WriteFixed(got, v, decimals);
        ASSERT_STREQ(got, expected) << v;
      }
    }
  }
}

TEST(Formatters, DecimalCommaLocaleIsIgnored) {
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "de_DE.utf8")) {
    GTEST_SKIP() << "no decimal-comma locale installed";
  }
  char probe[16];
  std::snprintf(probe, sizeof(probe), "%.1f", 0.5);
  const bool comma = std::strcmp(probe, "0,5") == 0;
  const std::string db = Show(FormatDecibel, 0.5), pan = Show(FormatPan, 0.0);
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_TRUE(comma);
  EXPECT_EQ(db, "-6.0");
  EXPECT_EQ(pan, "1.00 L");
}

TEST(Formatters, TableDisplays) {
  EXPECT_EQ(FormatterFor(ParamDisplay::Default), nullptr);
  EXPECT_EQ(FormatterFor(ParamDisplay::Voices), &FormatVoices);
  EXPECT_EQ(FormatterFor(ParamDisplay::FormantFrequency), &FormatFormantFrequency);
}
