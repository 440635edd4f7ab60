#include "IPlugParam.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

size_t Utf8PrefixLength(const char* text, size_t length, size_t maxBytes) {
  if (length <= maxBytes) return length;
  const auto byte = [text](size_t i) { return static_cast<unsigned char>(text[i]); };
  size_t n = maxBytes;
  if ((byte(n) & 0xC0) != 0x80) return n;  // the first byte left out starts a character
  // Back over at most three continuation bytes to the lead byte; text that
  // is not UTF-8 there (an 8-bit code page) is cut where it is.
  size_t k = n;
  while (k > 0 && n - k < 3 && (byte(k - 1) & 0xC0) == 0x80) --k;
  if (k == 0) return n;
  const unsigned char lead = byte(k - 1);
  const size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return need > 1 && k - 1 + need > n ? k - 1 : n;
}

void CopyText(char* dst, const char* src, int size) {
  if (!dst || size <= 0) return;
  if (!src) {
    dst[0] = '\0';
    return;
  }
  size_t i = 0;
  const size_t room = static_cast<size_t>(size - 1);
  while (i < room && src[i]) ++i;
  if (i == room && src[i]) i = Utf8PrefixLength(src, room + 1, room);
  std::memcpy(dst, src, i);
  dst[i] = '\0';
}

namespace {

// Saturating truncation toward zero; NaN gives 0. A plain cast is undefined
// for values outside the int range, and hosts do send such values.
int TruncToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return INT_MAX;
  if (v <= -2147483648.0) return INT_MIN;
  return static_cast<int>(v);
}

bool FitsInt(double v) { return v > -2147483649.0 && v < 2147483648.0; }

// Writes "%d" / "%.*f" text independent of the process locale: the decimal
// separator is always '.', whatever LC_NUMERIC says. std::to_chars with a
// precision gives the same exactly rounded digits as printf in the C locale.
void WriteNumber(double v, int precision, char* out) {
  char buf[400];
  std::to_chars_result r;
  if (precision <= 0) {
    r = std::to_chars(buf, buf + sizeof(buf) - 1, TruncToInt(v));
  } else {
    r = std::to_chars(buf, buf + sizeof(buf) - 1, v, std::chars_format::fixed, precision);
  }
  if (r.ec != std::errc()) {
    CopyText(out, "0", IPlugParam::kTextSize);
    return;
  }
  *r.ptr = '\0';
  CopyText(out, buf, IPlugParam::kTextSize);
}

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Decides the direction of an out-of-range decimal literal: true when its
// magnitude is too large (overflow), false when it is too small (underflow).
bool DecimalOverflows(const char* first, const char* last) {
  long long digitsBeforePoint = 0;  // significant digits left of the point
  long long leadingFracZeros = 0;   // zeros right of the point before the first non-zero
  bool seenNonZero = false, afterPoint = false;
  const char* p = first;
  for (; p < last; ++p) {
    if (*p == '.') {
      afterPoint = true;
    } else if (IsDigit(*p)) {
      if (*p != '0') seenNonZero = true;
      if (!afterPoint) {
        if (seenNonZero) ++digitsBeforePoint;
      } else if (!seenNonZero) {
        ++leadingFracZeros;
      }
    } else {
      break;
    }
  }
  long long exponent = 0;
  if (p < last && (*p == 'e' || *p == 'E')) {
    ++p;
    bool neg = false;
    if (p < last && (*p == '+' || *p == '-')) neg = *p++ == '-';
    for (; p < last && IsDigit(*p); ++p) {
      if (exponent < 100000000) exponent = exponent * 10 + (*p - '0');
    }
    if (neg) exponent = -exponent;
  }
  const long long magnitude =
      digitsBeforePoint > 0 ? digitsBeforePoint + exponent : exponent - leadingFracZeros;
  return magnitude > 0;
}

}  // namespace

// Reads the leading number of text like the C library's atof does in the "C"
// locale (leading white space, sign, decimal or hexadecimal digits, exponent,
// inf and nan; unparsable text gives 0), but never consults the process locale.
double ParseNumberC(const char* text) {
  if (!text) return 0.0;
  const char* p = text;
  while (IsCSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (*p == '+' || *p == '-') return 0.0;  // a second sign is not a number
  const char* end = p + std::strlen(p);
  double v = 0.0;
  std::from_chars_result r;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') &&
      (IsHexDigit(p[2]) || (p[2] == '.' && IsHexDigit(p[3])))) {
    r = std::from_chars(p + 2, end, v, std::chars_format::hex);
    if (r.ec == std::errc::result_out_of_range) {
      // Hexadecimal overflow and underflow are rare enough: decide by the
      // sign of the binary exponent.
      const char* e = std::find_if(p + 2, r.ptr, [](char c) { return c == 'p' || c == 'P'; });
      v = (e < r.ptr && e[1] == '-') ? 0.0 : HUGE_VAL;
    } else if (r.ec != std::errc()) {
      v = 0.0;  // "0x" alone: the 0 is the number
    }
  } else {
    r = std::from_chars(p, end, v, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
      v = DecimalOverflows(p, r.ptr) ? HUGE_VAL : 0.0;
    } else if (r.ec != std::errc()) {
      v = 0.0;
    }
  }
  return negative ? -v : v;
}

void IPlugParam::SetupDouble(const char* nameText, double defaultVal, double minVal, double maxVal,
                             double stepVal, double shapeVal) {
  if (kind == ParamKind::None) kind = ParamKind::Double;
  CopyText(name, nameText, kTextSize);
  label[0] = '\0';
  min = minVal;
  value = defaultVal;
  defaultValue = defaultVal;
  step = stepVal;
  max = std::max(minVal + stepVal, maxVal);

  displayPrecision = 0;
  double s = stepVal;
  // A non-finite step never becomes whole; the limit of 6 ends the loop.
  while (displayPrecision < 6 && s != std::floor(s)) {
    ++displayPrecision;
    s *= 10.0;
  }
  if (shapeVal != 0.0) shape = shapeVal;
}

void IPlugParam::SetupInt(const char* nameText, int defaultVal, int minVal, int maxVal) {
  if (kind == ParamKind::None) kind = ParamKind::Int;
  SetupDouble(nameText, defaultVal, minVal, maxVal, 1.0, 1.0);
}

void IPlugParam::SetupEnum(const char* nameText, int defaultVal, int count, const char* const* texts) {
  if (kind == ParamKind::None) kind = ParamKind::Enum;
  SetupDouble(nameText, defaultVal, 0.0, count - 1.0, 1.0, 1.0);
  for (int i = 0; i < count; ++i) AddValueText(i, texts ? texts[i] : "");
}

void IPlugParam::SetupBool(const char* nameText, bool defaultVal) {
  if (kind == ParamKind::None) kind = ParamKind::Bool;
  SetupDouble(nameText, defaultVal ? 1.0 : 0.0, 0.0, 1.0, 1.0, 1.0);
  AddValueText(0, "off");
  AddValueText(1, "on");
}

void IPlugParam::AddValueText(int v, const char* text) {
  struct ValueText entry;
  entry.value = v;
  CopyText(entry.text, text, kTextSize);
  valueTexts.push_back(entry);
}

// Hosts may send garbage: a NaN must never end up in value, so it counts as
// the lower bound; infinities clamp like any other out-of-range value.
void IPlugParam::SetPlain(double v) {
  if (std::isnan(v) || v < min) {
    value = min;
  } else {
    value = std::min(v, max);
  }
}

double IPlugParam::FromNormalized(double x) const { return min + (max - min) * std::pow(x, shape); }

double IPlugParam::ToNormalized(double v) const {
  if (std::isnan(v)) v = min;
  v = v < min ? min : std::min(v, max);
  const double range = max - min;
  if (!(range > 0.0)) return 0.0;  // degenerate range: no defined position
  return std::pow((v - min) / range, 1.0 / shape);
}

// Callers pass x in 0..1 and there is deliberately no lower clamp. Only
// non-numbers are caught: a NaN (from x or from the power of a negative x)
// gives min, -inf gives min and +inf gives max.
void IPlugParam::SetFromNormalized(double x) {
  if (std::isnan(x) || x == -HUGE_VAL) {
    value = min;
    return;
  }
  double v = FromNormalized(x);
  if (kind != ParamKind::Double) v = std::floor(v / step + 0.5) * step;
  v = std::min(v, max);
  if (std::isnan(v) || v == -HUGE_VAL) v = min;
  value = v;
}

const char* IPlugParam::ValueText(int v) const {
  for (const auto& e : valueTexts) {
    if (e.value == v) return e.text;
  }
  return "";
}

bool IPlugParam::FindValueText(const char* text, int* v) const {
  if (!text) return false;
  for (const auto& e : valueTexts) {
    if (std::strcmp(e.text, text) == 0) {
      if (v) *v = e.value;
      return true;
    }
  }
  return false;
}

void IPlugParam::FormatValue(double v, bool isNormalized, char* out, bool useValueTexts) const {
  if (!out) return;
  if (isNormalized) v = FromNormalized(v);
  if (formatter) {
    formatter(v, out);
    return;
  }
  if (useValueTexts && !valueTexts.empty() && FitsInt(v)) {
    const int i = static_cast<int>(v);
    for (const auto& e : valueTexts) {
      if (e.value == i) {
        if (e.text[0]) {
          CopyText(out, e.text, kTextSize);
          return;
        }
        break;  // an empty text shows the number; later duplicates are not consulted
      }
    }
  }
  WriteNumber(v, displayPrecision, out);
}

const char* IPlugParam::LabelForHost() const {
  if (!valueTexts.empty() && FitsInt(value)) {
    const char* t = ValueText(static_cast<int>(value));
    if (t[0]) return "";
  }
  return label;
}

bool IPlugParam::ValueFromText(const char* text, double* v) const {
  if (valueTexts.empty()) {
    if (v) *v = ParseNumberC(text);
    return true;
  }
  int iv = 0;
  if (!FindValueText(text, &iv)) return false;
  if (v) *v = iv;
  return true;
}
