#include "acq_server/reports/outputpaths.h"

#include <cctype>

#include "platform/folders.h"

namespace acq_reports {

namespace {

const char* RecordFolderName(int nRecordKind) {
    return nRecordKind == kRecordSpiro ? "SPIRO" : "EKG";
}

// Splits "dir/name" at its last separator: folder without the separator, and the name.
void SplitLast(const std::string& strPath, std::string& strDir, std::string& strName) {
    std::size_t slash = strPath.find_last_of('/');
    if (slash == std::string::npos) {
        strDir.clear();
        strName = strPath;
    } else {
        strDir = strPath.substr(0, slash);
        strName = strPath.substr(slash + 1);
    }
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

const char* ExtensionOf(int nKind) {
    switch (nKind) {
    case kOutJpeg: return ".jpg";
    case kOutText: return ".txt";
    case kOutPdf: return ".pdf";
    case kOutDicom: return ".dcm";
    case kOutXml: return ".xml";
    default: return nullptr;
    }
}

}  // namespace

const char* OutputFolderName(int nKind) {
    switch (nKind) {
    case kOutEkg: return "EKG";
    case kOutSpiro: return "SPIRO";
    case kOutJpeg: return "JPEG";
    case kOutText: return "TEXT";
    case kOutPdf: return "PDF";
    case kOutDicom: return "DICOM";
    case kOutXml: return "XML";
    default: return "";
    }
}

std::string MakeDataFolders(int nKind, const std::string& strPath, int nRecordKind) {
    const char* pszSub = OutputFolderName(nKind);
    std::string strDir, strName;
    SplitLast(strPath, strDir, strName);
    std::string strParent, strLast;
    SplitLast(strDir, strParent, strLast);
    const bool bOwnFolder = !strDir.empty() && strLast == RecordFolderName(nRecordKind);
    const std::string strBase = bOwnFolder ? strParent : strDir;
    if (*pszSub) {
        // Errors are left to the writer of the file, which fails without leaving anything.
        platform::MakeDirs((strBase.empty() ? std::string(".") : strBase) + "/" + pszSub);
    }
    if (!*pszSub || !bOwnFolder) return strPath;
    return strBase + "/" + pszSub + "/" + strName;
}

std::string OutputPath(int nKind, const std::string& strRecordPath, int nRecordKind,
                       int nFolderType) {
    const char* pszExt = ExtensionOf(nKind);
    if (!pszExt) return {};
    std::string strDir, strName;
    SplitLast(strRecordPath, strDir, strName);
    std::size_t dot = strName.rfind('.');
    if (dot == std::string::npos) return {};
    const std::string strExt = Lower(strName.substr(dot + 1));
    if (nRecordKind == kRecordEkg ? strExt != "ekg"
                                  : (strExt != "fvc" && strExt != "svc" && strExt != "mvv")) {
        return {};
    }
    std::string strPath = nFolderType == 2 ? MakeDataFolders(nKind, strRecordPath, nRecordKind)
                                           : strRecordPath;
    // Only the last extension becomes the suffix: "x.EKG" -> "x_ekg.jpg".
    strPath.resize(strPath.size() - (strName.size() - dot));
    return strPath + "_" + strExt + pszExt;
}

}  // namespace acq_reports
