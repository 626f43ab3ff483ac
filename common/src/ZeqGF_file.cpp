// Files and folders: tests, listings, single-file operations and the several-file
// copy, move and delete with progress.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <set>

#include "common/ZeqGF.h"
#include "platform/folders.h"
#include "platform/msgpump.h"
#include "platform/notifier.h"
#include "zeqgf_internal.h"

namespace zeqgf {

bool MatchWildcard(std::string_view pattern, std::string_view name) {
    if (pattern == "*.*" || pattern == "*")
        return true;
    auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    // Iterative glob with one back-tracking point for the last "*".
    std::vector<size_t> pc = CharStarts(pattern), nc = CharStarts(name);
    auto chr = [](std::string_view s, const std::vector<size_t>& st, size_t k) {
        size_t end = k + 1 < st.size() ? st[k + 1] : s.size();
        return s.substr(st[k], end - st[k]);
    };
    size_t p = 0, n = 0, star = std::string_view::npos, mark = 0;
    while (n < nc.size()) {
        if (p < pc.size()) {
            std::string_view a = chr(pattern, pc, p), b = chr(name, nc, n);
            if (a == "*") {
                star = p++;
                mark = n;
                continue;
            }
            if (a == "?" || (a.size() == 1 && b.size() == 1 ? fold(a[0]) == fold(b[0]) : a == b)) {
                ++p;
                ++n;
                continue;
            }
        }
        if (star == std::string_view::npos)
            return false;
        p = star + 1;
        n = ++mark;
    }
    while (p < pc.size() && chr(pattern, pc, p) == "*")
        ++p;
    return p == pc.size();
}

bool IsAllWildcard(LPCSTR pattern) {
    return !pattern || !*pattern || std::strcmp(pattern, "*.*") == 0 ||
           std::strcmp(pattern, "*") == 0;
}

int RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return -1;
    // The file system cannot refuse a replacement itself: a hard link can (files only).
    struct stat st;
    if (lstat(from.c_str(), &st) != 0)
        return -1;
    if (!S_ISDIR(st.st_mode)) {
        if (link(from.c_str(), to.c_str()) == 0) {
            if (unlink(from.c_str()) == 0)
                return 0;
            int e = errno;
            unlink(to.c_str());
            errno = e;
            return -1;
        }
        if (errno == EEXIST || errno == EXDEV || errno == ENOENT)
            return -1;
    }
    // Last resort: look, then rename.
    if (lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return rename(from.c_str(), to.c_str());
}

}  // namespace zeqgf

using zeqgf::View;

namespace {

constexpr size_t kBlock = 4096;

struct CEntry {
    std::string strName;
    bool bDir;
    uint64_t nSize;
};

std::string Join(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

bool StatNative(const std::string& path, struct stat& st) {
    return stat(path.c_str(), &st) == 0;
}

bool IsDirNative(const std::string& path) {
    struct stat st;
    return !path.empty() && StatNative(path, st) && S_ISDIR(st.st_mode);
}

// The entries of a folder sorted by name. A link to a folder is left out, so that no
// walk leaves the tree or runs in a circle.
bool ListDir(const std::string& dir, std::vector<CEntry>& entries) {
    entries.clear();
    DIR* d = opendir(dir.c_str());
    if (!d)
        return false;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        std::string full = Join(dir, name);
        struct stat st;
        if (lstat(full.c_str(), &st) != 0)
            continue;
        if (S_ISLNK(st.st_mode)) {
            struct stat target;
            if (stat(full.c_str(), &target) == 0) {
                if (S_ISDIR(target.st_mode))
                    continue;
                st = target;
            }
        }
        bool bDir = S_ISDIR(st.st_mode);
        entries.push_back(
            {name, bDir, S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0});
    }
    closedir(d);
    std::sort(entries.begin(), entries.end(),
              [](const CEntry& a, const CEntry& b) { return a.strName < b.strName; });
    return true;
}

bool HasFilesDeep(const std::string& dir) {
    std::vector<CEntry> entries;
    if (!ListDir(dir, entries))
        return true;
    for (const auto& e : entries) {
        if (!e.bDir || HasFilesDeep(Join(dir, e.strName)))
            return true;
    }
    return false;
}

// Names read from a folder are taken as they are: a "\" in them is part of the name, so
// every walk below works on such paths without turning "\" into "/" again.
std::string DirOf(const std::string& path) {
    size_t p = path.find_last_of('/');
    return p == std::string::npos ? std::string() : path.substr(0, p + 1);
}

std::string NameOf(const std::string& path) {
    size_t p = path.find_last_of('/');
    return p == std::string::npos ? path : path.substr(p + 1);
}

bool IsFileNative(const std::string& path) {
    struct stat st;
    return !path.empty() && StatNative(path, st) && !S_ISDIR(st.st_mode);
}

uint64_t FileSizeNative(const std::string& path) {
    struct stat st;
    if (!StatNative(path, st) || S_ISDIR(st.st_mode))
        return 0;
    return static_cast<uint64_t>(st.st_size);
}

std::string Wildcard(LPCSTR lpszWildcard) {
    return zeqgf::IsAllWildcard(lpszWildcard) ? "*.*" : lpszWildcard;
}

// The folder's files matching the wildcard, and its sub-folders, with bRecursive at
// every depth; the total size of the files, or -1 when the folder cannot be read.
int64_t WalkDir(const std::string& dir, const std::string& wild, CStringArray* pDirs,
                CStringArray* pFiles, bool bRecursive) {
    std::vector<CEntry> entries;
    if (!ListDir(dir, entries))
        return -1;
    int64_t total = 0;
    for (const auto& e : entries) {
        std::string full = Join(dir, e.strName);
        if (e.bDir) {
            // Folders are walked whatever the wildcard, which selects files only.
            if (pDirs)
                pDirs->push_back(full);
            if (bRecursive) {
                int64_t sub = WalkDir(full, wild, pDirs, pFiles, true);
                if (sub > 0)
                    total += sub;
            }
        } else if (zeqgf::MatchWildcard(wild, e.strName)) {
            if (pFiles)
                pFiles->push_back(full);
            total += static_cast<int64_t>(e.nSize);
        }
    }
    return total;
}

int SubDirs(const std::string& dir, CStringArray* pDirs, bool bRecursive) {
    std::vector<CEntry> entries;
    if (!ListDir(dir, entries))
        return -1;
    int n = 0;
    for (const auto& e : entries) {
        if (!e.bDir)
            continue;
        std::string full = Join(dir, e.strName);
        if (pDirs)
            pDirs->push_back(full);
        ++n;
        if (bRecursive) {
            int sub = SubDirs(full, pDirs, true);
            if (sub > 0)
                n += sub;
        }
    }
    return n;
}

bool SetReadOnlyNative(const std::string& path, BOOL bSet) {
    struct stat st;
    if (!StatNative(path, st))
        return false;
    mode_t mode = st.st_mode & 07777;
    mode_t want =
        bSet ? (mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
    return want == mode || chmod(path.c_str(), want) == 0;
}

bool SetReadOnlyTree(const std::string& dir, BOOL bSet, BOOL bSelf) {
    std::vector<CEntry> entries;
    if (!ListDir(dir, entries))
        return false;
    for (const auto& e : entries) {
        std::string full = Join(dir, e.strName);
        if (!(e.bDir ? SetReadOnlyTree(full, bSet, bSelf) : SetReadOnlyNative(full, bSet)))
            return false;
    }
    return !bSelf || SetReadOnlyNative(dir, bSet);
}

// An empty folder tree goes, children first; one that holds any file stays whole.
bool DeleteDirNative(const std::string& dir) {
    if (!IsDirNative(dir) || HasFilesDeep(dir))
        return false;
    std::vector<CEntry> entries;
    if (!ListDir(dir, entries))
        return false;
    for (const auto& e : entries) {
        if (e.bDir && !DeleteDirNative(Join(dir, e.strName)))
            return false;
    }
    return rmdir(dir.c_str()) == 0;
}

bool MakeDirNative(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    if (dir.empty() || IsDirNative(dir))
        return true;
    platform::MakeDirs(dir);
    return IsDirNative(dir);
}

// Device of the path, or of its nearest existing ancestor.
bool DeviceOf(std::string path, dev_t& dev) {
    while (true) {
        struct stat st;
        if (!path.empty() && stat(path.c_str(), &st) == 0) {
            dev = st.st_dev;
            return true;
        }
        while (!path.empty() && path.back() == '/')
            path.pop_back();
        size_t p = path.find_last_of('/');
        if (path.empty())
            return false;
        if (p == std::string::npos) {
            path = ".";
        } else {
            path = p == 0 ? "/" : path.substr(0, p);
        }
    }
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return StatNative(a, sa) && StatNative(b, sb) && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

int AskOverwrite() {
    return platform::ShowMessage("Overwrite ?",
                                 platform::MB_YESNOCANCEL | platform::MB_ICONQUESTION);
}

int64_t Percent(uint64_t done, uint64_t total) {
    if (total == 0)
        return 100;
    return static_cast<int64_t>(std::min<uint64_t>(done * 100 / total, 100));
}

// Copies a file or a whole tree without progress; used where a move crosses file systems.
bool CopyTree(const std::string& src, const std::string& dst);

bool RemoveTree(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode))
        return unlink(path.c_str()) == 0;
    DIR* d = opendir(path.c_str());
    if (!d)
        return false;
    bool bOk = true;
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(d);
    for (const auto& n : names)
        bOk = RemoveTree(Join(path, n)) && bOk;
    return bOk && rmdir(path.c_str()) == 0;
}

std::string DataHome() {
    const char* x = getenv("XDG_DATA_HOME");
    if (x && *x == '/')
        return x;
    const char* h = getenv("HOME");
    return std::string(h && *h ? h : "/") + "/.local/share";
}

std::string UriEscape(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (isalnum(c) || std::strchr("/-_.!~*'()", c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

bool WriteAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// Moves the path (file or folder) into the user's trash folder, with a .trashinfo file
// that names where it came from, so a file manager can restore it.
bool MoveToTrash(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return false;
    std::string abs = path;
    {
        // The absolute path of the entry itself (its folder resolved, not the entry).
        std::string dir = DirOf(path), name = NameOf(path);
        char real[PATH_MAX];
        if (!realpath(dir.empty() ? "." : dir.c_str(), real))
            return false;
        abs = Join(real, name);
    }
    std::string trash = DataHome() + "/Trash";
    std::string files = trash + "/files", info = trash + "/info";
    for (const auto& d : {trash, files, info}) {
        if (mkdir(d.c_str(), 0700) != 0 && errno != EEXIST) {
            if (!platform::MakeDirs(d))
                return false;
        }
    }
    std::string title = NameOf(abs), ext;
    if (size_t dot = title.find_last_of('.'); dot != std::string::npos) {
        ext = title.substr(dot);
        title.erase(dot);
    }
    if (S_ISDIR(st.st_mode)) {
        title += ext;
        ext.clear();
    }
    char date[32];
    time_t now = time(nullptr);
    struct tm tmNow;
    localtime_r(&now, &tmNow);
    strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &tmNow);
    std::string content = "[Trash Info]\nPath=" + UriEscape(abs) + "\nDeletionDate=" + date + "\n";
    for (int n = 1; n < 100000; ++n) {
        std::string name = n == 1 ? title + ext : title + "." + std::to_string(n) + ext;
        std::string infoPath = info + "/" + name + ".trashinfo";
        std::string target = files + "/" + name;
        // The info file is claimed first: its exclusive creation makes the name ours.
        int fd = open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        bool bOk = WriteAll(fd, content.data(), content.size());
        bOk = (close(fd) == 0) && bOk;
        struct stat tst;
        if (bOk && lstat(target.c_str(), &tst) == 0) {
            unlink(infoPath.c_str());
            continue;  // a stray entry without info holds the name
        }
        if (bOk) {
            if (zeqgf::RenameNoReplace(path, target) == 0)
                return true;
            if (errno == EXDEV) {
                // Once the copy is whole, whatever of the source went is safe in the
                // trash: a source that will not go entirely is no clean delete.
                if (CopyTree(path, target))
                    return RemoveTree(path);
                RemoveTree(target);
            }
        }
        unlink(infoPath.c_str());
        return false;
    }
    return false;
}

}  // namespace

// ---- tests and measures -----------------------------------------------------------

BOOL ZeqGF::IsFile(LPCSTR lpszPath) {
    if (!lpszPath || !*lpszPath)
        return FALSE;
    struct stat st;
    return StatNative(zeqgf::Native(lpszPath), st) && !S_ISDIR(st.st_mode) ? TRUE : FALSE;
}

BOOL ZeqGF::IsDir(LPCSTR lpszPath) {
    if (!lpszPath || !*lpszPath)
        return FALSE;
    return IsDirNative(zeqgf::Native(lpszPath)) ? TRUE : FALSE;
}

BOOL ZeqGF::IsExist(LPCSTR lpszPath) {
    return IsFile(lpszPath) || IsDir(lpszPath);
}

BOOL ZeqGF::IsDirEmpty(LPCSTR lpszPath) {
    // Empty means no file at any depth (empty sub-folders do not count).
    if (!IsDir(lpszPath))
        return FALSE;
    return HasFilesDeep(zeqgf::Native(lpszPath)) ? FALSE : TRUE;
}

BOOL ZeqGF::IsReadOnly(LPCSTR lpszPath) {
    // Read-only stands for "the owner may not write".
    struct stat st;
    if (!lpszPath || !StatNative(zeqgf::Native(lpszPath), st))
        return FALSE;
    return (st.st_mode & S_IWUSR) ? FALSE : TRUE;
}

BOOL ZeqGF::SetReadOnly(LPCSTR lpszPath, BOOL bSet) {
    if (!lpszPath)
        return FALSE;
    return SetReadOnlyNative(zeqgf::Native(lpszPath), bSet) ? TRUE : FALSE;
}

BOOL ZeqGF::SetReadOnlyDir(LPCSTR lpszDir, BOOL bSet, BOOL bSelf) {
    if (!IsDir(lpszDir))
        return FALSE;
    return SetReadOnlyTree(zeqgf::Native(lpszDir), bSet, bSelf) ? TRUE : FALSE;
}

uint64_t ZeqGF::GetFileSize(LPCSTR lpszPath, BOOL bKB) {
    struct stat st;
    if (!lpszPath || !StatNative(zeqgf::Native(lpszPath), st) || S_ISDIR(st.st_mode))
        return 0;
    uint64_t n = static_cast<uint64_t>(st.st_size);
    return bKB ? n / 1024 : n;
}

int64_t ZeqGF::GetDirInfo(LPCSTR lpszDir, LPCSTR lpszWildcard, CStringArray* pDirs,
                          CStringArray* pFiles, BOOL bRecursive) {
    if (!IsDir(lpszDir))
        return -1;
    return WalkDir(zeqgf::Native(lpszDir), Wildcard(lpszWildcard), pDirs, pFiles, bRecursive);
}

int64_t ZeqGF::GetDirSize(LPCSTR lpszDir, BOOL bKB, BOOL bRecursive) {
    int64_t n = GetDirInfo(lpszDir, nullptr, nullptr, nullptr, bRecursive);
    return (n > 0 && bKB) ? n / 1024 : n;
}

int64_t ZeqGF::GetDriveFreeSpace(LPCSTR lpszPath, BOOL bKB) {
    // The drive is the mounted file system that holds the path; null stands for the root.
    std::string path = lpszPath && *lpszPath ? zeqgf::Native(lpszPath) : "/";
    zeqgf::CMountEntry entry;
    std::string where = zeqgf::MountOf(path, entry) ? entry.strDir : path;
    struct statvfs vfs;
    if (statvfs(where.c_str(), &vfs) != 0)
        return -1;
    int64_t n = static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
    return bKB ? n / 1024 : n;
}

int ZeqGF::GetDirFiles(LPCSTR lpszDir, LPCSTR lpszWildcard, CStringArray* pFiles, BOOL bSubDirs) {
    if (!IsDir(lpszDir))
        return -1;
    std::string dir = zeqgf::Native(lpszDir);
    std::string wild = Wildcard(lpszWildcard);
    std::vector<CEntry> entries, sub;
    if (!ListDir(dir, entries))
        return -1;
    int n = 0;
    for (const auto& e : entries) {
        if (e.bDir || !zeqgf::MatchWildcard(wild, e.strName))
            continue;
        if (pFiles)
            pFiles->push_back(Join(dir, e.strName));
        ++n;
    }
    if (bSubDirs) {
        for (const auto& e : entries) {
            if (!e.bDir)
                continue;
            std::string subDir = Join(dir, e.strName);
            if (!ListDir(subDir, sub))
                continue;
            for (const auto& s : sub) {
                if (s.bDir || !zeqgf::MatchWildcard(wild, s.strName))
                    continue;
                if (pFiles)
                    pFiles->push_back(Join(subDir, s.strName));
                ++n;
            }
        }
    }
    return n;
}

int ZeqGF::GetSubDirList(LPCSTR lpszDir, CStringArray* pDirs, BOOL bRecursive) {
    if (!IsDir(lpszDir))
        return -1;
    return SubDirs(zeqgf::Native(lpszDir), pDirs, bRecursive);
}

// ---- single files and folders -------------------------------------------------------

BOOL ZeqGF::CreateFile(LPCSTR lpszPath, BOOL bCreateDir, BOOL bOverwrite) {
    if (!IsValidPathName(lpszPath))
        return FALSE;
    std::string path = zeqgf::Native(lpszPath);
    if (!bOverwrite && IsExist(path.c_str()))
        return FALSE;
    if (bCreateDir) {
        std::string dir = ExtractDir(path.c_str());
        if (!dir.empty() && !CreateDir(dir.c_str()))
            return FALSE;
    }
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0 || close(fd) != 0) {
        platform::ReportFileError(path, errno);
        return FALSE;
    }
    return TRUE;
}

namespace {

// The new name in the folder of the old one; a bare relative name stays in its folder.
std::string Sibling(const std::string& path, LPCSTR lpszNewName) {
    std::string dir = ZeqGF::ExtractDir(path.c_str());
    return dir.empty() ? zeqgf::Native(lpszNewName) : ZeqGF::MakePath(dir.c_str(), lpszNewName);
}

}  // namespace

BOOL ZeqGF::RenameFile(LPCSTR lpszPath, LPCSTR lpszNewName) {
    if (!IsFile(lpszPath) || !IsValidFileName(lpszNewName))
        return FALSE;
    std::string path = zeqgf::Native(lpszPath);
    return zeqgf::RenameNoReplace(path, Sibling(path, lpszNewName)) == 0 ? TRUE : FALSE;
}

namespace {

bool DeleteNative(std::string path, BOOL bRecycle) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (bRecycle)
        return MoveToTrash(path);
    return unlink(path.c_str()) == 0;
}

}  // namespace

BOOL ZeqGF::DeleteFile(LPCSTR lpszPath, BOOL bRecycle) {
    if (!lpszPath || !*lpszPath)
        return FALSE;
    return DeleteNative(zeqgf::Native(lpszPath), bRecycle) ? TRUE : FALSE;
}

namespace {

BOOL CopyLoop(const std::string& src, const std::string& dst, ZeqFileCallBack pfnCallBack,
              uintptr_t nUserData, ZeqFileCallBackParam* pParam, BOOL bNoReplace) {
    if (SameFile(src, dst))
        return FALSE;  // would truncate the source
    struct stat st;
    // Only a regular file is read: opening a pipe must not wait for a writer, and a device
    // would never end.
    int fdIn = open(src.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fdIn < 0)
        return FALSE;
    if (fstat(fdIn, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fdIn);
        return FALSE;
    }
    if (pfnCallBack && pParam) {
        pParam->strCurName = src;
        pParam->nCurFile += 1;
        pParam->nCurSize = static_cast<uint64_t>(st.st_size);
        pParam->nCurDone = 0;
        pParam->nCurPercent = 0;
    }
    // The copy goes to a scratch file beside the target and takes the target's name only
    // when whole, so a failed or cancelled copy leaves an existing target as it was. Only
    // a regular file is ever replaced, never a device; a link is written through.
    std::string target = dst;
    struct stat stDst;
    if (lstat(dst.c_str(), &stDst) == 0) {
        bool bOk = !bNoReplace;
        if (bOk && S_ISLNK(stDst.st_mode)) {
            char real[PATH_MAX];
            bOk = realpath(dst.c_str(), real) && stat(real, &stDst) == 0;
            if (bOk)
                target = real;
        }
        // A file we may not write stays, as an in-place overwrite would have failed.
        if (!bOk || !S_ISREG(stDst.st_mode) || access(target.c_str(), W_OK) != 0) {
            close(fdIn);
            return FALSE;
        }
    }
    size_t slash = target.find_last_of('/');
    std::string temp = target.substr(0, slash == std::string::npos ? 0 : slash + 1) + "." +
                       target.substr(slash == std::string::npos ? 0 : slash + 1) + ".XXXXXX";
    int fdOut = mkostemp(temp.data(), O_CLOEXEC);
    if (fdOut < 0) {
        close(fdIn);
        return FALSE;
    }
    auto fail = [&](const std::string& where, int err) {
        if (err)
            platform::ReportFileError(where, err);
        close(fdIn);
        close(fdOut);
        unlink(temp.c_str());
        return FALSE;
    };
    char buf[kBlock];
    while (true) {
        ssize_t n = read(fdIn, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(src, errno);
        }
        if (n == 0)
            break;
        if (!WriteAll(fdOut, buf, static_cast<size_t>(n)))
            return fail(dst, errno);
        if (pfnCallBack && pParam) {
            pParam->nDoneBytes += static_cast<uint64_t>(n);
            pParam->nPercent = Percent(pParam->nDoneBytes, pParam->nTotalBytes);
            pParam->nCurDone += static_cast<uint64_t>(n);
            pParam->nCurPercent = Percent(pParam->nCurDone, pParam->nCurSize);
            if (pfnCallBack(pParam, nUserData) == -1)
                return fail(dst, 0);
        }
        platform::PumpMessage();
    }
    close(fdIn);
    // The target takes the source's permissions and times.
    fchmod(fdOut, st.st_mode & 07777);
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(fdOut, times);
    int nRenamed = -1;
    if (close(fdOut) != 0) {
        platform::ReportFileError(dst, errno);
    } else {
        nRenamed = bNoReplace ? zeqgf::RenameNoReplace(temp, target)
                              : rename(temp.c_str(), target.c_str());
        if (nRenamed != 0 && !bNoReplace)
            platform::ReportFileError(dst, errno);
    }
    if (nRenamed != 0) {
        unlink(temp.c_str());
        return FALSE;
    }
    return TRUE;
}

}  // namespace

BOOL ZeqGF::CopyFileLoop(LPCSTR lpszSrc, LPCSTR lpszDst, ZeqFileCallBack pfnCallBack,
                         uintptr_t nUserData, ZeqFileCallBackParam* pParam, BOOL bNoReplace) {
    return CopyLoop(zeqgf::Native(View(lpszSrc)), zeqgf::Native(View(lpszDst)), pfnCallBack,
                    nUserData, pParam, bNoReplace);
}

BOOL ZeqGF::CopyFile(LPCSTR lpszSrc, LPCSTR lpszDst, BOOL bAsk, BOOL bCreateDir,
                     ZeqFileCallBack pfnCallBack, uintptr_t nUserData) {
    if (!IsFile(lpszSrc) || !IsValidPathName(lpszDst))
        return FALSE;
    std::string src = zeqgf::Native(lpszSrc), dst = zeqgf::Native(lpszDst);
    std::string dir = ExtractDir(dst.c_str());
    if (bCreateDir && !dir.empty())
        CreateDir(dir.c_str());
    if (!dir.empty() && !IsDir(dir.c_str()))
        return FALSE;
    if (SameFile(src, dst))
        return FALSE;
    if (bAsk && IsExist(dst.c_str())) {
        int nAnswer = AskOverwrite();
        if (nAnswer == platform::IDCANCEL)
            return FALSE;
        if (nAnswer == platform::IDNO)
            return TRUE;
    }
    ZeqFileCallBackParam param;
    param.nTotalFiles = 1;
    param.nTotalBytes = GetFileSize(src.c_str(), FALSE);
    return CopyLoop(src, dst, pfnCallBack, nUserData, &param, FALSE);
}

BOOL ZeqGF::MoveFile(LPCSTR lpszSrc, LPCSTR lpszDst, BOOL bAsk, ZeqFileCallBack pfnCallBack,
                     uintptr_t nUserData) {
    if (!IsFile(lpszSrc) || !IsValidPathName(lpszDst))
        return FALSE;
    std::string src = zeqgf::Native(lpszSrc), dst = zeqgf::Native(lpszDst);
    if (SameFile(src, dst))
        return FALSE;
    // A target is replaced only when the user said Yes to replacing it, and then only by a
    // move that copies (one file system renames, and a rename never replaces).
    bool bReplace = false;
    if (bAsk && IsExist(dst.c_str())) {
        int nAnswer = AskOverwrite();
        if (nAnswer == platform::IDCANCEL)
            return FALSE;
        if (nAnswer == platform::IDNO)
            return TRUE;
        bReplace = true;
    }
    if (!bReplace && IsExist(dst.c_str()))
        return FALSE;
    uint64_t nSize = GetFileSize(src.c_str(), FALSE);
    std::string dir = ExtractDir(dst.c_str());
    dev_t devSrc = 0, devDst = 0;
    bool bSameDrive =
        DeviceOf(src, devSrc) && DeviceOf(dir.empty() ? "." : dir, devDst) && devSrc == devDst;
    if (bSameDrive) {
        if (!dir.empty() && !CreateDir(dir.c_str()))
            return FALSE;
        if (zeqgf::RenameNoReplace(src, dst) == 0) {
            if (pfnCallBack) {
                ZeqFileCallBackParam param;
                param.nTotalFiles = 1;
                param.nTotalBytes = param.nDoneBytes = nSize;
                param.nCurSize = param.nCurDone = nSize;
                param.nPercent = param.nCurPercent = 100;
                param.strCurName = src;
                param.nCurFile = 1;
                pfnCallBack(&param, nUserData);
            }
            return TRUE;
        }
        if (errno != EXDEV)
            return FALSE;  // e.g. two mounts of one file system
    }
    if (!dir.empty() && !CreateDir(dir.c_str()))
        return FALSE;
    ZeqFileCallBackParam param;
    param.nTotalFiles = 1;
    param.nTotalBytes = nSize;
    if (!CopyLoop(src, dst, pfnCallBack, nUserData, &param, bReplace ? FALSE : TRUE)) {
        return FALSE;
    }
    // The source goes only once the copy is complete; a source that will not go leaves
    // both in place and the move failed.
    return unlink(src.c_str()) == 0 ? TRUE : FALSE;
}

BOOL ZeqGF::CreateDir(LPCSTR lpszPath) {
    std::string path = zeqgf::Native(View(lpszPath));
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (IsDirNative(path))
        return TRUE;
    if (!IsValidPathName(path.c_str()))
        return FALSE;
    platform::MakeDirs(path);
    return IsDirNative(path) ? TRUE : FALSE;
}

BOOL ZeqGF::RenameDir(LPCSTR lpszDir, LPCSTR lpszNewName) {
    if (!IsDir(lpszDir) || !IsValidFileName(lpszNewName))
        return FALSE;
    std::string dir = zeqgf::Native(lpszDir);
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return zeqgf::RenameNoReplace(dir, Sibling(dir, lpszNewName)) == 0 ? TRUE : FALSE;
}

BOOL ZeqGF::DeleteDir(LPCSTR lpszPath) {
    if (!IsDir(lpszPath))
        return FALSE;
    return DeleteDirNative(zeqgf::Native(lpszPath)) ? TRUE : FALSE;
}

// ---- several files ------------------------------------------------------------------

namespace {

// DeleteMulti over paths already in the native form.
BOOL DeleteMultiNative(const CStringArray& list, LPCSTR lpszWildcard, BOOL bRecycle,
                       ZeqFileCallBack pfnCallBack, uintptr_t nUserData) {
    if (list.empty())
        return FALSE;
    CStringArray files, dirs;
    for (std::string path : list) {
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        struct stat st;
        if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            files.push_back(path);  // the link goes, never what it points at
        } else if (IsDirNative(path)) {
            // The folder and its sub-folders at any depth, parents before children.
            dirs.push_back(path);
            WalkDir(path, Wildcard(lpszWildcard), &dirs, &files, true);
        } else if (IsFileNative(path)) {
            files.push_back(path);
        }
    }
    // A file listed beside its folder is collected twice; it goes once.
    std::set<std::string> seen;
    files.erase(std::remove_if(files.begin(), files.end(),
                               [&](const std::string& f) {
                                   std::string dir = DirOf(f);
                                   char real[PATH_MAX];
                                   std::string key = realpath(dir.empty() ? "." : dir.c_str(), real)
                                                         ? Join(real, NameOf(f))
                                                         : f;
                                   return !seen.insert(key).second;
                               }),
                files.end());
    if (files.empty() && dirs.empty())
        return FALSE;
    ZeqFileCallBackParam param;
    param.nTotalFiles = static_cast<int>(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        if (!DeleteNative(files[i], bRecycle))
            return FALSE;
        if (pfnCallBack) {
            param.strCurName = files[i];
            param.nCurFile = static_cast<int>(i + 1);
            param.nPercent = Percent(i + 1, files.size());
            param.nCurPercent = 100;
            if (pfnCallBack(&param, nUserData) == -1)
                return FALSE;
        }
    }
    // Children first. With the all-files wildcard every folder must go; with a narrower
    // one, folders that still hold other files stay, as asked.
    bool bAll = zeqgf::IsAllWildcard(lpszWildcard);
    std::sort(dirs.begin(), dirs.end());
    dirs.erase(std::unique(dirs.begin(), dirs.end()), dirs.end());
    for (auto it = dirs.rbegin(); it != dirs.rend(); ++it) {
        if (!IsDirNative(*it))
            continue;
        DeleteDirNative(*it);
        if (bAll && IsDirNative(*it))
            return FALSE;
    }
    return TRUE;
}

}  // namespace

BOOL ZeqGF::DeleteMulti(const CStringArray& list, LPCSTR lpszWildcard, BOOL bRecycle,
                        ZeqFileCallBack pfnCallBack, uintptr_t nUserData) {
    CStringArray native;
    for (const auto& item : list)
        native.push_back(zeqgf::Native(item));
    return DeleteMultiNative(native, lpszWildcard, bRecycle, pfnCallBack, nUserData);
}

BOOL ZeqGF::DeleteDirFiles(LPCSTR lpszDir, LPCSTR lpszWildcard, BOOL bRecycle, BOOL bWhole,
                           BOOL bSubDirs, ZeqFileCallBack pfnCallBack, uintptr_t nUserData) {
    if (!IsDir(lpszDir))
        return FALSE;
    CStringArray list;
    if (bWhole) {
        list.push_back(zeqgf::Native(lpszDir));
    } else {
        if (bSubDirs)
            GetSubDirList(lpszDir, &list, FALSE);
        GetDirFiles(lpszDir, lpszWildcard, &list, FALSE);
    }
    // The listed names come from the folder and are taken as they are.
    return DeleteMultiNative(list, lpszWildcard, bRecycle, pfnCallBack, nUserData);
}

namespace {

struct CCopyItem {
    std::string strPath, strBase;
};

bool CopyTree(const std::string& src, const std::string& dst) {
    struct stat st;
    if (lstat(src.c_str(), &st) != 0)
        return false;
    if (S_ISDIR(st.st_mode)) {
        if (mkdir(dst.c_str(), st.st_mode & 07777) != 0)
            return false;
        std::vector<CEntry> entries;
        if (!ListDir(src, entries))
            return false;
        for (const auto& e : entries) {
            if (!CopyTree(Join(src, e.strName), Join(dst, e.strName)))
                return false;
        }
        return true;
    }
    if (S_ISLNK(st.st_mode)) {
        std::string target(PATH_MAX, '\0');
        ssize_t n = readlink(src.c_str(), target.data(), target.size());
        if (n < 0)
            return false;
        target.resize(static_cast<size_t>(n));
        return symlink(target.c_str(), dst.c_str()) == 0;
    }
    return CopyLoop(src, dst, nullptr, 0, nullptr, TRUE) != FALSE;
}

}  // namespace

BOOL ZeqGF::MultiOperation(const CStringArray& listIn, LPCSTR lpszTargetDir, LPCSTR lpszWildcard,
                           BOOL bAsk, BOOL bMove, ZeqFileCallBack pfnCallBack,
                           uintptr_t nUserData) {
    if (listIn.empty())
        return FALSE;
    CStringArray list = listIn;
    SortString(list, TRUE);
    std::string target = zeqgf::Native(View(lpszTargetDir));
    while (target.size() > 1 && target.back() == '/')
        target.pop_back();
    if (!IsValidPathName(target.c_str()) || !CreateDir(target.c_str()))
        return FALSE;

    // Each entry keeps its own base folder: a file lands in the target by its name; a
    // folder's contents land in the target, or the folder itself when files are listed
    // beside it.
    bool bAnyFile = false;
    for (const auto& item : list)
        bAnyFile = bAnyFile || IsFile(item.c_str());
    ZeqFileCallBackParam param;
    std::vector<CCopyItem> items;
    CStringArray folders;
    for (const auto& item : list) {
        std::string path = zeqgf::Native(item);
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        if (IsFileNative(path)) {
            items.push_back({path, DirOf(path)});
            param.nTotalBytes += FileSizeNative(path);
        } else if (IsDirNative(path)) {
            folders.push_back(path);
            std::string base = bAnyFile ? DirOf(path) : path + "/";
            CStringArray files;
            int64_t n = WalkDir(path, Wildcard(lpszWildcard), nullptr, &files, true);
            if (n > 0)
                param.nTotalBytes += static_cast<uint64_t>(n);
            for (auto& f : files)
                items.push_back({f, base});
        }
    }
    param.nTotalFiles = static_cast<int>(items.size());
    if (items.empty())
        return FALSE;

    auto countDone = [&](const std::string& path, uint64_t nSize) {
        param.strCurName = path;
        param.nCurFile += 1;
        param.nCurSize = param.nCurDone = nSize;
        param.nCurPercent = 100;
        param.nDoneBytes += nSize;
        param.nPercent = Percent(param.nDoneBytes, param.nTotalBytes);
        return !pfnCallBack || pfnCallBack(&param, nUserData) != -1;
    };

    dev_t devTarget = 0;
    DeviceOf(target, devTarget);
    for (const auto& item : items) {
        std::string rel = item.strPath.compare(0, item.strBase.size(), item.strBase) == 0
                              ? item.strPath.substr(item.strBase.size())
                              : NameOf(item.strPath);
        std::string dst = Join(target, rel);
        if (!MakeDirNative(DirOf(dst)))
            return FALSE;
        uint64_t nSize = FileSizeNative(item.strPath);
        struct stat stDst;
        bool bReplace = false;  // the user said Yes to replacing this target
        if (bAsk && StatNative(dst, stDst)) {
            int nAnswer = AskOverwrite();
            if (nAnswer == platform::IDCANCEL)
                return FALSE;
            if (nAnswer == platform::IDNO) {
                if (!countDone(item.strPath, nSize))
                    return FALSE;
                continue;
            }
            bReplace = true;
        }
        if (!bMove) {
            if (!CopyLoop(item.strPath, dst, pfnCallBack, nUserData, &param, FALSE)) {
                return FALSE;
            }
            continue;
        }
        if (SameFile(item.strPath, dst))
            return FALSE;
        dev_t devSrc = 0;
        bool bSameDrive = DeviceOf(item.strPath, devSrc) && devSrc == devTarget;
        if (bSameDrive && zeqgf::RenameNoReplace(item.strPath, dst) == 0) {
            if (!countDone(item.strPath, nSize))
                return FALSE;
            continue;
        }
        if (bSameDrive && errno != EXDEV)
            return FALSE;
        // Across file systems: a complete copy first, then the source goes.
        if (!CopyLoop(item.strPath, dst, pfnCallBack, nUserData, &param, bReplace ? FALSE : TRUE)) {
            return FALSE;
        }
        if (unlink(item.strPath.c_str()) != 0)
            return FALSE;
    }
    if (bMove) {
        // Only emptied folders go.
        for (const auto& f : folders)
            DeleteDirNative(f);
    }
    return TRUE;
}

BOOL ZeqGF::CopyMulti(const CStringArray& list, LPCSTR lpszTargetDir, LPCSTR lpszWildcard,
                      BOOL bAsk, ZeqFileCallBack pfnCallBack, uintptr_t nUserData) {
    return MultiOperation(list, lpszTargetDir, lpszWildcard, bAsk, FALSE, pfnCallBack, nUserData);
}

BOOL ZeqGF::MoveMulti(const CStringArray& list, LPCSTR lpszTargetDir, LPCSTR lpszWildcard,
                      BOOL bAsk, ZeqFileCallBack pfnCallBack, uintptr_t nUserData) {
    return MultiOperation(list, lpszTargetDir, lpszWildcard, bAsk, TRUE, pfnCallBack, nUserData);
}

namespace {

BOOL DirOperation(LPCSTR lpszDir, LPCSTR lpszTargetDir, bool bMove, LPCSTR lpszWildcard, BOOL bAsk,
                  ZeqFileCallBack pfnCallBack, uintptr_t nUserData) {
    std::string target = zeqgf::Native(View(lpszTargetDir));
    while (target.size() > 1 && target.back() == '/')
        target.pop_back();
    if (!ZeqGF::IsDir(lpszDir) || !ZeqGF::IsValidPathName(target.c_str()) ||
        !ZeqGF::CreateDir(target.c_str())) {
        return FALSE;
    }
    CStringArray list{zeqgf::Native(lpszDir)};
    return bMove
               ? ZeqGF::MoveMulti(list, target.c_str(), lpszWildcard, bAsk, pfnCallBack, nUserData)
               : ZeqGF::CopyMulti(list, target.c_str(), lpszWildcard, bAsk, pfnCallBack, nUserData);
}

}  // namespace

BOOL ZeqGF::CopyDir(LPCSTR lpszDir, LPCSTR lpszTargetDir, LPCSTR lpszWildcard, BOOL bAsk,
                    ZeqFileCallBack pfnCallBack, uintptr_t nUserData) {
    return DirOperation(lpszDir, lpszTargetDir, false, lpszWildcard, bAsk, pfnCallBack, nUserData);
}

BOOL ZeqGF::MoveDir(LPCSTR lpszDir, LPCSTR lpszTargetDir, LPCSTR lpszWildcard, BOOL bAsk,
                    ZeqFileCallBack pfnCallBack, uintptr_t nUserData) {
    return DirOperation(lpszDir, lpszTargetDir, true, lpszWildcard, bAsk, pfnCallBack, nUserData);
}
