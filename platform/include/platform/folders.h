#pragma once
// Where the system's files live on this machine. Every folder returned ends with "/".
#include <string>

namespace platform {

// The running program's file and folder (from /proc/self/exe); empty when unknown.
std::string ProgramPath();
std::string ProgramDir();
// Folder of the shared library or program that holds the given address (dladdr).
std::string ModuleDir(const void* addressInModule);

// $XDG_CONFIG_HOME/Corvane/ (default ~/.config/Corvane/), created when missing.
std::string ConfigDir();
// Writable files a program keeps beside itself: $CORVANE_HOME/<program>/ when set,
// else $XDG_DATA_HOME/Corvane/<program>/ (default ~/.local/share/...); created.
std::string HomeDir(const std::string& program);
// Private per-user scratch folder: ${TMPDIR:-/tmp}/corvane-<uid>/, mode 0700, owned by
// the user and no link; empty when it cannot be had safely.
std::string PrivateTempDir();
// Creates a new empty file with a unique name in the private scratch folder and returns
// its path; empty on failure.
std::string MakeTempFile(const std::string& prefix, const std::string& suffix);

// Creates the folder and every missing parent (mode 0777 & ~umask). TRUE when it exists after.
bool MakeDirs(const std::string& path);

}  // namespace platform
