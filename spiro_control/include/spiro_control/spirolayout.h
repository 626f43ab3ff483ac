#pragma once
// Fixed layout of the spirometry test files (.fvc, .svc, .mvv): one image of the device
// messages of a test, every section at a fixed offset, numbers little-endian.
#include "platform/wintypes.h"

namespace spirofile {

// Result codes of Open and Save (16-bit signed).
constexpr short kOk = 0;
constexpr short kErrOpen = -2;
constexpr short kErrMemory = -3;
constexpr short kErrLength = -4;
constexpr short kErrRead = -5;
constexpr short kErrWrongType = -7;
constexpr short kErrHeader = -8;
constexpr short kErrUnknownType = -10;
constexpr short kErrParamHeads = -11;
constexpr short kErrPredictTags = -12;
constexpr short kErrRow = -19;
constexpr short kErrColumn = -20;
constexpr short kErrFormat = -21;

// Test types (header byte 2).
constexpr int kTypeFvc = 1;
constexpr int kTypeSvc = 2;
constexpr int kTypeMvv = 3;
constexpr int kTypeFvcExt = 4;
constexpr int kTypeFvcPost = 5;

constexpr DWORD kMinLength = 10600;
constexpr DWORD kMaxLength = 98000;

// File length for a test type 1..5 and a format index 0..2; 0 for anything else.
DWORD FileLength(int nType, int nFormat);
// The checks a section makes before it reads or writes a whole file image, in this order:
// the format index, the test type, the image's length. 0 or the first error code.
short CheckImage(DWORD nLength, int nType, int nFormat);
// ".fvc", ".svc" or ".mvv" for a test type; empty for anything else.
const char* FileExtension(int nType);
inline bool IsFvcType(int nType) {
    return nType == kTypeFvc || nType == kTypeFvcExt || nType == kTypeFvcPost;
}

// Header and information section.
constexpr int kHeaderTag = 0;  // 0x70
constexpr int kVersion = 1;    // 5 + format index
constexpr int kType = 2;
constexpr int kTrials = 3;
constexpr int kBest = 4;
constexpr int kFormat = 5;
constexpr int kFormula = 6;
constexpr int kInfoTag = 10;         // 0x71, 0x44
constexpr int kDateTag = 100;        // 0x72, 0x10
constexpr int kSiteTag = 120;        // 0x73, 0x24
constexpr int kHospitalLong = 1144;  // text 28 when byte 122 is 0x1C
constexpr int kDoctorLong = 1172;
constexpr int kAnalysisTag = 285;  // 0x74, 3 or 6

// Parameter block.
constexpr int kParamHeads = 294;
constexpr int kParams = 300;
constexpr int kSvcParamsText = 660;
constexpr int kMvvParamsText = 780;
constexpr int kPostBaseText = 37000;  // format 0, type 5: base block
constexpr int kRows10Binary = 780;
constexpr int kEcodeTag = 1310;
constexpr int kParamTextWidth = 6;

// Count and predicted-value block.
constexpr int kCounts0 = 800;        // 0x81 at 800, 0x82 at 820, 0x83 at 840
constexpr int kPredict0 = 860;       // 0x84
constexpr int kSvcCounts0 = 960;     // 0x85
constexpr int kBaseCounts0 = 37363;  // type 5: the base count groups
constexpr int kCounts12 = 1000;      // three groups 20 bytes apart
constexpr int kPostCounts12 = 1060;
constexpr int kSvcCounts12 = 1120;
constexpr int kPredict12 = 1200;
constexpr int kExtra12 = 1300;  // 0x80

// Curve block.
constexpr int kCurves0 = 1000;
constexpr int kCurves12 = 2000;
constexpr int kBaseCurves0Post = 37399;  // format 0, type 5: base area
constexpr int kPostCurves12 = 38000;     // formats 1-2, type 5: post area

}  // namespace spirofile
