#include "BankSource.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <sstream>

#include "FactoryNames.h"
#include "StateImage.h"

namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

// Reads a double-quoted text at s[*i]; advances *i past the closing quote.
bool ReadQuoted(const std::string& s, size_t* i, std::string* out) {
  if (*i >= s.size() || s[*i] != '"') return false;
  size_t end = s.find('"', *i + 1);
  if (end == std::string::npos) return false;
  *out = s.substr(*i + 1, end - *i - 1);
  *i = end + 1;
  return true;
}

void SkipSpace(const std::string& s, size_t* i) {
  while (*i < s.size() && (s[*i] == ' ' || s[*i] == '\t')) ++*i;
}

// Everything from i on must be blank or a comment.
bool RestIsEmpty(const std::string& s, size_t i) {
  SkipSpace(s, &i);
  return i >= s.size() || s[i] == '#';
}

std::string FormatNumber(double v) {
  std::ostringstream o;
  o.imbue(std::locale::classic());
  o << v;
  return o.str();
}

class Parser {
 public:
  Parser(const std::string& fileName, std::vector<BankProgram>* programs, std::string* error)
      : mFile(fileName), mPrograms(programs), mError(error) {}

  bool Line(const std::string& raw, int lineNo) {
    mLine = lineNo;
    const std::string s = Trim(raw);
    if (s.empty()) return true;
    if (s[0] == '#') {
      if (!mPrograms->empty() && mExpectComment) mPrograms->back().comment = Trim(s.substr(1));
      mExpectComment = false;
      return true;
    }
    mExpectComment = false;
    if (s.compare(0, 8, "program ") == 0) return Program(s);
    if (s[0] == '"') return Assignment(s);
    return Fail("expected 'program <index> \"<name>\"' or '\"<parameter>\" = <value>'");
  }

  bool Finish() {
    mLine = mLastLine;
    if (static_cast<int>(mPrograms->size()) != kFactoryProgramCount) {
      return Fail("the bank has " + std::to_string(mPrograms->size()) + " programs, " +
                  std::to_string(kFactoryProgramCount) + " expected");
    }
    return true;
  }

  void SetLastLine(int n) { mLastLine = n; }

 private:
  bool Fail(const std::string& what) {
    *mError = mFile + ":" + std::to_string(mLine) + ": " + what;
    return false;
  }

  bool Program(const std::string& s) {
    size_t i = 8;
    SkipSpace(s, &i);
    int index = -1;
    const char* first = s.data() + i;
    std::from_chars_result r = std::from_chars(first, s.data() + s.size(), index);
    if (r.ec != std::errc() || r.ptr == first) return Fail("program index missing");
    i = static_cast<size_t>(r.ptr - s.data());
    SkipSpace(s, &i);
    std::string name;
    if (!ReadQuoted(s, &i, &name)) return Fail("program name missing (in double quotes)");
    if (!RestIsEmpty(s, i)) return Fail("unexpected text after the program name");
    const int expected = static_cast<int>(mPrograms->size());
    if (expected >= kFactoryProgramCount) {
      return Fail("more than " + std::to_string(kFactoryProgramCount) + " programs");
    }
    if (index != expected) {
      return Fail("program " + std::to_string(index) + " out of order, " + std::to_string(expected) +
                  " expected");
    }
    if (name != kFactoryProgramNames[index]) {
      return Fail("program " + std::to_string(index) + " is named \"" + name + "\", expected \"" +
                  kFactoryProgramNames[index] + "\"");
    }
    BankProgram p;
    p.name = name;
    p.line = mLine;
    for (int k = 0; k < kParamTableSize; ++k) p.values[k] = kParamTable[k].defaultValue;
    mPrograms->push_back(p);
    for (bool& seen : mSeen) seen = false;
    mExpectComment = true;
    return true;
  }

  bool Assignment(const std::string& s) {
    if (mPrograms->empty()) return Fail("parameter value before the first program line");
    size_t i = 0;
    std::string name;
    if (!ReadQuoted(s, &i, &name)) return Fail("unterminated parameter name");
    const int index = FindParamIndex(name.c_str());
    if (index < 0) return Fail("unknown parameter \"" + name + "\"");
    const ParamSpec& spec = kParamTable[index];
    if (index >= kValuesLayout201) {
      return Fail("\"" + name + "\" is not stored in the bank's program layout");
    }
    if (mSeen[index]) return Fail("\"" + name + "\" set twice in this program");
    mSeen[index] = true;
    SkipSpace(s, &i);
    if (i >= s.size() || s[i] != '=') return Fail("'=' expected after \"" + name + "\"");
    ++i;
    SkipSpace(s, &i);
    double v = 0.0;
    if (i < s.size() && s[i] == '"') {
      std::string text;
      if (!ReadQuoted(s, &i, &text)) return Fail("unterminated value text");
      if (!FindValueText(spec, text, &v)) {
        return Fail("\"" + text + "\" is not a value of \"" + name + "\"");
      }
    } else {
      const char* first = s.data() + i;
      std::from_chars_result r = std::from_chars(first, s.data() + s.size(), v);
      if (r.ec != std::errc() || r.ptr == first || !std::isfinite(v)) {
        return Fail("number expected for \"" + name + "\"");
      }
      i = static_cast<size_t>(r.ptr - s.data());
    }
    if (!RestIsEmpty(s, i)) return Fail("unexpected text after the value of \"" + name + "\"");
    if (v < spec.min || v > spec.max) {
      return Fail("value " + FormatNumber(v) + " of \"" + name + "\" outside " +
                  FormatNumber(spec.min) + " .. " + FormatNumber(spec.max));
    }
    if (spec.kind != ParamKind::Double && v != std::floor(v)) {
      return Fail("\"" + name + "\" takes whole numbers, not " + FormatNumber(v));
    }
    mPrograms->back().values[index] = v;
    return true;
  }

  static bool FindValueText(const ParamSpec& spec, const std::string& text, double* v) {
    if (spec.kind == ParamKind::Bool) {
      if (text == "off" || text == "on") {
        *v = text == "on" ? 1.0 : 0.0;
        return true;
      }
      return false;
    }
    for (int k = 0; k < spec.textCount; ++k) {
      if (text == spec.texts[k]) {
        *v = k;
        return true;
      }
    }
    return false;
  }

  std::string mFile;
  std::vector<BankProgram>* mPrograms;
  std::string* mError;
  int mLine = 0;
  int mLastLine = 0;
  bool mExpectComment = false;
  bool mSeen[kParamTableSize] = {};
};

}  // namespace

bool ParseBankSource(const std::string& text, const std::string& fileName,
                     std::vector<BankProgram>* programs, std::string* error) {
  programs->clear();
  Parser parser(fileName, programs, error);
  std::istringstream in(text);
  std::string line;
  int n = 0;
  while (std::getline(in, line)) {
    if (!parser.Line(line, ++n)) return false;
  }
  parser.SetLastLine(n);
  return parser.Finish();
}
