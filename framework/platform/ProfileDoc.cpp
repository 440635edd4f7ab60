#include "platform/ProfileDoc.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& s) {
  size_t begin = 0;
  size_t end = s.size();
  while (begin < end && IsBlank(s[begin])) ++begin;
  while (end > begin && IsBlank(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool HasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

std::string DecodeValue(const std::string& text) {
  std::string v = Trim(text);
  if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) {
    v = v.substr(1, v.size() - 2);
  }
  return v;
}

// Classifies one line (raw, without its line break). Returns true for a
// section header and stores its name.
bool ParseLine(const std::string& raw, ProfileLine* line, std::string* sectionName) {
  line->raw = raw;
  line->isEntry = false;
  line->key.clear();
  line->value.clear();
  std::string t = Trim(raw);
  if (t.empty() || t[0] == ';' || t[0] == '#') return false;
  if (t[0] == '[') {
    size_t close = t.find(']');
    *sectionName = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
  }
  size_t eq = t.find('=');
  if (eq == std::string::npos) return false;
  std::string key = Trim(t.substr(0, eq));
  if (key.empty()) return false;
  line->isEntry = true;
  line->key = key;
  line->value = DecodeValue(t.substr(eq + 1));
  return false;
}

bool ValidSectionName(const std::string& name) {
  return !name.empty() && name == Trim(name) && name.find(']') == std::string::npos &&
         !HasLineBreak(name);
}

bool ValidKey(const std::string& key) {
  return !key.empty() && key == Trim(key) && key.find('=') == std::string::npos &&
         !HasLineBreak(key) && key[0] != '[' && key[0] != ';' && key[0] != '#';
}

}  // namespace

bool ProfileNamesEqual(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

std::string EncodeProfileValue(const std::string& value) {
  if (value.empty()) return value;
  bool blanks = IsBlank(value.front()) || IsBlank(value.back());
  bool quoted = value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0];
  return (blanks || quoted) ? "\"" + value + "\"" : value;
}

bool ParseProfile(const std::string& text, ProfileDoc* doc) {
  *doc = ProfileDoc();
  size_t pos = 0;
  static const char kBom[] = "\xEF\xBB\xBF";
  if (text.compare(0, 3, kBom) == 0) {
    doc->byteOrderMark = true;
    pos = 3;
  }
  bool lineBreakSeen = false;
  ProfileSection* current = nullptr;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    size_t next;
    std::string lineBreak;
    if (end == std::string::npos) {
      end = text.size();
      next = end;
    } else if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
      lineBreak = "\r\n";
      next = end + 2;
    } else {
      lineBreak = text.substr(end, 1);
      next = end + 1;
    }
    if (!lineBreakSeen && !lineBreak.empty()) {
      doc->lineBreak = lineBreak;
      lineBreakSeen = true;
    }
    ProfileLine line;
    std::string name;
    if (ParseLine(text.substr(pos, end - pos), &line, &name)) {
      doc->sections.emplace_back();
      current = &doc->sections.back();
      current->name = name;
      current->header = line.raw;
    } else if (current) {
      current->lines.push_back(std::move(line));
    } else {
      doc->preamble.push_back(std::move(line));
    }
    pos = next;
  }
  return text.find('\0') == std::string::npos;
}

bool ProfileDoc::Lookup(const std::string& section, const std::string& key,
                        std::string* value) const {
  for (const ProfileSection& s : sections) {
    if (!ProfileNamesEqual(s.name, section)) continue;
    for (const ProfileLine& l : s.lines) {
      if (l.isEntry && ProfileNamesEqual(l.key, key)) {
        *value = l.value;
        return true;
      }
    }
    return false;  // only the first section of a name is read
  }
  return false;
}

bool ProfileDoc::Set(const std::string& section, const std::string& key, const std::string& value) {
  if (!ValidSectionName(section) || !ValidKey(key) || HasLineBreak(value)) return false;
  std::string encoded = EncodeProfileValue(value);
  for (ProfileSection& s : sections) {
    if (!ProfileNamesEqual(s.name, section)) continue;
    for (ProfileLine& l : s.lines) {
      if (l.isEntry && ProfileNamesEqual(l.key, key)) {
        // Keep the key as the file spells it.
        l.raw = l.key + "=" + encoded;
        l.value = value;
        return true;
      }
    }
    size_t at = s.lines.size();
    while (at > 0 && Trim(s.lines[at - 1].raw).empty()) --at;
    ProfileLine line;
    line.raw = key + "=" + encoded;
    line.isEntry = true;
    line.key = key;
    line.value = value;
    s.lines.insert(s.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
    return true;
  }
  // A blank line between the last section and the new one, as an editor
  // would leave it.
  std::vector<ProfileLine>& last = sections.empty() ? preamble : sections.back().lines;
  bool somethingBefore = !sections.empty() || !preamble.empty();
  if (somethingBefore && (last.empty() || !Trim(last.back().raw).empty())) {
    last.push_back(ProfileLine());
  }
  ProfileSection s;
  s.name = section;
  s.header = "[" + section + "]";
  ProfileLine line;
  line.raw = key + "=" + encoded;
  line.isEntry = true;
  line.key = key;
  line.value = value;
  s.lines.push_back(std::move(line));
  sections.push_back(std::move(s));
  return true;
}

void ProfileDoc::RemoveKey(const std::string& section, const std::string& key) {
  for (ProfileSection& s : sections) {
    if (!ProfileNamesEqual(s.name, section)) continue;
    std::vector<ProfileLine> kept;
    for (ProfileLine& l : s.lines) {
      if (!(l.isEntry && ProfileNamesEqual(l.key, key))) kept.push_back(std::move(l));
    }
    s.lines.swap(kept);
  }
}

void ProfileDoc::EraseSection(const std::string& section) {
  std::vector<ProfileSection> kept;
  for (ProfileSection& s : sections) {
    if (!ProfileNamesEqual(s.name, section)) kept.push_back(std::move(s));
  }
  sections.swap(kept);
}

std::string ProfileDoc::Serialize() const {
  std::string out;
  if (byteOrderMark) out += "\xEF\xBB\xBF";
  for (const ProfileLine& l : preamble) out += l.raw + lineBreak;
  for (const ProfileSection& s : sections) {
    out += s.header + lineBreak;
    for (const ProfileLine& l : s.lines) out += l.raw + lineBreak;
  }
  return out;
}
