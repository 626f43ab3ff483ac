#pragma once
// The GDT library's static helpers. File and folder operations run on a short worker
// thread while the calling thread keeps running the platform's message pump (at least
// every 100 ms), so a slow or dead network share never freezes a caller's windows; a
// pumped event may call the library again. Paths beginning with two separators
// ("\\server\share\dir", "//server:port/share/dir") are on an SMB share, reached with the
// configured user and password; all others are local.
#include <vector>

#include "zeqgdt/gdtdefs.h"

// An open file of the library (local or on a share). Not copyable; closed when destroyed.
class ZEQGDT_API CGDTFile {
public:
    enum : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
    };
    CGDTFile();
    virtual ~CGDTFile();
    CGDTFile(const CGDTFile&) = delete;
    CGDTFile& operator=(const CGDTFile&) = delete;
    bool IsOpen() const;

    struct Impl;
    Impl* m_pImpl;
};

class ZEQGDT_API CGDTUtils {
public:
    CGDTUtils();
    CGDTUtils(const CGDTUtils&);
    CGDTUtils& operator=(const CGDTUtils&);
    virtual ~CGDTUtils();

    // ---- threaded file operations -------------------------------------------------
    using ThreadProc = unsigned (*)(void* pParam);
    // Runs the procedure on a worker thread and returns when it has ended, pumping the
    // calling thread's messages every 100 ms meanwhile.
    static void RunThread(ThreadProc pfn, void* pParam, const CString& strName);
    static int IsFile(const CString& strPath);
    static int IsDir(const CString& strPath);
    static int CreateDir(const CString& strPath);
    static int GetFilesInPath(const CString& strDir, const CString& strPattern, CStringArray& files);
    // Names of the folder's files whose title is strTitle (all when empty), oldest first.
    static void GetFilesAsFileName(const CString& strDir, const CString& strTitle, CStringArray& names);
    // Never replaces the target; the target appears whole or not at all.
    static int CopyFileA(const CString& strSource, const CString& strTarget);
    static int DeleteFileA(const CString& strPath);
    static int DeleteFiles(const CStringArray& paths);
    static int DeleteFilesInPath(const CString& strDir);
    // Never replaces an existing file.
    static int Rename(const CString& strOld, const CString& strNew);
    static int FileOpen(CGDTFile& file, const CString& strPath, UINT nFlags);
    static int FileClose(CGDTFile& file);
    static int FileWrite(CGDTFile& file, const CString& strText, int nCount);
    static int FileRead(CGDTFile& file, int n, CString& strText);
    static int FileRead(CGDTFile& file, int n, int& nValue);

    // ---- INI ----------------------------------------------------------------------
    static CString IniReadString(const CString& strIni, const CString& strSection,
                                 const CString& strKey, const CString& strDefault);
    static int IniWriteString(const CString& strIni, const CString& strSection,
                              const CString& strKey, const CString& strValue);
    static int IniReadInt(const CString& strIni, const CString& strSection, const CString& strKey,
                          int nDefault);
    static int IniWriteInt(const CString& strIni, const CString& strSection, const CString& strKey,
                           int nValue);

    // ---- names and paths ------------------------------------------------------------
    static CString GetFileExt(const CString& strPath);
    static CString GetFileTitle(const CString& strPath);
    static CString GetFileName(const CString& strPath);
    static BOOL IsEmpty(const CString& strText);
    // Folder and name with one separator; an empty folder is the exchange's home folder,
    // the bridge's, which the bridge and the measuring program it starts share.
    static CString MakePath(const CString& strDir, const CString& strName);
    static CString GetModulePath(const void* hModule);
    static void AddPathSep(CString& strPath);
    static void SplitPath(const CString& strPath, CString& strDrive, CString& strDir,
                          CString& strTitle, CString& strExt);
    static CString ExtractDir(const CString& strPath);

    // ---- log ----------------------------------------------------------------------
    // One line "[yyyy/mm/dd hh:mm:ss] text" appended to LOG/Log_<date>.txt in the home
    // folder, in one write so that no line of another writer is lost; TRUE when written.
    static int AddLog(const char* pszFormat, ...) __attribute__((format(printf, 1, 2)));

    // ---- value texts of the GDT format --------------------------------------------
    static CString GetString(int n);
    static CString GetString(int n, int nWidth);
    static CString GetString(double d);
    static CString GetString(const CString& str);
    static CString GetString(const CString& str, int n);
    static CString GetString(eFIELD_ID id);
    static CString GetString(eSENTENCE_ID id);
    static CString GetString(eGENDER gender);
    static CString GetString(eCHAR_TYPE type);
    static CString GetString(eVERSION version);
    static CString GetString(eDEVICE device);
    static CString GetString(eUNIT unit);
    static BOOL GetStringFromDate(CString& strOut, int nYear, int nMonth, int nDay);
    static CString GetStringFromTime(int nHour, int nMinute, int nSecond);
    static BOOL GetDateFromString(const CString& strText, int& nYear, int& nMonth, int& nDay);
    static void GetTimeFromString(const CString& strText, int& nHour, int& nMinute, int& nSecond);
    static int GetInt(const CString& str);
    static double GetDouble(const CString& str);
    static BOOL IsValidDateFormat(const CString& str);
    static CString GetFieldName(eFIELD_ID id);
};
