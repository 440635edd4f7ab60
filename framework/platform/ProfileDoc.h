#pragma once
#include <string>
#include <vector>

// An INI text held as lines, so that a file can be changed key by key and
// written back with everything else (unknown sections and keys, comments,
// blank lines, spelling and order) kept as it was. The POSIX profile-string
// services are built on it; it is plain code, usable and testable everywhere.
//
// Reading rules: lines end at LF, CR LF or CR; blanks (space, tab) around a
// line are ignored; "[name]" starts a section (the name ends at the first ']'
// or the end of the line); a line starting with ';' or '#' is a comment;
// "key=value" is an entry, split at the first '='; anything else is kept but
// means nothing. Names match without regard to ASCII case; the first section
// of a name and the first entry of a key in it are the ones read. Entries
// before the first section belong to no section and are not readable.

struct ProfileLine {
  std::string raw;        // the line as it is in the file, without its line break
  bool isEntry = false;
  std::string key;        // entries: the name, blanks removed
  std::string value;      // entries: the text after '=', blanks and quotes removed
};

struct ProfileSection {
  std::string name;       // blanks removed
  std::string header;     // the raw header line
  std::vector<ProfileLine> lines;
};

struct ProfileDoc {
  bool byteOrderMark = false;            // UTF-8 signature in front of the text
  std::string lineBreak = "\n";          // the first line break of the text
  std::vector<ProfileLine> preamble;     // lines before the first section
  std::vector<ProfileSection> sections;

  // Value of key in section; false when either is missing.
  bool Lookup(const std::string& section, const std::string& key, std::string* value) const;

  // Sets key in section (both created as needed: a new key goes after the
  // last non-blank line of the section, a new section at the end). False,
  // with nothing changed, when section, key or value cannot be written as a
  // profile line.
  bool Set(const std::string& section, const std::string& key, const std::string& value);
  // Removes the key from every section of that name.
  void RemoveKey(const std::string& section, const std::string& key);
  // Removes every section of that name with its lines.
  void EraseSection(const std::string& section);

  // The text to write back: untouched lines exactly as read, every line
  // ended by lineBreak.
  std::string Serialize() const;
};

// Parses any byte string into doc (replacing its contents). Never fails on
// malformed text: what is not a section header or an entry is kept as an
// ordinary line. Returns false when the text holds NUL bytes (which no
// profile file contains; such a text is still parsed, NUL being an ordinary
// byte).
bool ParseProfile(const std::string& text, ProfileDoc* doc);

// Profile names compare equal without regard to ASCII case; the process
// locale plays no part.
bool ProfileNamesEqual(const std::string& a, const std::string& b);

// How a value is written so that it reads back unchanged: wrapped in double
// quotes when it has surrounding blanks or is itself wrapped in quotes.
std::string EncodeProfileValue(const std::string& value);
