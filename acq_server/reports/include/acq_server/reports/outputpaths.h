#pragma once
// Where the conversions put their files: beside the record, or under folder type 2 in a
// folder per file type beside the record's EKG or SPIRO folder. Paths are worked on by
// component, so a working folder such as ".../EKG_data" keeps its name.
#include <string>

namespace acq_reports {

enum EOutputKind {
    kOutEkg = 0,
    kOutSpiro = 1,
    kOutJpeg = 16,
    kOutText = 17,
    kOutPdf = 18,
    kOutDicom = 19,
    kOutXml = 20,
};
enum ERecordKind { kRecordEkg = 0, kRecordSpiro = 1 };

// The folder name of an output kind ("JPEG", ...); empty for other kinds.
const char* OutputFolderName(int nKind);

// Creates the kind's folder beside the record's folder (when that folder is the record
// kind's own, EKG or SPIRO) or inside it, and returns the path moved into it; the path
// unchanged when its folder is not the record kind's own.
std::string MakeDataFolders(int nKind, const std::string& strPath, int nRecordKind);

// The path of one output file of a record: only the record's last extension is replaced
// ("x.EKG" -> "x_ekg.jpg", "y.FVC" -> "y_fvc.pdf"). strExt is ".jpg", ".pdf", ".txt" or
// ".xml". Under folder type 2 the folders are made. Empty when the record's extension is
// not one of its kind's.
std::string OutputPath(int nKind, const std::string& strRecordPath, int nRecordKind,
                       int nFolderType);

}  // namespace acq_reports
