// What a careless or hostile host may send: normalized values outside 0..1,
// NaN and infinities through setParameter, garbage text through
// effString2Parameter, and indices outside every range. Nothing may crash,
// every stored value stays within its parameter's range, and every text the
// plug-in hands back stays terminated and printable.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "LoaderChecks.h"
#include "Quarvi.h"

namespace {

struct Host {
  AEffect* e = CreateCheckedInstance();
  Quarvi* q = e ? static_cast<Quarvi*>(static_cast<IPlugVST*>(e->object)) : nullptr;
  ~Host() { CloseCheckedInstance(e); }
  VstIntPtr Call(VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f) {
    return e->dispatcher(e, op, index, value, ptr, opt);
  }
};

bool PrintableText(const char* s) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p; ++p) {
    if (*p < 0x20 || *p == 0x7F) return false;
  }
  return true;
}

// The stored value of parameter i lies within its range, the host reads a
// normalized value within 0..1, and its display is a printable text of at
// most 31 characters.
::testing::AssertionResult Sane(Host& h, int i) {
  const IPlugParam* p = h.q->GetParam(i);
  if (!(p->value >= p->min && p->value <= p->max)) {
    return ::testing::AssertionFailure() << p->name << " holds " << p->value;
  }
  const float n = h.e->getParameter(h.e, i);
  if (!(n >= 0.0f && n <= 1.0f)) return ::testing::AssertionFailure() << p->name << " reads back as " << n;
  char text[256];
  std::memset(text, 0x55, sizeof(text));
  h.Call(effGetParamDisplay, i, 0, text);
  const void* end = std::memchr(text, 0, IPlugParam::kTextSize);
  if (!end) return ::testing::AssertionFailure() << p->name << ": display not terminated within 32 bytes";
  if (!PrintableText(text)) return ::testing::AssertionFailure() << p->name << ": display \"" << text << "\"";
  return ::testing::AssertionSuccess();
}

TEST(BadHostValues, NormalizedValuesOutsideTheRangeNaNAndInfinitiesAreHeldInRange) {
  Host h;
  ASSERT_NE(h.q, nullptr);
  const float kInf = std::numeric_limits<float>::infinity();
  const float values[] = {-1.0f,  2.0f,  -0.0f, 1.0000001f, -1e-45f, 1e-45f, std::nanf(""), -std::nanf(""),
                          kInf,   -kInf, std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                          1e30f, 0.5f};
  for (int i = 0; i < h.q->NParams(); ++i) {
    for (float v : values) {
      h.e->setParameter(h.e, i, v);
      EXPECT_TRUE(Sane(h, i)) << "after setParameter(" << i << ", " << v << ")";
    }
  }
  // The instance still plays.
  std::string why;
  EXPECT_TRUE(CheckInstance(h.e, &why)) << why;
}

TEST(BadHostValues, GarbageTextLeavesEveryValueInRange) {
  Host h;
  ASSERT_NE(h.q, nullptr);
  const std::string longText(4000, '9');
  const std::vector<std::string> texts = {
      "", " ", "abc", "nan", "-nan", "NaN", "inf", "-inf", "infinity", "1e308", "-1e308", "1e999", "-1e999",
      "0x1p1023", "1e-320", "-0", "12abc", "--5", "+", ".", "e5", "\xff\xfe\x80", "On", "Off", "Ring", "LFO1+",
      "1/32", "-96 dB", "50%", "2147483648", "-2147483649", "9223372036854775808", longText, "\t\n\r",
  };
  for (int i = 0; i < h.q->NParams(); ++i) {
    for (const std::string& t : texts) {
      std::vector<char> buffer(t.begin(), t.end());
      buffer.push_back(0);
      h.Call(effString2Parameter, i, 0, buffer.data());
      EXPECT_TRUE(Sane(h, i)) << "after effString2Parameter(" << i << ", \"" << t.substr(0, 20) << "\")";
    }
  }
  std::string why;
  EXPECT_TRUE(CheckInstance(h.e, &why)) << why;
}

TEST(BadHostValues, IndicesOutsideEveryRangeChangeNothing) {
  Host h;
  ASSERT_NE(h.q, nullptr);
  std::vector<double> before;
  for (int i = 0; i < h.q->NParams(); ++i) before.push_back(h.q->GetParam(i)->value);
  const VstInt32 bad[] = {-1, INT_MIN, h.q->NParams(), 1000, INT_MAX};
  const VstIntPtr badValues[] = {-1, INT_MIN, static_cast<VstIntPtr>(static_cast<int64_t>(INT_MAX) + 1),
                                 h.q->NParams(), 1000};

  // Opcodes that take a parameter, program or pin index, each with indices
  // just outside and far outside its range. Texts must be left alone,
  // requests refused.
  struct Indexed {
    VstInt32 op;
    int count;
    bool writesText;
    bool refuses;
  };
  const Indexed indexed[] = {
      {effGetParamLabel, h.q->NParams(), true, false},      {effGetParamDisplay, h.q->NParams(), true, false},
      {effGetParamName, h.q->NParams(), true, false},       {effString2Parameter, h.q->NParams(), false, true},
      {effCanBeAutomated, h.q->NParams(), false, false},    {effGetParameterProperties, h.q->NParams(), false, true},
      {effGetProgramNameIndexed, h.q->NPresets(), false, true},
      {effGetInputProperties, 0, false, true},              {effGetOutputProperties, 2, false, true},
  };
  for (const Indexed& x : indexed) {
    const VstInt32 indices[] = {-1, INT_MIN, x.count, x.count + 1, 1000, INT_MAX};
    for (VstInt32 index : indices) {
      alignas(8) char buffer[512];
      std::memset(buffer, 0x55, sizeof(buffer));
      std::strcpy(buffer, "7");  // effString2Parameter reads a text
      const VstIntPtr r = h.Call(x.op, index, 0, buffer);
      if (x.writesText) EXPECT_STREQ(buffer, "7") << "opcode " << x.op << " wrote for index " << index;
      if (x.op == effGetProgramNameIndexed) EXPECT_STREQ(buffer, "") << "program " << index;
      if (x.refuses) EXPECT_EQ(r, 0) << "opcode " << x.op << " index " << index;
    }
  }
  // Program indices come in the value of effSetProgram; the key name record
  // carries its own key and program numbers.
  for (VstIntPtr v : badValues) {
    h.Call(effSetProgram, 0, v);
    EXPECT_EQ(h.Call(effGetProgram), 0) << "effSetProgram(" << v << ")";
    alignas(8) char text[300];
    std::memset(text, 0x55, sizeof(text));
    std::strcpy(text, "7");
    EXPECT_EQ(h.Call(effVendorSpecific, 7, v, text, 0.5f), 0xBEEF);
    EXPECT_STREQ(text, "7") << "display of normalized value for parameter " << v;
    EXPECT_EQ(h.Call(effVendorSpecific, 8, v), 0);
  }
  for (VstInt32 key : bad) {
    MidiKeyName name;
    std::memset(&name, 0, sizeof(name));
    name.thisKeyNumber = key;
    name.thisProgramIndex = key;
    h.Call(effGetMidiKeyName, 0, 0, &name);
    EXPECT_NE(std::memchr(name.keyName, 0, sizeof(name.keyName)), nullptr);
  }
  // getParameter and setParameter outside 0..115.
  for (VstInt32 index : bad) {
    EXPECT_EQ(h.e->getParameter(h.e, index), 0.0f) << index;
    h.e->setParameter(h.e, index, 0.75f);
    h.e->setParameter(h.e, index, std::nanf(""));
  }
  // Chunks asked for by odd indices are program chunks.
  for (VstInt32 index : bad) {
    void* data = nullptr;
    const VstIntPtr n = h.Call(effGetChunk, index, 0, &data);
    ASSERT_GT(n, 0);
    std::vector<uint8_t> copy(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + n);
    EXPECT_EQ(h.Call(effSetChunk, index, n, copy.data()), 1) << index;
  }
  for (int i = 0; i < h.q->NParams(); ++i) {
    EXPECT_EQ(h.q->GetParam(i)->value, before[i]) << h.q->GetParam(i)->name;
  }
  std::string why;
  EXPECT_TRUE(CheckInstance(h.e, &why)) << why;
}

}  // namespace
