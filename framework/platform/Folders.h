#pragma once
#include <string>

// Where the user's files live and the few file-system services the settings
// code needs. Paths are byte strings in the platform's narrow encoding (the
// ANSI code page on Windows, bytes on POSIX); folders come without a trailing
// separator unless they are a root.

// Base folder for per-user application settings: the local application-data
// folder on Windows, $XDG_CONFIG_HOME (default ~/.config) on POSIX. Empty when
// it cannot be determined.
std::string UserSettingsBaseFolder();

// The user's documents folder: the shell's personal folder on Windows; on
// POSIX the XDG documents folder from user-dirs.dirs when configured, else
// the home folder.
std::string UserDocumentsFolder();

// The user's desktop folder: the shell's desktop folder on Windows; on POSIX
// the XDG desktop folder from user-dirs.dirs when configured and present,
// else ~/Desktop when present, else the home folder.
std::string UserDesktopFolder();

// Joins a folder and a name with the platform's separator (no separator is
// doubled; an empty folder gives the name alone).
std::string JoinPath(const std::string& folder, const std::string& name);

// The folder part of a path (everything before the last separator), without
// the separator; empty when the path has no folder part.
std::string FolderOfPath(const std::string& path);

// True when a status query on the path succeeds (file or folder).
bool PathExists(const std::string& path);

// Creates the folder. On POSIX missing parent folders are created too (a
// fresh account may have no ~/.config yet). False on failure.
bool CreateFolder(const std::string& path);

// Reads a whole file. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string* bytes);

// Replaces (or creates) the file with exactly these bytes so that a reader,
// or the file after a crash, sees either the old or the new content and never
// a part: the bytes go to a temporary file in the same folder, are flushed to
// the disk and the temporary file is renamed over the target. No temporary
// file is left behind on failure. False on failure (the old file unchanged).
bool ReplaceFileAtomically(const std::string& path, const std::string& bytes);
