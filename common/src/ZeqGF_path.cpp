// Paths, file names, system folders and drives.
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

#include "common/ZeqGF.h"
#include "platform/folders.h"
#include "zeqgf_internal.h"

namespace zeqgf {

std::string Native(std::string_view path) {
    std::string out(path);
    for (size_t i = 0; i < out.size(); i += CharLen(out, i)) {
        if (out[i] == '\\')
            out[i] = '/';
    }
    return out;
}

size_t LastSep(std::string_view path) {
    size_t last = std::string_view::npos;
    for (size_t i = 0; i < path.size(); i += CharLen(path, i)) {
        if (IsSepChar(path[i]))
            last = i;
    }
    return last;
}

bool EndsWithSep(std::string_view path) {
    return !path.empty() && LastSep(path) == path.size() - 1;
}

namespace {

// Mount table fields escape blanks and backslashes as octal (\040).
std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' &&
            s[i + 2] >= '0' && s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
            out +=
                static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

// The real path of the nearest existing ancestor of the path, with the rest appended.
std::string RealPathOf(const std::string& path) {
    std::string abs = path;
    if (abs.empty() || abs[0] != '/') {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd))
            return {};
        abs = std::string(cwd) + "/" + abs;
    }
    std::string head = abs, tail;
    while (true) {
        char real[PATH_MAX];
        if (realpath(head.c_str(), real)) {
            std::string r = real;
            if (!tail.empty())
                r += (r == "/" ? "" : "/") + tail;
            return r;
        }
        size_t p = head.find_last_of('/');
        if (p == std::string::npos || head == "/")
            return abs;
        std::string name = head.substr(p + 1);
        if (!name.empty())
            tail = tail.empty() ? name : name + "/" + tail;
        head = p == 0 ? "/" : head.substr(0, p);
    }
}

}  // namespace

std::vector<CMountEntry> ReadMounts() {
    std::vector<CMountEntry> mounts;
    std::ifstream in("/proc/self/mounts");
    std::string dev, dir, type, rest;
    while (in >> dev >> dir >> type) {
        std::getline(in, rest);
        mounts.push_back({Unescape(dev), Unescape(dir), type});
    }
    return mounts;
}

bool MountOf(const std::string& path, CMountEntry& entry) {
    std::string real = RealPathOf(Native(path));
    if (real.empty())
        return false;
    size_t best = 0;
    bool bFound = false;
    for (const auto& m : ReadMounts()) {
        const std::string& d = m.strDir;
        bool bHolds =
            d == "/" || real == d ||
            (real.size() > d.size() && real.compare(0, d.size(), d) == 0 && real[d.size()] == '/');
        // Later lines of the table cover earlier ones mounted at the same place.
        if (bHolds && (!bFound || d.size() >= best)) {
            best = d.size();
            entry = m;
            bFound = true;
        }
    }
    return bFound;
}

bool IsCDRomMount(const CMountEntry& entry) {
    return entry.strType == "iso9660" || entry.strType == "udf" ||
           entry.strDevice.rfind("/dev/sr", 0) == 0;
}

}  // namespace zeqgf

using zeqgf::View;

void ZeqGF::SplitPath(LPCSTR lpszPath, CString& strDrive, CString& strDir, CString& strName,
                      CString& strExt) {
    std::string path = zeqgf::Native(View(lpszPath));
    // No drive letters on this system: the drive part is always empty.
    strDrive.clear();
    size_t sep = zeqgf::LastSep(path);
    size_t nameStart = sep == std::string::npos ? 0 : sep + 1;
    strDir = path.substr(0, nameStart);
    std::string file = path.substr(nameStart);
    size_t dot = file.find_last_of('.');
    if (dot == std::string::npos) {
        strName = file;
        strExt.clear();
    } else {
        strName = file.substr(0, dot);
        strExt = file.substr(dot);
    }
}

void ZeqGF::AddPathSep(CString& strPath) {
    if (!zeqgf::EndsWithSep(strPath))
        strPath += '/';
}

void ZeqGF::DelPathSep(CString& strPath) {
    if (zeqgf::EndsWithSep(strPath))
        strPath.pop_back();
}

CString ZeqGF::ExtractDrive(LPCSTR lpszPath) {
    // The drive of a path is the mounted file system that holds it; its mount point
    // stands for the drive root. The root when the mount table cannot say.
    zeqgf::CMountEntry entry;
    if (IsEmpty(lpszPath) || !zeqgf::MountOf(lpszPath, entry))
        return "/";
    CString root = entry.strDir;
    AddPathSep(root);
    return root;
}

CString ZeqGF::ExtractDir(LPCSTR lpszPath) {
    CString drive, dir, name, ext;
    SplitPath(lpszPath, drive, dir, name, ext);
    return drive + dir;
}

CString ZeqGF::ExtractName(LPCSTR lpszPath, BOOL bWithExt) {
    CString drive, dir, name, ext;
    SplitPath(lpszPath, drive, dir, name, ext);
    return bWithExt ? name + ext : name;
}

CString ZeqGF::ExtractExt(LPCSTR lpszPath, BOOL bWithDot) {
    CString drive, dir, name, ext;
    SplitPath(lpszPath, drive, dir, name, ext);
    if (!bWithDot && !ext.empty())
        ext.erase(0, 1);
    return ext;
}

CString ZeqGF::MakePath(LPCSTR lpszDir, LPCSTR lpszName) {
    CString base = IsEmpty(lpszDir) ? GetModulePath(nullptr) : CString(View(lpszDir));
    std::string_view name = View(lpszName);
    if (!name.empty()) {
        AddPathSep(base);
        base.append(name);
    }
    return zeqgf::Native(base);
}

CString ZeqGF::GetModulePath(const void* hModule) {
    return hModule ? platform::ModuleDir(hModule) : platform::ProgramDir();
}

CString ZeqGF::GetSystemDir() {
    // There is no system folder here; the root stands in for it.
    return "/";
}

CString ZeqGF::GetSystemTempDir() {
    CString dir = platform::PrivateTempDir();
    return dir.empty() ? GetSystemDir() : dir;
}

namespace {

bool HasAnyChar(std::string_view text, const char* set) {
    for (size_t i = 0; i < text.size(); i += zeqgf::CharLen(text, i)) {
        if (zeqgf::CharLen(text, i) == 1 && std::strchr(set, text[i]))
            return true;
    }
    return false;
}

}  // namespace

BOOL ZeqGF::IsValidFileName(LPCSTR lpszName) {
    std::string_view name = View(lpszName);
    if (IsEmpty(lpszName))
        return FALSE;
    // "." and ".." name no file and would lead out of the folder.
    if (name == "." || name == "..")
        return FALSE;
    return HasAnyChar(name, "\\?|><:/*\"") ? FALSE : TRUE;
}

BOOL ZeqGF::IsValidPathName(LPCSTR lpszPath) {
    if (IsEmpty(lpszPath))
        return FALSE;
    CString drive, dir, name, ext;
    SplitPath(lpszPath, drive, dir, name, ext);
    if (!IsValidFileName((name + ext).c_str()))
        return FALSE;
    return HasAnyChar(dir, "?|><:*\"") ? FALSE : TRUE;
}

BOOL ZeqGF::IsDriveRoot(LPCSTR lpszPath) {
    if (IsEmpty(lpszPath))
        return FALSE;
    std::string path = zeqgf::Native(View(lpszPath));
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    zeqgf::CMountEntry entry;
    if (!zeqgf::MountOf(path, entry))
        return FALSE;
    char real[PATH_MAX];
    if (!realpath(path.c_str(), real))
        return FALSE;
    return entry.strDir == real ? TRUE : FALSE;
}

BOOL ZeqGF::IsCDRomDrive(LPCSTR lpszPath) {
    if (IsEmpty(lpszPath))
        return FALSE;
    zeqgf::CMountEntry entry;
    return zeqgf::MountOf(lpszPath, entry) && zeqgf::IsCDRomMount(entry) ? TRUE : FALSE;
}

CString ZeqGF::GetCDROMDrive(short n) {
    if (n < 0)
        return {};
    int nFound = 0;
    for (const auto& m : zeqgf::ReadMounts()) {
        if (!zeqgf::IsCDRomMount(m))
            continue;
        if (nFound++ == n) {
            CString root = m.strDir;
            AddPathSep(root);
            return root;
        }
    }
    return {};
}

void ZeqGF::AbbreviatePath(LPSTR lpszPath, int nMax, BOOL bKeepName) {
    if (!lpszPath)
        return;
    std::string path = zeqgf::Native(lpszPath);
    const size_t L = path.size();
    size_t sep = zeqgf::LastSep(path);
    std::string name = sep == std::string::npos ? path : path.substr(sep + 1);
    const size_t F = name.size();
    std::string result;
    if (nMax >= 0 && static_cast<size_t>(nMax) >= L) {
        result = path;
    } else if (nMax < 0 || static_cast<size_t>(nMax) < F) {
        result = bKeepName ? name : std::string();
    } else {
        // The volume part: the share of a network path, else the first folder (with the
        // root of an absolute path).
        size_t from = 1;
        if (L > 2 && path[0] == '/' && path[1] == '/') {
            size_t share = path.find('/', 2);
            from = share == std::string::npos ? L : share + 1;
        }
        size_t v = from < L ? path.find('/', from) : std::string::npos;
        if (v == std::string::npos || v > sep) {
            // Nothing stands between a volume and the name: only the name is left to show.
            result = name;
        } else if (static_cast<size_t>(nMax) < v + 5 + F) {
            result = name;
        } else {
            size_t rest = v;
            while (v + 4 + (L - rest) > static_cast<size_t>(nMax)) {
                size_t next = path.find('/', rest + 1);
                if (next == std::string::npos)
                    break;
                rest = next;
            }
            result = path.substr(0, v) + "/..." + path.substr(rest);
        }
    }
    // The result is never longer than the path, so it fits the caller's buffer.
    std::memcpy(lpszPath, result.c_str(), result.size() + 1);
}
