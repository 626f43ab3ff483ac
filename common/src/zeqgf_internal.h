#pragma once
// Helpers the ZeqGF sources share; not part of the class.
#include <string>
#include <string_view>
#include <vector>

#include "platform/wintypes.h"

namespace zeqgf {

inline std::string_view View(LPCSTR psz) {
    return psz ? std::string_view(psz) : std::string_view();
}

// Byte length of the character that starts at i: 2 for a lead byte followed by a trail
// byte in the installation code page, else 1.
size_t CharLen(std::string_view s, size_t i);
// Byte offsets at which the characters of the text begin.
std::vector<size_t> CharStarts(std::string_view s);
// Case-insensitive compare: ASCII letters folded, double-byte characters kept whole and
// ordered by their code value.
int CompareNoCase(std::string_view a, std::string_view b);

inline bool IsSepChar(char c) {
    return c == '/' || c == '\\';
}
// The path with every "\" separator (a whole character, never a trail byte) made "/".
std::string Native(std::string_view path);
// Offset of the last separator character, or npos.
size_t LastSep(std::string_view path);
// The text ends with a separator character (not the trail byte of a double-byte one).
bool EndsWithSep(std::string_view path);

// One line of the mount table.
struct CMountEntry {
    std::string strDevice, strDir, strType;
};
std::vector<CMountEntry> ReadMounts();
// The mount that holds the path (longest mount point over the real path of its nearest
// existing ancestor); FALSE when none.
bool MountOf(const std::string& path, CMountEntry& entry);
bool IsCDRomMount(const CMountEntry& entry);

// Windows-style wildcard: "*.*" and "*" match all; "*" and "?" otherwise; ASCII case folded.
bool MatchWildcard(std::string_view pattern, std::string_view name);
bool IsAllWildcard(LPCSTR pattern);

// rename that never replaces an existing target; 0 or -1 with errno.
int RenameNoReplace(const std::string& from, const std::string& to);

}  // namespace zeqgf
