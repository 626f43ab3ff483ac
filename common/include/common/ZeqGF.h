#pragma once
// ZeqGF: the static helpers every deliverable carries: byte order, code-page text,
// paths and file names, files and folders with progress, colours, 3-D frames and the
// one-message pump.
//
// Paths: output uses the native "/" separator; input may use "\" and "/" alike.
// A "drive" is the mounted file system that holds a path (see the mount table).
#include <cstdint>

#include "platform/wintypes.h"

class QPainter;
class QRect;

// Progress of a copy, move or delete, handed to the callback. Reset before each operation.
struct ZeqFileCallBackParam {
    int nTotalFiles = 0;       // files of the whole operation
    uint64_t nTotalBytes = 0;  // bytes of the whole operation
    uint64_t nDoneBytes = 0;   // bytes done so far
    int64_t nPercent = 0;      // overall percent done
    CString strCurName;        // current file
    int nCurFile = 0;          // number of the current file, from 1
    uint64_t nCurSize = 0;     // size of the current file
    uint64_t nCurDone = 0;     // bytes of the current file done
    int64_t nCurPercent = 0;   // percent of the current file done
};

// Called after each block copied and each file moved, skipped or deleted; -1 cancels.
using ZeqFileCallBack = int (*)(ZeqFileCallBackParam* pParam, uintptr_t nUserData);

class ZeqGF {
public:
    ZeqGF() = default;
    ZeqGF(const ZeqGF&) = default;
    ZeqGF& operator=(const ZeqGF&) = default;
    virtual ~ZeqGF();

    // ---- byte order --------------------------------------------------------------
    static BOOL InvertByte(BYTE* pData, int nLen);
    static BOOL HostToNetwork(BYTE* pData, int nLen);
    static BOOL NetworkToHost(BYTE* pData, int nLen);
    static BOOL IsHostBigEndian();

    // ---- text (installation code page, double-byte aware) -------------------------
    static int SplitText(LPCSTR lpszText, LPCSTR lpszDelims, CStringArray& arr);
    static BOOL IsEmpty(LPCSTR lpszText);
    static int GetLength(LPCSTR lpszText);
    static void Trim(CString& str);
    // Whole zero-terminated text; results count the terminator. A buffer size of 0 asks
    // for the size needed; a buffer that is too small gives 0 and nothing is written.
    static int MultiToWide(LPCSTR src, WORD* dst, int nWide);
    static int WideToMulti(const WORD* src, LPSTR dst, int nBytes);
    static int TextCount(LPCSTR lpszText);
    static CString LeftText(LPCSTR lpszText, int n);
    static CString RightText(LPCSTR lpszText, int n);
    static CString VertText(LPCSTR lpszText);
    static CString AbbreviateText(LPCSTR lpszText, int n);
    static int FindString(const CStringArray& arr, LPCSTR lpszText, BOOL bCase);
    static CString CompleteString(LPCSTR lpszText, int n);
    static void SortString(CStringArray& arr, BOOL bAscending);
    static CString CommaString(const CString& str);
    static CString CommaString(int64_t nValue);

    // ---- paths and file names -----------------------------------------------------
    static void SplitPath(LPCSTR lpszPath, CString& strDrive, CString& strDir, CString& strName,
                          CString& strExt);
    static void AddPathSep(CString& strPath);
    static void DelPathSep(CString& strPath);
    static CString ExtractDrive(LPCSTR lpszPath);
    static CString ExtractDir(LPCSTR lpszPath);
    static CString ExtractName(LPCSTR lpszPath, BOOL bWithExt);
    static CString ExtractExt(LPCSTR lpszPath, BOOL bWithDot);
    static CString MakePath(LPCSTR lpszDir, LPCSTR lpszName);
    // Folder of the module holding the given address (null: the running program), with "/".
    static CString GetModulePath(const void* hModule);
    static CString GetSystemDir();
    static CString GetSystemTempDir();
    static BOOL IsValidFileName(LPCSTR lpszName);
    static BOOL IsValidPathName(LPCSTR lpszPath);
    static BOOL IsDriveRoot(LPCSTR lpszPath);
    static BOOL IsCDRomDrive(LPCSTR lpszPath);
    static CString GetCDROMDrive(short n);
    static void AbbreviatePath(LPSTR lpszPath, int nMax, BOOL bKeepName);

    // ---- files and folders --------------------------------------------------------
    static BOOL IsFile(LPCSTR lpszPath);
    static BOOL IsDir(LPCSTR lpszPath);
    static BOOL IsExist(LPCSTR lpszPath);
    static BOOL IsDirEmpty(LPCSTR lpszPath);
    static BOOL IsReadOnly(LPCSTR lpszPath);
    static BOOL SetReadOnly(LPCSTR lpszPath, BOOL bSet);
    static BOOL SetReadOnlyDir(LPCSTR lpszDir, BOOL bSet, BOOL bSelf);
    static uint64_t GetFileSize(LPCSTR lpszPath, BOOL bKB);
    static int64_t GetDirInfo(LPCSTR lpszDir, LPCSTR lpszWildcard, CStringArray* pDirs,
                              CStringArray* pFiles, BOOL bRecursive);
    static int64_t GetDirSize(LPCSTR lpszDir, BOOL bKB, BOOL bRecursive);
    static int64_t GetDriveFreeSpace(LPCSTR lpszPath, BOOL bKB);
    static int GetDirFiles(LPCSTR lpszDir, LPCSTR lpszWildcard, CStringArray* pFiles,
                           BOOL bSubDirs);
    static int GetSubDirList(LPCSTR lpszDir, CStringArray* pDirs, BOOL bRecursive);

    static BOOL CreateFile(LPCSTR lpszPath, BOOL bCreateDir, BOOL bOverwrite);
    static BOOL RenameFile(LPCSTR lpszPath, LPCSTR lpszNewName);
    static BOOL DeleteFile(LPCSTR lpszPath, BOOL bRecycle);
    static BOOL MoveFile(LPCSTR lpszSrc, LPCSTR lpszDst, BOOL bAsk, ZeqFileCallBack pfnCallBack,
                         uintptr_t nUserData);
    static BOOL CopyFile(LPCSTR lpszSrc, LPCSTR lpszDst, BOOL bAsk, BOOL bCreateDir,
                         ZeqFileCallBack pfnCallBack, uintptr_t nUserData);
    static BOOL CreateDir(LPCSTR lpszPath);
    static BOOL RenameDir(LPCSTR lpszDir, LPCSTR lpszNewName);
    static BOOL DeleteDir(LPCSTR lpszPath);

    static BOOL DeleteMulti(const CStringArray& list, LPCSTR lpszWildcard, BOOL bRecycle,
                            ZeqFileCallBack pfnCallBack, uintptr_t nUserData);
    static BOOL DeleteDirFiles(LPCSTR lpszDir, LPCSTR lpszWildcard, BOOL bRecycle, BOOL bWhole,
                               BOOL bSubDirs, ZeqFileCallBack pfnCallBack, uintptr_t nUserData);
    static BOOL CopyMulti(const CStringArray& list, LPCSTR lpszTargetDir, LPCSTR lpszWildcard,
                          BOOL bAsk, ZeqFileCallBack pfnCallBack, uintptr_t nUserData);
    static BOOL MoveMulti(const CStringArray& list, LPCSTR lpszTargetDir, LPCSTR lpszWildcard,
                          BOOL bAsk, ZeqFileCallBack pfnCallBack, uintptr_t nUserData);
    static BOOL CopyDir(LPCSTR lpszDir, LPCSTR lpszTargetDir, LPCSTR lpszWildcard, BOOL bAsk,
                        ZeqFileCallBack pfnCallBack, uintptr_t nUserData);
    static BOOL MoveDir(LPCSTR lpszDir, LPCSTR lpszTargetDir, LPCSTR lpszWildcard, BOOL bAsk,
                        ZeqFileCallBack pfnCallBack, uintptr_t nUserData);

    // ---- colours, frame, message pump ---------------------------------------------
    static COLORREF GetColorDark(COLORREF cr, int n);
    static COLORREF GetColorLight(COLORREF cr, int n);
    // Qt side (zeqgf_qt): frame in the palette's button colours; one round of pending events.
    static void Draw3DFrame(QPainter* pDC, const QRect& rect, BOOL bSingle, BOOL bRaised);
    static void PeekMsg(MSG& msg);

protected:
    // The block copy: checked writes and close, no partial target left behind. With
    // bNoReplace an existing target is never touched.
    static BOOL CopyFileLoop(LPCSTR lpszSrc, LPCSTR lpszDst, ZeqFileCallBack pfnCallBack,
                             uintptr_t nUserData, ZeqFileCallBackParam* pParam,
                             BOOL bNoReplace = FALSE);
    static BOOL MultiOperation(const CStringArray& list, LPCSTR lpszTargetDir, LPCSTR lpszWildcard,
                               BOOL bAsk, BOOL bMove, ZeqFileCallBack pfnCallBack,
                               uintptr_t nUserData);
};
