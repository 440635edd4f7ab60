#pragma once
#include <string>
#include <utility>
#include <vector>

// Profile-string (INI file) services: keys in named sections, values as text.
// On Windows text comes out as UTF-8 and goes in as UTF-8 or, when not valid
// UTF-8, in the ANSI code page, while the file itself stays in the ANSI code
// page (a value the code page cannot hold is kept as its UTF-8 bytes); on
// POSIX everything is bytes.
// Section and key names are compared without regard to case (ASCII). Windows
// uses the system's private-profile functions; POSIX has an implementation of
// its own with the same observable behaviour (ProfileDoc.h) whose every write
// replaces the file atomically.

// Copies the value of key in section of the file into out, which holds
// capacity bytes including the terminator; longer values are cut to
// capacity - 1 bytes. When the file, the section or the key is missing, def
// (null: empty) is copied instead. A key that is present with an empty value
// gives the empty text, not def. Surrounding blanks and one pair of matching
// quotes around the value are removed. Returns the number of bytes copied
// without the terminator.
int ReadProfileValue(const std::string& file, const char* section, const char* key,
                     const char* def, char* out, int capacity);

// Sets key in section to value, creating the file, the section and the key as
// needed; a null value removes the key. False when the file cannot be written
// (for example its folder is missing) or the names or the value cannot be
// stored in a profile file (line breaks, a key containing '=').
bool WriteProfileValue(const std::string& file, const char* section, const char* key,
                       const char* value);

// Removes the section with all its keys. False when the file cannot be
// written; a missing file or section is not an error.
bool EraseProfileSection(const std::string& file, const char* section);

// Empties the section and writes the given keys into it in the given order,
// as EraseProfileSection followed by one WriteProfileValue per key would (an
// empty list leaves no section at all). On POSIX the file is replaced once.
bool ReplaceProfileSection(const std::string& file, const char* section,
                           const std::vector<std::pair<std::string, std::string>>& entries);
