#pragma once
#include <cstddef>
#include <string>
#include <vector>

enum class ParamKind : int { None = 0, Bool = 1, Int = 2, Enum = 3, Double = 4 };

// Display routine installed by the instrument: (plain value, 32-byte output).
typedef void (*ParamFormatter)(double value, char* out);

// One automatable value. Stored in plain units, shown to the host normalized
// to 0..1 through value = min + (max - min) * normalized^shape.
class IPlugParam {
 public:
  static constexpr int kTextSize = 32;  // 31 characters + terminator

  struct ValueText {
    int value;
    char text[kTextSize];
  };

  ParamFormatter formatter = nullptr;
  ParamKind kind = ParamKind::None;
  double value = 0.0;
  double min = 0.0;
  double max = 1.0;
  double step = 1.0;
  double shape = 1.0;
  double defaultValue = 0.0;
  int displayPrecision = 0;
  char name[kTextSize] = {0};
  char label[kTextSize] = {0};
  std::vector<ValueText> valueTexts;

  // Setup
  void SetupDouble(const char* name, double defaultValue, double min, double max, double step,
                   double shape);
  void SetupInt(const char* name, int defaultValue, int min, int max);
  void SetupEnum(const char* name, int defaultValue, int count, const char* const* texts);
  void SetupBool(const char* name, bool defaultValue);
  void AddValueText(int value, const char* text);

  // Value access. A NaN from the host never reaches value: SetPlain and
  // SetFromNormalized store min for NaN (and for -inf), max for +inf.
  void SetPlain(double v);
  double FromNormalized(double x) const;
  double ToNormalized(double v) const;
  double ToNormalized() const { return ToNormalized(value); }
  void SetFromNormalized(double x);

  int ValueTextCount() const { return static_cast<int>(valueTexts.size()); }
  const char* ValueText(int v) const;  // "" when no entry matches
  bool FindValueText(const char* text, int* v) const;

  // Display text of v (plain or normalized); out holds at least kTextSize bytes.
  void FormatValue(double v, bool isNormalized, char* out, bool useValueTexts = true) const;
  const char* LabelForHost() const;

  // Host text to plain value (before clamping); false when a value text does not match.
  bool ValueFromText(const char* text, double* v) const;
};

// Copies at most size-1 bytes and always terminates. Texts are UTF-8: a
// character that does not fit whole is left out, never cut in two (a name
// cut inside a character would go into every file it is saved to).
void CopyText(char* dst, const char* src, int size);

// How many of the first length bytes of text to keep so that at most
// maxBytes remain and no UTF-8 character is split.
size_t Utf8PrefixLength(const char* text, size_t length, size_t maxBytes);

// The leading number of text as atof reads it in the "C" locale (white space,
// sign, digits, '.', exponent, hex, inf, nan; unparsable text gives 0), with
// '.' as the decimal point whatever the process locale is.
double ParseNumberC(const char* text);
