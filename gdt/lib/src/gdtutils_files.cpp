// The threaded file operations, the INI helpers, names and paths, and the log.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstring>
#include <ctime>
#include <future>
#include <thread>

#include "common/ZeqGF.h"
#include "gdtfs.h"
#include "gdthome.h"
#include "gdtthreaded.h"
#include "platform/msgpump.h"
#include "platform/profile.h"
#include "zeqgdt/gdtutils.h"

struct CGDTFile::Impl {
    gdtfs::CFileHandle handle;
};

CGDTFile::CGDTFile() : m_pImpl(new Impl) {}
CGDTFile::~CGDTFile() { delete m_pImpl; }
bool CGDTFile::IsOpen() const { return m_pImpl->handle.IsOpen(); }

CGDTUtils::CGDTUtils() = default;
CGDTUtils::CGDTUtils(const CGDTUtils&) = default;
CGDTUtils& CGDTUtils::operator=(const CGDTUtils&) = default;
CGDTUtils::~CGDTUtils() = default;

namespace {

using gdtthreaded::Threaded;

bool IsBlank(const CString& s) { return CGDTUtils::IsEmpty(s); }

// Wildcards as the file search takes them: "*" and "?", case ignored, "*.*" matches all.
bool Matches(const char* pattern, const char* name) {
    if (!std::strcmp(pattern, "*.*") || !std::strcmp(pattern, "*")) return true;
    for (; *pattern; ++pattern, ++name) {
        if (*pattern == '*') {
            for (const char* n = name;; ++n) {
                if (Matches(pattern + 1, n)) return true;
                if (!*n) return false;
            }
        }
        if (!*name) return false;
        if (*pattern != '?' && std::tolower(static_cast<unsigned char>(*pattern)) !=
                                   std::tolower(static_cast<unsigned char>(*name))) {
            return false;
        }
    }
    return *name == '\0';
}

}  // namespace

void CGDTUtils::RunThread(ThreadProc pfn, void* pParam, const CString& /*strName*/) {
    std::promise<void> done;
    std::future<void> ended = done.get_future();
    std::thread worker([pfn, pParam, &done] {
        pfn(pParam);
        done.set_value();
    });
    // The caller's windows keep working while the file system takes its time; an event
    // handled here may call the library again, which starts a worker of its own.
    while (ended.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        // Until nothing is pending, but never for ever: a host whose events never run dry
        // (a zero-length timer) must still see the work end.
        for (int n = 0; n < 100 && platform::PumpMessage() > 0; ++n) {
        }
    }
    worker.join();
}

int CGDTUtils::IsFile(const CString& strPath) {
    if (IsBlank(strPath)) return FALSE;
    return Threaded("IsFile", [&] {
        bool bDir = false;
        std::int64_t nSize = 0;
        return gdtfs::Stat(strPath, bDir, nSize) && !bDir ? TRUE : FALSE;
    });
}

int CGDTUtils::IsDir(const CString& strPath) {
    if (IsBlank(strPath)) return FALSE;
    return Threaded("IsDir", [&] {
        bool bDir = false;
        std::int64_t nSize = 0;
        return gdtfs::Stat(strPath, bDir, nSize) && bDir ? TRUE : FALSE;
    });
}

int CGDTUtils::CreateDir(const CString& strPath) {
    if (IsBlank(strPath)) return FALSE;
    return Threaded("CreateDir", [&] { return gdtfs::MakeDir(strPath) ? TRUE : FALSE; });
}

namespace {

// The folder's files (no folders), in name order or oldest first; FALSE when no folder.
bool ListFiles(const CString& strDir, std::vector<gdtfs::Entry>& files, bool bOldestFirst) {
    const bool ok = Threaded("ListFiles", [&] { return gdtfs::ListDir(strDir, files) ? 1 : 0; });
    if (!ok) {
        files.clear();
        return false;
    }
    files.erase(std::remove_if(files.begin(), files.end(), [](const gdtfs::Entry& e) { return e.bDir; }),
                files.end());
    // Equal creation times keep the listing order, which is made the name order here.
    std::sort(files.begin(), files.end(), [](const gdtfs::Entry& a, const gdtfs::Entry& b) { return a.name < b.name; });
    if (bOldestFirst) {
        std::stable_sort(files.begin(), files.end(),
                         [](const gdtfs::Entry& a, const gdtfs::Entry& b) { return a.nBirthNs < b.nBirthNs; });
    }
    return true;
}

}  // namespace

int CGDTUtils::GetFilesInPath(const CString& strDir, const CString& strPattern, CStringArray& files) {
    files.clear();
    std::vector<gdtfs::Entry> entries;
    if (!ListFiles(strDir, entries, false)) return FALSE;
    const CString pattern = strPattern.empty() ? CString("*.*") : strPattern;
    for (const auto& e : entries) {
        if (Matches(pattern.c_str(), e.name.c_str())) files.push_back(MakePath(strDir, e.name));
    }
    return files.empty() ? FALSE : TRUE;
}

void CGDTUtils::GetFilesAsFileName(const CString& strDir, const CString& strTitle, CStringArray& names) {
    names.clear();
    std::vector<gdtfs::Entry> entries;
    if (!ListFiles(strDir, entries, true)) return;
    for (const auto& e : entries) {
        if (strTitle.empty() || GetFileTitle(e.name) == strTitle) names.push_back(e.name);
    }
}

int CGDTUtils::CopyFileA(const CString& strSource, const CString& strTarget) {
    if (IsBlank(strSource) || IsBlank(strTarget)) return FALSE;
    return Threaded("CopyFile", [&] {
        std::string data;
        return gdtfs::ReadAll(strSource, data) && gdtfs::WriteNew(strTarget, data) ? TRUE : FALSE;
    });
}

int CGDTUtils::DeleteFileA(const CString& strPath) {
    if (IsBlank(strPath)) return FALSE;
    return Threaded("DeleteFile", [&] { return gdtfs::Unlink(strPath) ? TRUE : FALSE; });
}

int CGDTUtils::DeleteFiles(const CStringArray& paths) {
    for (const CString& p : paths) {
        if (!DeleteFileA(p)) return FALSE;
    }
    return TRUE;
}

int CGDTUtils::DeleteFilesInPath(const CString& strDir) {
    CStringArray files;
    GetFilesInPath(strDir, "*.*", files);
    return DeleteFiles(files);
}

int CGDTUtils::Rename(const CString& strOld, const CString& strNew) {
    if (IsBlank(strOld) || IsBlank(strNew)) return FALSE;
    return Threaded("Rename", [&] { return gdtfs::RenameNoReplace(strOld, strNew) ? TRUE : FALSE; });
}

int CGDTUtils::FileOpen(CGDTFile& file, const CString& strPath, UINT nFlags) {
    if (IsBlank(strPath)) return FALSE;
    const bool bWrite = (nFlags & (CGDTFile::modeWrite | CGDTFile::modeReadWrite)) != 0;
    const bool bCreate = (nFlags & CGDTFile::modeCreate) != 0;
    const bool bTruncate = bCreate && !(nFlags & CGDTFile::modeNoTruncate);
    return Threaded("FileOpen", [&] {
        return file.m_pImpl->handle.Open(strPath, bWrite, bCreate, bTruncate) ? TRUE : FALSE;
    });
}

int CGDTUtils::FileClose(CGDTFile& file) {
    return Threaded("FileClose", [&] { return file.m_pImpl->handle.Close() ? TRUE : FALSE; });
}

int CGDTUtils::FileWrite(CGDTFile& file, const CString& strText, int nCount) {
    if (nCount < 0 || static_cast<std::size_t>(nCount) > strText.size()) return FALSE;
    return Threaded("FileWrite", [&] {
        return file.m_pImpl->handle.Write(strText.data(), static_cast<std::size_t>(nCount)) ? TRUE : FALSE;
    });
}

int CGDTUtils::FileRead(CGDTFile& file, int n, CString& strText) {
    strText.clear();
    // The reads of the format are short; a larger request is refused rather than cut.
    if (n < 0 || n > 8191) return FALSE;
    std::string buf(static_cast<std::size_t>(n), '\0');
    const int ok = Threaded("FileRead", [&] {
        std::size_t got = 0;
        while (got < buf.size()) {
            long r = file.m_pImpl->handle.Read(&buf[got], buf.size() - got);
            if (r <= 0) return FALSE;
            got += static_cast<std::size_t>(r);
        }
        return TRUE;
    });
    if (!ok) return FALSE;
    strText = buf.substr(0, buf.find('\0'));
    return TRUE;
}

int CGDTUtils::FileRead(CGDTFile& file, int n, int& nValue) {
    CString text;
    if (!FileRead(file, n, text)) return FALSE;
    nValue = std::atoi(text.c_str());
    return TRUE;
}

CString CGDTUtils::IniReadString(const CString& strIni, const CString& strSection, const CString& strKey,
                                 const CString& strDefault) {
    if (IsBlank(strSection) || IsBlank(strKey)) return strDefault;
    return platform::GetProfileString(strIni, strSection.c_str(), strKey.c_str(), strDefault.c_str());
}

int CGDTUtils::IniWriteString(const CString& strIni, const CString& strSection, const CString& strKey,
                              const CString& strValue) {
    if (IsBlank(strSection) || IsBlank(strKey)) return FALSE;
    return platform::WriteProfileString(strIni, strSection.c_str(), strKey.c_str(), strValue.c_str()) ? TRUE : FALSE;
}

int CGDTUtils::IniReadInt(const CString& strIni, const CString& strSection, const CString& strKey, int nDefault) {
    return std::atoi(IniReadString(strIni, strSection, strKey, std::to_string(nDefault)).c_str());
}

int CGDTUtils::IniWriteInt(const CString& strIni, const CString& strSection, const CString& strKey, int nValue) {
    return IniWriteString(strIni, strSection, strKey, std::to_string(nValue));
}

CString CGDTUtils::GetFileExt(const CString& strPath) {
    const CString name = GetFileName(strPath);
    std::size_t dot = name.rfind('.');
    return dot == CString::npos ? CString() : name.substr(dot);
}

CString CGDTUtils::GetFileTitle(const CString& strPath) {
    const CString name = GetFileName(strPath);
    std::size_t dot = name.rfind('.');
    return dot == CString::npos ? name : name.substr(0, dot);
}

CString CGDTUtils::GetFileName(const CString& strPath) {
    std::size_t slash = strPath.find_last_of("/\\");
    return slash == CString::npos ? strPath : strPath.substr(slash + 1);
}

BOOL CGDTUtils::IsEmpty(const CString& strText) { return ZeqGF::IsEmpty(strText.c_str()); }

CString CGDTUtils::MakePath(const CString& strDir, const CString& strName) {
    if (IsBlank(strDir))
        return ZeqGF::MakePath(gdthome::HomeDir().c_str(), strName.c_str());
    // A share path keeps its leading pair of separators as it was written.
    if (gdtfs::IsNetworkPath(strDir)) {
        CString dir = strDir;
        while (!dir.empty() && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
        return strName.empty() ? dir : dir + "/" + strName;
    }
    return ZeqGF::MakePath(strDir.c_str(), strName.c_str());
}

CString CGDTUtils::GetModulePath(const void* hModule) { return ZeqGF::GetModulePath(hModule); }
void CGDTUtils::AddPathSep(CString& strPath) { ZeqGF::AddPathSep(strPath); }
void CGDTUtils::SplitPath(const CString& strPath, CString& strDrive, CString& strDir, CString& strTitle,
                          CString& strExt) {
    ZeqGF::SplitPath(strPath.c_str(), strDrive, strDir, strTitle, strExt);
}
CString CGDTUtils::ExtractDir(const CString& strPath) { return ZeqGF::ExtractDir(strPath.c_str()); }

int CGDTUtils::AddLog(const char* pszFormat, ...) {
    char message[2048];
    va_list args;
    va_start(args, pszFormat);
    std::vsnprintf(message, sizeof message, pszFormat, args);  // longer messages are cut
    va_end(args);
    const CString dir = MakePath("", "LOG");
    CreateDir(dir);
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char day[16], stamp[32];
    std::strftime(day, sizeof day, "%Y%m%d", &tm);
    std::strftime(stamp, sizeof stamp, "%Y/%m/%d %H:%M:%S", &tm);
    const CString path = MakePath(dir, CString("Log_") + day + ".txt");
    const CString line = CString("[") + stamp + "] " + message + "\r\n";
    // One append of the whole line: writers in several threads or processes lose nothing.
    return Threaded("AddLog", [&] {
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0) return FALSE;
        const bool ok = write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
        return close(fd) == 0 && ok ? TRUE : FALSE;
    });
}
