#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "IPlugParam.h"

namespace {

std::string Show(const IPlugParam& p, double v, bool normalized = false, bool texts = true) {
  char out[IPlugParam::kTextSize];
  p.FormatValue(v, normalized, out, texts);
  return out;
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

}  // namespace

TEST(IPlugParamSetup, FreshParameterDefaults) {
  IPlugParam p;
  EXPECT_EQ(p.kind, ParamKind::None);
  EXPECT_EQ(p.value, 0.0);
  EXPECT_EQ(p.min, 0.0);
  EXPECT_EQ(p.max, 1.0);
  EXPECT_EQ(p.step, 1.0);
  EXPECT_EQ(p.shape, 1.0);
  EXPECT_EQ(p.displayPrecision, 0);
  EXPECT_STREQ(p.name, "");
  EXPECT_EQ(p.formatter, nullptr);
}

TEST(IPlugParamSetup, DoubleStoresFieldsAndWidensNarrowRange) {
  IPlugParam p;
  p.SetupDouble("Cutoff", 5.0, 2.0, 2.5, 1.0, 2.0);
  EXPECT_EQ(p.kind, ParamKind::Double);
  EXPECT_STREQ(p.name, "Cutoff");
  EXPECT_EQ(p.max, 3.0);  // min + step
  EXPECT_EQ(p.value, 5.0);  // default is not clamped at setup
  EXPECT_EQ(p.defaultValue, 5.0);
  EXPECT_EQ(p.shape, 2.0);
}

TEST(IPlugParamSetup, ZeroShapeKeepsPreviousShape) {
  IPlugParam p;
  p.SetupDouble("A", 0, 0, 1, 0.1, 3.0);
  p.SetupDouble("A", 0, 0, 1, 0.1, 0.0);
  EXPECT_EQ(p.shape, 3.0);
  IPlugParam q;
  q.SetupDouble("B", 0, 0, 1, 0.1, 0.0);
  EXPECT_EQ(q.shape, 1.0);
}

TEST(IPlugParamSetup, DisplayPrecisionFromStep) {
  const struct { double step; int precision; } cases[] = {
      {1.0, 0}, {0.5, 1}, {0.01, 2}, {0.001, 3}, {0.3333, 6}, {2.0, 0}};
  for (const auto& c : cases) {
    IPlugParam p;
    p.SetupDouble("x", 0, 0, 10, c.step, 1.0);
    EXPECT_EQ(p.displayPrecision, c.precision) << c.step;
  }
}

TEST(IPlugParamSetup, EarlierKindIsKept) {
  IPlugParam p;
  p.SetupBool("B", true);
  EXPECT_EQ(p.kind, ParamKind::Bool);
  EXPECT_EQ(p.value, 1.0);
  p.SetupDouble("B", 0, 0, 1, 1, 1);
  EXPECT_EQ(p.kind, ParamKind::Bool);
  IPlugParam i;
  i.SetupInt("I", 3, -24, 24);
  EXPECT_EQ(i.kind, ParamKind::Int);
  EXPECT_EQ(i.step, 1.0);
}

TEST(IPlugParamSetup, EnumAddsTextsInOrderAndLabelIsEmpty) {
  const char* items[] = {"Fixed", "Partial", "Ring"};
  IPlugParam p;
  std::strcpy(p.label, "Hz");
  p.SetupEnum("Mode", 1, 3, items);
  EXPECT_EQ(p.kind, ParamKind::Enum);
  EXPECT_EQ(p.max, 2.0);
  EXPECT_EQ(p.ValueTextCount(), 3);
  EXPECT_STREQ(p.ValueText(2), "Ring");
  EXPECT_STREQ(p.ValueText(7), "");
  EXPECT_STREQ(p.label, "");
}

TEST(IPlugParamSetup, LongTextsAreCutTo31Characters) {
  IPlugParam p;
  const std::string longName(40, 'n');
  p.SetupDouble(longName.c_str(), 0, 0, 1, 1, 1);
  EXPECT_EQ(std::string(p.name), std::string(31, 'n'));
  p.AddValueText(0, longName.c_str());
  EXPECT_EQ(std::string(p.ValueText(0)), std::string(31, 'n'));
}

TEST(IPlugParamValue, SetPlainClamps) {
  IPlugParam p;
  p.SetupDouble("x", 0, -1, 1, 0.01, 1);
  p.SetPlain(5);
  EXPECT_EQ(p.value, 1.0);
  p.SetPlain(-5);
  EXPECT_EQ(p.value, -1.0);
  p.SetPlain(0.25);
  EXPECT_EQ(p.value, 0.25);
}

TEST(IPlugParamValue, NonNumbersNeverReachTheValue) {
  IPlugParam p;
  p.SetupDouble("x", 0, -1, 1, 0.01, 1);
  p.SetPlain(kNaN);
  EXPECT_EQ(p.value, -1.0);
  p.SetPlain(kInf);
  EXPECT_EQ(p.value, 1.0);
  p.SetPlain(-kInf);
  EXPECT_EQ(p.value, -1.0);

  IPlugParam i;
  i.SetupInt("i", 0, -24, 24);
  IPlugParam s;
  s.SetupDouble("s", 0, 0, 10, 0.1, 0.5);  // fractional shape: pow of negative x is NaN
  for (IPlugParam* q : {&p, &i, &s}) {
    q->SetFromNormalized(kNaN);
    EXPECT_EQ(q->value, q->min);
    q->SetFromNormalized(kInf);
    EXPECT_EQ(q->value, q->max);
    q->SetFromNormalized(-kInf);
    EXPECT_FALSE(std::isnan(q->value));
    EXPECT_EQ(q->value, q->min);
  }
  s.SetFromNormalized(-0.5);
  EXPECT_EQ(s.value, 0.0);
  EXPECT_EQ(p.ToNormalized(kNaN), 0.0);
}

TEST(IPlugParamValue, IntegerKindsSnapToStep) {
  IPlugParam p;
  p.SetupInt("Semis", 0, -24, 24);
  p.SetFromNormalized(1.0);
  EXPECT_EQ(p.value, 24.0);
  p.SetFromNormalized(0.5);
  EXPECT_EQ(p.value, 0.0);
  p.SetFromNormalized(0.51);
  EXPECT_EQ(p.value, 0.0);
  p.SetFromNormalized(0.0);
  EXPECT_EQ(p.value, -24.0);
  // -24 + 48 * 0.5104167 = 0.5000: half rounds up
  p.SetFromNormalized(24.5 / 48.0);
  EXPECT_EQ(p.value, 1.0);
}

TEST(IPlugParamValue, DoubleKindKeepsUnroundedValuesAndHasNoLowerClamp) {
  IPlugParam p;
  p.SetupDouble("x", 0, 0, 1, 0.01, 1);
  p.SetFromNormalized(0.123456);
  EXPECT_EQ(p.value, 0.123456);
  p.SetFromNormalized(1.5);
  EXPECT_EQ(p.value, 1.0);
  p.SetFromNormalized(-0.25);  // callers pass 0..1; no lower clamp here
  EXPECT_EQ(p.value, -0.25);
}

TEST(IPlugParamValue, ShapedMappingRoundTrips) {
  IPlugParam p;
  p.SetupDouble("t", 0, 0, 10, 0.001, 3.0);
  EXPECT_DOUBLE_EQ(p.FromNormalized(0.5), 10 * 0.125);
  EXPECT_DOUBLE_EQ(p.ToNormalized(1.25), 0.5);
  EXPECT_EQ(p.ToNormalized(11.0), 1.0);
  EXPECT_EQ(p.ToNormalized(-1.0), 0.0);
  p.value = 1.25;
  EXPECT_DOUBLE_EQ(p.ToNormalized(), 0.5);
}

TEST(IPlugParamValue, FindValueTextIsExact) {
  IPlugParam p;
  p.SetupBool("B", false);
  int v = -7;
  EXPECT_FALSE(p.FindValueText("On", &v));
  EXPECT_EQ(v, -7);
  EXPECT_TRUE(p.FindValueText("on", &v));
  EXPECT_EQ(v, 1);
  p.AddValueText(5, "on");  // duplicates are kept; the first wins
  EXPECT_TRUE(p.FindValueText("on", &v));
  EXPECT_EQ(v, 1);
}

TEST(IPlugParamDisplay, Numbers) {
  IPlugParam p;
  p.SetupDouble("x", 0, -10, 10, 0.01, 1);
  EXPECT_EQ(Show(p, 0.5), "0.50");
  EXPECT_EQ(Show(p, -0.005), "-0.01");  // same rounding as printf: -0.005 is slightly above
  IPlugParam q;
  q.SetupDouble("y", 0, -10, 10, 1.0, 1);
  EXPECT_EQ(Show(q, 2.9), "2");
  EXPECT_EQ(Show(q, -2.9), "-2");
  EXPECT_EQ(Show(q, 1e12), "2147483647");  // saturates instead of undefined conversion
  EXPECT_EQ(Show(q, kNaN), "0");
  // Normalized input is mapped but not snapped to the step.
  IPlugParam r;
  r.SetupDouble("z", 0, 0, 1, 0.001, 1);
  EXPECT_EQ(Show(r, 0.1234, true), "0.123");
}

TEST(IPlugParamDisplay, PrintfRoundingIsKept) {
  IPlugParam p;
  p.SetupDouble("x", 0, 0, 10, 0.01, 1);
  for (double v : {0.125, 0.135, 1.005, 2.675, 9.995, 0.0049999}) {
    char expect[64];
    std::snprintf(expect, sizeof(expect), "%.*f", 2, v);
    EXPECT_EQ(Show(p, v), expect) << v;
  }
}

TEST(IPlugParamDisplay, ValueTexts) {
  IPlugParam b;
  b.SetupBool("B", false);
  EXPECT_EQ(Show(b, 0), "off");
  EXPECT_EQ(Show(b, 1), "on");
  EXPECT_EQ(Show(b, 0, false, false), "0");
  EXPECT_EQ(Show(b, 1, false, false), "1");
  EXPECT_EQ(Show(b, 1.0, true), "on");

  const char* items[] = {"A", "", "C"};
  IPlugParam e;
  e.SetupEnum("E", 0, 3, items);
  e.AddValueText(1, "late duplicate");
  EXPECT_EQ(Show(e, 7), "7");   // no entry: number
  EXPECT_EQ(Show(e, 1), "1");   // first entry has empty text: number, duplicate not consulted
  EXPECT_EQ(Show(e, 2.9), "C");  // truncated toward zero
  EXPECT_EQ(Show(e, -0.5), "A");
}

TEST(IPlugParamDisplay, FormatterReplacesEverything) {
  IPlugParam p;
  p.SetupBool("B", false);
  p.formatter = [](double v, char* out) { std::snprintf(out, 32, "f%g", v); };
  EXPECT_EQ(Show(p, 1), "f1");
  EXPECT_EQ(Show(p, 0.5, true), "f0.5");
}

TEST(IPlugParamDisplay, LabelForHost) {
  IPlugParam p;
  p.SetupDouble("x", 0, 0, 1, 1, 1);
  std::strcpy(p.label, "dB");
  EXPECT_STREQ(p.LabelForHost(), "dB");
  p.AddValueText(0, "zero");
  p.value = 0;
  EXPECT_STREQ(p.LabelForHost(), "");
  p.value = 1;
  EXPECT_STREQ(p.LabelForHost(), "dB");
}

TEST(IPlugParamText, HostTextToValue) {
  IPlugParam p;
  p.SetupDouble("x", 0, -100, 100, 0.01, 1);
  double v = -1;
  const struct { const char* text; double value; } cases[] = {
      {"12.5", 12.5},   {"  -3.25dB", -3.25}, {"+7", 7},      {"abc", 0},     {"", 0},
      {"1e2", 100},     {".5", 0.5},          {"5.", 5},      {"0x10", 16},   {"--1", 0},
      {"1e400", HUGE_VAL}, {"-1e400", -HUGE_VAL}, {"1e-400", 0}, {"0.000001e-400", 0},
      {"123456789012345678901234567890e-10", 12345678901234567890.0}, {"\t\n4", 4}};
  for (const auto& c : cases) {
    ASSERT_TRUE(p.ValueFromText(c.text, &v));
    EXPECT_DOUBLE_EQ(v, c.value) << c.text;
  }
  ASSERT_TRUE(p.ValueFromText("nan", &v));
  EXPECT_TRUE(std::isnan(v));
  p.SetPlain(v);
  EXPECT_EQ(p.value, -100.0);
}

TEST(IPlugParamText, ValueTextsMustMatch) {
  IPlugParam p;
  p.SetupBool("B", false);
  double v = 42;
  EXPECT_FALSE(p.ValueFromText("1", &v));
  EXPECT_EQ(v, 42);
  EXPECT_TRUE(p.ValueFromText("on", &v));
  EXPECT_EQ(v, 1);
}

// A comma-decimal locale must change neither parsing nor display.
TEST(IPlugParamText, IndependentOfProcessLocale) {
  const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de-DE", "German_Germany.1252"};
  std::string old = std::setlocale(LC_NUMERIC, nullptr);
  const char* set = nullptr;
  for (const char* n : names) {
    if (std::setlocale(LC_NUMERIC, n)) {
      set = n;
      break;
    }
  }
  if (!set) GTEST_SKIP() << "no comma-decimal locale installed";
  IPlugParam p;
  p.SetupDouble("x", 0, -10, 10, 0.01, 1);
  double v = 0;
  p.ValueFromText("1.75", &v);
  const std::string shown = Show(p, 0.5);
  std::setlocale(LC_NUMERIC, old.c_str());
  EXPECT_EQ(v, 1.75);
  EXPECT_EQ(shown, "0.50");
}

// Texts copied into fixed fields (program names into files and host buffers,
// the program display) lose a character that does not fit whole, never half
// of one; 8-bit text that is not UTF-8 is cut where it is.
TEST(CopyText, CutsBetweenCharacters) {
  struct Case { const char* src; int size; const char* out; };
  const Case cases[] = {
      {"Lead", 8, "Lead"},
      {"Lead", 3, "Le"},
      {"a\xC3\xA4", 3, "a"},                          // a + half of an ä
      {"a\xC3\xA4", 4, "a\xC3\xA4"},
      {"\xCE\xA9\xCE\xA9", 4, "\xCE\xA9"},            // ΩΩ in 3 bytes
      {"\xE2\x82\xAC\xE2\x82\xAC", 6, "\xE2\x82\xAC"},  // €€ in 5 bytes
      {"x\xF0\x9F\x8E\xB9", 4, "x"},                  // a 4-byte character
      {"ab\xB0\xB0\xB0\xB0", 4, "ab\xB0"},            // Latin-1 degrees: not UTF-8
      {"", 1, ""},
  };
  for (const Case& c : cases) {
    char out[16];
    std::memset(out, 'X', sizeof(out));
    CopyText(out, c.src, c.size);
    EXPECT_STREQ(out, c.out) << c.src << " " << c.size;
  }
}
